#pragma once

#include "SpeechTags.h"
#include "Timeline.h"

#include <QList>
#include <QString>
#include <memory>
#include <vector>

namespace cw::tts {

/// One sentence (or clause) as a voice made it, whole.
struct Utterance {
    struct Token {
        QString name; ///< the token's text without its punctuation
        qint64 start = 0;
        /// Where the token stands in the text the voice was given (UTF-16 units), for voices that know it;
        /// -1 when only its name is known.
        int textStart = -1;
        int textLength = 0;
    };
    std::vector<qint16> samples;
    QList<ChunkTiming::Phone> phones; ///< ends in samples
    QList<Token> tokens;              ///< the tokens that were spoken, with their first sample
};

/// One sentence being synthesised. Its phones, words and length are known before its samples, which are made
/// as they are read, so the first of them can be heard before the last is made.
class SentenceSynthesis {
public:
    virtual ~SentenceSynthesis() = default;

    const QList<ChunkTiming::Phone>& phones() const { return phones_; }
    const QList<Utterance::Token>& tokens() const { return tokens_; }
    /// Samples in the whole sentence.
    qint64 length() const { return length_; }
    /// Samples read (or skipped) so far.
    qint64 position() const { return position_; }
    bool atEnd() const { return position_ >= length_; }
    /// Samples from the position on that are made already and cost nothing to read.
    virtual qint64 ready() const { return 0; }

    /// Moves forward to `sample` without making what lies before it (a no-op backwards).
    void skipTo(qint64 sample);
    /// The next samples, at most `max` (fewer only at the end); empty at the end.
    std::vector<qint16> read(qint64 max);

protected:
    SentenceSynthesis(QList<ChunkTiming::Phone> phones, QList<Utterance::Token> tokens, qint64 length)
        : phones_(std::move(phones)), tokens_(std::move(tokens)), length_(length) {}
    /// Makes samples [from, from + count) into `out` (which has room for them); `from` only grows.
    virtual void produce(qint64 from, qint64 count, qint16* out) = 0;

private:
    QList<ChunkTiming::Phone> phones_;
    QList<Utterance::Token> tokens_;
    qint64 length_ = 0;
    qint64 position_ = 0;
};

/// A voice the speech engine speaks with. Voices keep process-wide state (flite's, the HTS engine's): every
/// implementation serialises its own calls, and the engine calls a voice from its synthesis thread only.
class Voice {
public:
    virtual ~Voice() = default;

    virtual QString name() const = 0;
    /// The name of the voice that speaks with `voice` (a voice that hands languages on names the one it hands
    /// `voice.language` to).
    virtual QString nameFor(const VoiceSettings& voice) const {
        Q_UNUSED(voice);
        return name();
    }
    virtual int sampleRate() const = 0;
    /// The pitch and speed the voice has when nothing sets them.
    virtual int naturalPitchHz() const = 0;
    virtual int naturalWordsPerMinute() const = 0;
    /// Loads what the voice needs; false (logged once) when it cannot speak.
    virtual bool load() const = 0;
    /// Begins one sentence or clause with the pitch, speed, emphasis and character of `voice` (volume is not
    /// applied); null when nothing could be made of it.
    virtual std::unique_ptr<SentenceSynthesis> begin(const QString& text,
                                                     const VoiceSettings& voice) const = 0;

    /// The whole sentence at once; for tools and tests.
    Utterance synthesize(const QString& text, const VoiceSettings& voice) const;
};

/// The voices that can be chosen, the genie's own first: the HTS voice where its file is installed (otherwise
/// kal16, and the reason is logged once), then the flite voices.
QStringList voiceNames();
/// The named voice; an unknown or empty name gives the first of voiceNames().
std::unique_ptr<Voice> makeVoice(const QString& name = {});

} // namespace cw::tts
