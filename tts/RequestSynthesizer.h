#pragma once

#include "SpeechTags.h"
#include "Timeline.h"
#include "Voice.h"

#include <QList>
#include <QStringView>
#include <functional>
#include <memory>
#include <vector>

namespace cw::tts {

/// One piece of a request's audio with the events that fall in it.
struct SynthChunk {
    std::vector<qint16> samples;
    QList<TimelineEvent> events; ///< samples counted from the request's start
};

/// What was found of a paragraph's language.
struct ParagraphLanguage {
    QString language;      ///< "fr", "de", ...; empty when it could not be told
    double confidence = 0; ///< 0..1
    bool byScript = false; ///< its letters settled it (Cyrillic, Han, ...)
};
/// Finds the language of a paragraph; looks at a bounded part of it, so a long paragraph costs no more.
using FindLanguage = std::function<ParagraphLanguage(QStringView paragraph)>;

/// Turns a parsed request into audio a sentence (or clause) at a time, and each sentence into pieces as the
/// voice makes them, so the first samples of a long text come as soon as those of a short one and nothing is
/// synthesised far ahead of the listener. A sentence's events all come with its first piece.
class RequestSynthesizer {
public:
    RequestSynthesizer(const Voice& voice, ParsedRequest request);
    /// Finds each paragraph's language as the paragraph is reached (a paragraph ahead of the listener, never
    /// the whole text at once) and speaks it in that language, unless a tag set one. A paragraph whose
    /// language cannot be told keeps the one before it; the first keeps `startLanguage`.
    RequestSynthesizer(const Voice& voice, ParsedRequest request, FindLanguage findLanguage,
                       QString startLanguage);

    /// Whether every piece has been synthesised.
    bool atEnd() const { return piece_ >= request_.pieces.size() && !sentence_; }
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
    /// The language the chunk of `piece` starting at `from` is spoken in; finds a new paragraph's.
    QString languageAt(const SpeechPiece& piece, int from);
    /// Appends up to `max` more samples of the sentence being made, never past where it stops.
    void readInto(std::vector<qint16>& samples, qint64 max);
    /// A piece of the sentence made ready to hear (its volume); lets go of the sentence once it is all read.
    std::vector<qint16> finishPiece(std::vector<qint16> samples);

    const Voice& voice_;
    std::unique_ptr<SentenceSynthesis> sentence_; ///< the sentence whose samples are still being made
    qint64 sentenceStop_ = 0;                     ///< where its samples stop (a pause trimmed off its end)
    int sentenceVolume_ = 65535;
    ParsedRequest request_;
    qsizetype piece_ = 0;
    int offset_ = 0; ///< within the current text piece
    qint64 position_ = 0;
    qint64 characters_ = 0;
    Mouth mouth_ = Mouth::Closed;
    bool audioYet_ = false;
    bool joinNext_ = false; ///< the next chunk continues this one: no silence between them
    FindLanguage findLanguage_;
    QString paragraphLanguage_;   ///< found for the paragraph being spoken
    bool paragraphStarts_ = true; ///< the next text chunk begins a paragraph
};

/// Scales samples by a volume of 0 (silent) to 65535 (unchanged). Pure.
void applyVolume(std::vector<qint16>& samples, int volume);

/// Synthesises a whole request at once, with an End event last; for tools and tests, not for playback.
SynthChunk synthesizeAll(const Voice& voice, const ParsedRequest& request);

} // namespace cw::tts
