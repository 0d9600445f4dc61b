#pragma once

#include <QList>
#include <QString>

namespace cw::tts {

/// How the voice sounds apart from its pitch and speed.
enum class VoiceCharacter { Normal, Monotone, Whisper };
/// How addresses and symbols in the text are read.
enum class ReadingContext { Unknown, Address, Email };

/// The voice one piece of a request is spoken with.
struct VoiceSettings {
    int pitchHz = 100;
    int wordsPerMinute = 180;
    int volume = 65535; ///< 0 silent .. 65535 full
    VoiceCharacter character = VoiceCharacter::Normal;
    ReadingContext context = ReadingContext::Unknown;
    bool emphasis = false; ///< the piece is one stressed word
    /// The language to speak in ("fr", "de"); empty: found for each paragraph.
    QString language;

    friend bool operator==(const VoiceSettings&, const VoiceSettings&) = default;
};

/// What the synthesiser can reach; tag values inside a tag's range but outside these are clamped to them.
struct VoiceLimits {
    int minPitchHz = 50;
    int maxPitchHz = 400;
    int minWordsPerMinute = 50;
    int maxWordsPerMinute = 350;
};

/// The largest value of the pitch, speed, volume and pause tags.
inline constexpr int kMaxTagValue = 65535;

/// A bookmark inside a text piece, at a character offset of its spoken text.
struct TextMark {
    int offset = 0;
    int mark = 0;
    friend bool operator==(const TextMark&, const TextMark&) = default;
};

/// One step of a parsed request, in speaking order.
struct SpeechPiece {
    enum class Kind { Text, Pause, Bookmark };
    Kind kind = Kind::Text;
    QString spoken;        ///< Text: what is synthesised
    int balloonStart = 0;  ///< Text: where its characters are in the balloon text
    int balloonLength = 0; ///< Text: how many balloon characters it shows
    bool mapped = false;   ///< Text: spoken differs from the balloon characters (a map tag)
    QList<TextMark> marks; ///< Text: bookmarks reached inside it
    int value = 0;         ///< Pause: milliseconds; Bookmark: the mark
    VoiceSettings voice;   ///< Text: the voice in effect

    friend bool operator==(const SpeechPiece&, const SpeechPiece&) = default;
};

/// A request split into what is shown, what is spoken and how.
struct ParsedRequest {
    QString balloonText;
    QList<SpeechPiece> pieces;
    bool repeatPrevious = false; ///< the request is only the repeat tag: speak the previous request again
};

/// Splits a request with speech-output tags into balloon text and spoken pieces, starting from `defaults`.
/// Never fails: malformed tags are dropped or ignored, never spoken. Pure.
ParsedRequest parseSpeechTags(const QString& request, const VoiceSettings& defaults,
                              const VoiceLimits& limits = {});

} // namespace cw::tts
