#pragma once

#include "Voice.h"

#include <algorithm>
#include <vector>

namespace cw::tts {

/// A sentence a voice made whole at once (flite's, eSpeak NG's), handed out as it is read.
class WholeSentence final : public SentenceSynthesis {
public:
    explicit WholeSentence(Utterance utterance)
        : SentenceSynthesis(std::move(utterance.phones), std::move(utterance.tokens),
                            qint64(utterance.samples.size())),
          samples_(std::move(utterance.samples)) {}

    qint64 ready() const override { return length() - position(); }

private:
    void produce(qint64 from, qint64 count, qint16* out) override {
        std::copy_n(samples_.begin() + from, count, out);
    }
    std::vector<qint16> samples_;
};

} // namespace cw::tts
