#include "MultilingualVoice.h"

#include "Resampler.h"

namespace cw::tts {
namespace {

/// A sentence of another voice at the request's sample rate. The other voices make a sentence at once, so it
/// is taken whole and converted as it is read.
class ResampledSentence final : public SentenceSynthesis {
public:
    ResampledSentence(SentenceSynthesis& inner, const Resampler& resampler, std::vector<qint16> samples)
        : SentenceSynthesis(convertedPhones(inner, resampler), convertedTokens(inner, resampler),
                            resampler.outputLength(qint64(samples.size()))),
          resampler_(resampler), samples_(std::move(samples)) {}

    qint64 ready() const override { return length() - position(); }

private:
    static QList<ChunkTiming::Phone> convertedPhones(const SentenceSynthesis& inner, const Resampler& r) {
        QList<ChunkTiming::Phone> phones = inner.phones();
        for (auto& phone : phones) {
            phone.end = std::min(r.toOutput(phone.end), r.outputLength(inner.length()));
        }
        return phones;
    }
    static QList<Utterance::Token> convertedTokens(const SentenceSynthesis& inner, const Resampler& r) {
        QList<Utterance::Token> tokens = inner.tokens();
        for (auto& token : tokens) {
            token.start = r.toOutput(token.start);
        }
        return tokens;
    }
    void produce(qint64 from, qint64 count, qint16* out) override {
        resampler_.produce(samples_, from, count, out);
    }

    const Resampler& resampler_;
    std::vector<qint16> samples_;
};

} // namespace

MultilingualVoice::MultilingualVoice(std::unique_ptr<Voice> own, VoiceMaker voiceForLanguage)
    : own_(std::move(own)), voiceForLanguage_(std::move(voiceForLanguage)) {}

MultilingualVoice::~MultilingualVoice() = default;

const Voice& MultilingualVoice::voiceFor(const QString& language) const {
    if (language.isEmpty() || language == u"en" || language.startsWith(u"en-") || !voiceForLanguage_) {
        return *own_;
    }
    auto [at, added] = others_.try_emplace(language);
    if (added) {
        at->second = voiceForLanguage_(language);
    }
    return at->second ? *at->second : *own_;
}

std::unique_ptr<SentenceSynthesis> MultilingualVoice::begin(const QString& text,
                                                            const VoiceSettings& voice) const {
    const Voice& speaker = voiceFor(voice.language);
    std::unique_ptr<SentenceSynthesis> sentence = speaker.begin(text, voice);
    if (!sentence || &speaker == own_.get() || speaker.sampleRate() == sampleRate()) {
        return sentence;
    }
    // One converter per rate, kept: its filter is worked out once.
    auto& resampler = resamplers_[speaker.sampleRate()];
    if (!resampler) {
        resampler = std::make_unique<Resampler>(speaker.sampleRate(), sampleRate());
    }
    std::vector<qint16> samples = sentence->read(sentence->length());
    return std::make_unique<ResampledSentence>(*sentence, *resampler, std::move(samples));
}

} // namespace cw::tts
