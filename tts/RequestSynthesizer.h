#pragma once

#include "FliteVoice.h"
#include "SpeechTags.h"
#include "Timeline.h"

#include <QList>
#include <vector>

namespace cw::tts {

/// One piece of a request's audio with the events that fall in it.
struct SynthChunk {
    std::vector<qint16> samples;
    QList<TimelineEvent> events; ///< samples counted from the request's start
};

/// Turns a parsed request into audio a sentence (or clause) at a time, so the first samples of a long text
/// come as soon as those of a short one and nothing is synthesised far ahead of the listener.
class RequestSynthesizer {
public:
    RequestSynthesizer(const FliteVoice& voice, ParsedRequest request);

    /// Whether every piece has been synthesised.
    bool atEnd() const { return piece_ >= request_.pieces.size(); }
    /// Synthesises the next chunk; an empty chunk (no samples) is possible, e.g. for a bookmark.
    SynthChunk next();

    /// Samples produced so far: where the next chunk begins.
    qint64 position() const { return position_; }
    /// Characters of spoken text handed to the synthesiser so far.
    qint64 charactersSynthesised() const { return characters_; }
    const ParsedRequest& request() const { return request_; }
    int sampleRate() const { return voice_.sampleRate(); }

private:
    SynthChunk nextText(const SpeechPiece& piece);

    const FliteVoice& voice_;
    ParsedRequest request_;
    qsizetype piece_ = 0;
    int offset_ = 0; ///< within the current text piece
    qint64 position_ = 0;
    qint64 characters_ = 0;
    Mouth mouth_ = Mouth::Closed;
    bool audioYet_ = false;
    bool joinNext_ = false; ///< the next chunk continues this one: no silence between them
};

/// Scales samples by a volume of 0 (silent) to 65535 (unchanged). Pure.
void applyVolume(std::vector<qint16>& samples, int volume);

/// Synthesises a whole request at once, with an End event last; for tools and tests, not for playback.
SynthChunk synthesizeAll(const FliteVoice& voice, const ParsedRequest& request);

} // namespace cw::tts
