#include "SpeechTags.h"

#include <QRegularExpression>

#include <algorithm>
#include <optional>

namespace cw::tts {
namespace {

const QStringList kKnownTags = {"pit", "spd", "vol", "chr", "pau", "emp",
                                "rst", "map", "mrk", "ctx", "lst", "lng"};

/// A tag as written: its name and its value, quoted parts decoded.
struct RawTag {
    QString name;     ///< lower case
    QString unquoted; ///< the value's characters outside quotes
    QStringList quoted;
    bool badQuote = false; ///< a quote opened and not closed before the tag ended
    int end = 0;           ///< index just past the closing backslash
};

enum class Scan { Tag, NotATag, Unterminated };

/// Reads the tag opened by the backslash at `at`.
Scan scanTag(const QString& s, qsizetype at, RawTag& tag) {
    const qsizetype n = s.size();
    qsizetype i = at + 1;
    while (i < n && s[i].isLetter() && s[i].unicode() < 128) {
        ++i;
    }
    tag.name = s.mid(at + 1, i - at - 1).toLower();
    if (!kKnownTags.contains(tag.name)) {
        return Scan::NotATag;
    }
    if (i >= n) {
        return Scan::Unterminated;
    }
    if (s[i] == u'\\') {
        tag.end = int(i + 1);
        return Scan::Tag;
    }
    if (s[i] != u'=') {
        return Scan::NotATag;
    }
    ++i;
    while (i < n) {
        const QChar c = s[i];
        if (c == u'\\') {
            tag.end = int(i + 1);
            return Scan::Tag;
        }
        if (c != u'"') {
            tag.unquoted += c;
            ++i;
            continue;
        }
        // A quoted part: "" is a quote, \\ a backslash; a lone backslash still ends the tag.
        QString part;
        ++i;
        bool closed = false;
        while (i < n) {
            if (s[i] == u'"' && i + 1 < n && s[i + 1] == u'"') {
                part += u'"';
                i += 2;
            } else if (s[i] == u'"') {
                ++i;
                closed = true;
                break;
            } else if (s[i] == u'\\' && i + 1 < n && s[i + 1] == u'\\') {
                part += u'\\';
                i += 2;
            } else if (s[i] == u'\\') {
                break;
            } else {
                part += s[i++];
            }
        }
        tag.quoted << part;
        if (!closed) {
            tag.badQuote = true;
        }
    }
    return Scan::Unterminated;
}

/// The tag's value as a whole number, when it is one (digits only, blanks around allowed).
std::optional<qint64> number(const RawTag& tag) {
    if (!tag.quoted.isEmpty()) {
        return std::nullopt;
    }
    const QString digits = tag.unquoted.trimmed();
    if (digits.isEmpty() || digits.size() > 12 ||
        !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; })) {
        return std::nullopt;
    }
    return digits.toLongLong();
}

/// The tag's single word value (quoted or not), e.g. Normal.
std::optional<QString> word(const RawTag& tag) {
    if (tag.badQuote || tag.quoted.size() > 1) {
        return std::nullopt;
    }
    if (tag.quoted.size() == 1) {
        return tag.unquoted.trimmed().isEmpty() ? std::optional(tag.quoted.front().trimmed()) : std::nullopt;
    }
    return tag.unquoted.trimmed();
}

class Parser {
public:
    Parser(const VoiceSettings& defaults, const VoiceLimits& limits)
        : defaults_(defaults), limits_(limits), voice_(defaults) {}

    ParsedRequest run(const QString& s) {
        const qsizetype n = s.size();
        qsizetype i = 0;
        QString text;
        while (i < n) {
            if (s[i] != u'\\') {
                const qsizetype next = s.indexOf(u'\\', i);
                const qsizetype end = next < 0 ? n : next;
                text += QStringView(s).sliced(i, end - i);
                i = end;
                continue;
            }
            RawTag tag;
            const Scan scan = scanTag(s, i, tag);
            if (scan == Scan::NotATag) {
                ++i; // the backslash is dropped, the text around it kept
                continue;
            }
            if (scan == Scan::Unterminated) {
                break;
            }
            addText(text);
            text.clear();
            apply(tag);
            i = tag.end;
        }
        addText(text);
        return std::move(result_);
    }

private:
    void apply(const RawTag& tag) {
        const auto value = number(tag);
        const auto inRange = [&](qint64 low, qint64 high) {
            return value && *value >= low && *value <= high;
        };
        if (tag.name == u"pit") {
            if (inRange(1, kMaxTagValue)) {
                voice_.pitchHz = std::clamp(int(*value), limits_.minPitchHz, limits_.maxPitchHz);
            }
        } else if (tag.name == u"spd") {
            if (inRange(1, kMaxTagValue)) {
                voice_.wordsPerMinute =
                    std::clamp(int(*value), limits_.minWordsPerMinute, limits_.maxWordsPerMinute);
            }
        } else if (tag.name == u"vol") {
            if (inRange(0, kMaxTagValue)) {
                voice_.volume = int(*value);
            }
        } else if (tag.name == u"pau") {
            if (inRange(1, kMaxTagValue)) {
                SpeechPiece pause;
                pause.kind = SpeechPiece::Kind::Pause;
                pause.balloonStart = int(result_.balloonText.size());
                pause.value = int(*value);
                result_.pieces << pause;
            }
        } else if (tag.name == u"mrk") {
            if (inRange(1, std::numeric_limits<int>::max())) {
                SpeechPiece mark;
                mark.kind = SpeechPiece::Kind::Bookmark;
                mark.balloonStart = int(result_.balloonText.size());
                mark.value = int(*value);
                result_.pieces << mark;
            }
        } else if (tag.name == u"chr") {
            const QString w = word(tag).value_or(QString()).toLower();
            if (w == u"normal") {
                voice_.character = VoiceCharacter::Normal;
            } else if (w == u"monotone") {
                voice_.character = VoiceCharacter::Monotone;
            } else if (w == u"whisper") {
                voice_.character = VoiceCharacter::Whisper;
            }
        } else if (tag.name == u"ctx") {
            const QString w = word(tag).value_or(QString()).toLower();
            if (w == u"address") {
                voice_.context = ReadingContext::Address;
            } else if (w == u"e-mail" || w == u"email") {
                voice_.context = ReadingContext::Email;
            } else if (w == u"unknown") {
                voice_.context = ReadingContext::Unknown;
            }
        } else if (tag.name == u"lng") {
            // A language code ("fr", "pt-BR"): letters, digits and hyphens; "Auto" finds it again.
            const QString w = word(tag).value_or(QString()).trimmed().toLower();
            static const QRegularExpression code(QStringLiteral("^[a-z]{2,3}(-[a-z0-9]{1,8}){0,2}$"));
            if (w == u"auto") {
                voice_.language.clear();
            } else if (code.match(w).hasMatch()) {
                voice_.language = w;
            }
        } else if (tag.name == u"emp") {
            emphasisPending_ = true;
        } else if (tag.name == u"rst") {
            voice_ = defaults_;
            emphasisPending_ = false;
        } else if (tag.name == u"map") {
            if (!tag.badQuote && tag.quoted.size() == 2 && tag.unquoted.trimmed() == u"=") {
                addPiece(tag.quoted[0], tag.quoted[1], true);
            }
        } else if (tag.name == u"lst") {
            // Only a request that is nothing but this tag repeats; checked by the caller below.
        }
    }

    void addText(const QString& text) {
        if (text.isEmpty()) {
            return;
        }
        if (!emphasisPending_) {
            addPiece(text, text, false);
            return;
        }
        // The stressed word is spoken on its own, with whatever leads up to it.
        qsizetype start = 0;
        while (start < text.size() && text[start].isSpace()) {
            ++start;
        }
        if (start == text.size()) {
            addPiece(text, text, false);
            return;
        }
        qsizetype end = start;
        while (end < text.size() && !text[end].isSpace()) {
            ++end;
        }
        const QString stressed = text.left(end);
        emphasisPending_ = false;
        voice_.emphasis = true;
        addPiece(stressed, stressed, false);
        voice_.emphasis = false;
        if (end < text.size()) {
            addPiece(text.mid(end), text.mid(end), false);
        }
    }

    void addPiece(const QString& spoken, const QString& balloon, bool mapped) {
        SpeechPiece piece;
        piece.spoken = spoken;
        piece.balloonStart = int(result_.balloonText.size());
        piece.balloonLength = int(balloon.size());
        piece.mapped = mapped;
        piece.voice = voice_;
        if (mapped && emphasisPending_) {
            piece.voice.emphasis = true;
            emphasisPending_ = false;
        }
        result_.balloonText += balloon;
        if (!mapped && mergeWithPrevious(piece)) {
            return;
        }
        result_.pieces << piece;
    }

    /// Joins text spoken with the same voice across bookmarks, so a bookmark never splits a sentence.
    bool mergeWithPrevious(const SpeechPiece& piece) {
        qsizetype last = result_.pieces.size() - 1;
        while (last >= 0 && result_.pieces[last].kind == SpeechPiece::Kind::Bookmark) {
            --last;
        }
        if (last < 0) {
            return false;
        }
        SpeechPiece& previous = result_.pieces[last];
        if (previous.kind != SpeechPiece::Kind::Text || previous.mapped || previous.voice != piece.voice ||
            piece.voice.emphasis) {
            return false;
        }
        for (qsizetype m = last + 1; m < result_.pieces.size(); ++m) {
            previous.marks << TextMark{int(previous.spoken.size()), result_.pieces[m].value};
        }
        result_.pieces.resize(last + 1);
        previous.spoken += piece.spoken;
        previous.balloonLength += piece.balloonLength;
        return true;
    }

    VoiceSettings defaults_;
    VoiceLimits limits_;
    VoiceSettings voice_;
    bool emphasisPending_ = false;
    ParsedRequest result_;
};

} // namespace

ParsedRequest parseSpeechTags(const QString& request, const VoiceSettings& defaults,
                              const VoiceLimits& limits) {
    const QString trimmed = request.trimmed();
    RawTag tag;
    if (trimmed.startsWith(u'\\') && scanTag(trimmed, 0, tag) == Scan::Tag && tag.name == u"lst" &&
        tag.end == trimmed.size()) {
        ParsedRequest repeat;
        repeat.repeatPrevious = true;
        return repeat;
    }
    return Parser(defaults, limits).run(request);
}

} // namespace cw::tts
