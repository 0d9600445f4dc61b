#include "JapaneseReading.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QStringView>

#include <algorithm>
#include <array>
#include <cstring>
#include <iconv.h>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

extern "C" {
#include <libkakasi.h> // declares its C functions without C linkage
}

namespace cw::tts {

Q_DECLARE_LOGGING_CATEGORY(lcTts)

namespace {

/// The longest run of Japanese letters given to KAKASI at once. Runs end at every punctuation mark, space or
/// Latin letter anyway; this bounds the pathological rest (pages of kanji without a stop), so the work stays
/// linear in the text. It also keeps KAKASI's annotation within the first 4 KB block of its output buffer:
/// KAKASI 2.3 leaks 24 bytes for every further block.
constexpr int kMaxRunLength = 200;

/// A kanji, or a mark that KAKASI reads as one (々 repeats the kanji before it, 〆 and ヶ stand in words).
bool isKanji(char16_t c) {
    return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0xF900 && c <= 0xFAFF) ||
           c == 0x3005 || c == 0x3006 || c == 0x3007 || c == 0x30F5 || c == 0x30F6;
}

bool isKana(char16_t c) {
    return (c >= 0x3041 && c <= 0x3096) || c == 0x309D || c == 0x309E || (c >= 0x30A1 && c <= 0x30FA) ||
           (c >= 0x30FC && c <= 0x30FE);
}

/// A letter that KAKASI reads in its context: a kanji word with the kana around it.
bool isJapaneseLetter(char16_t c) {
    return isKanji(c) || isKana(c);
}

void appendUnchanged(SpokenText& spoken, const QString& text, int from, int to) {
    spoken.text += QStringView(text).mid(from, to - from);
    for (int i = from; i < to; ++i) {
        spoken.origin.append(i);
    }
}

/// Appends the reading of the word that starts at `wordStart`: kana it shares with the word at either end
/// (okurigana, a prefix like お) point at those kana, the rest is spread over the kanji between them in
/// order.
void appendReading(SpokenText& spoken, QStringView word, QStringView reading, int wordStart) {
    const int wordLength = int(word.size());
    const int readingLength = int(reading.size());
    int prefix = 0;
    while (prefix < wordLength && prefix < readingLength && word[prefix] == reading[prefix]) {
        ++prefix;
    }
    int suffix = 0;
    while (suffix < wordLength - prefix && suffix < readingLength - prefix &&
           word[wordLength - 1 - suffix] == reading[readingLength - 1 - suffix]) {
        ++suffix;
    }
    const int wordMiddle = wordLength - prefix - suffix;
    const int readingMiddle = readingLength - prefix - suffix;
    spoken.text += reading;
    for (int j = 0; j < readingLength; ++j) {
        int at = 0;
        if (j < prefix) {
            at = j;
        } else if (j >= readingLength - suffix) {
            at = wordLength - (readingLength - j);
        } else if (wordMiddle == 0) {
            at = std::max(prefix - 1, 0); // nothing left to read: stay on the last character read
        } else {
            at = prefix + (j - prefix) * wordMiddle / readingMiddle;
        }
        spoken.origin.append(wordStart + at);
    }
}

/// Where KAKASI finds a dictionary: the environment variables it reads itself, then its built-in path. KAKASI
/// ends the process when it cannot open its main dictionary, so it is looked for before KAKASI is set up.
QString dictionaryPath(const char* variable, const char* alternative, const char* builtIn) {
    for (const char* name : {variable, alternative}) {
        if (const QByteArray value = qgetenv(name); !value.isEmpty()) {
            return QString::fromLocal8Bit(value);
        }
    }
    return QString::fromLatin1(builtIn);
}

/// KAKASI set up to print each kanji word of EUC-JP text followed by its hiragana reading in brackets, words
/// separated by spaces ("天気[てんき] が 良か[よか] ったので"); KAKASI keeps all that in global state.
class Kakasi {
public:
    /// KAKASI set up, or null (logged) when its dictionaries or the converters are missing.
    static std::unique_ptr<Kakasi> open() {
        const QString kanwa = dictionaryPath("KANWADICTPATH", "KANWADICT", "/usr/share/kakasi/kanwadict");
        const QString itaiji = dictionaryPath("ITAIJIDICTPATH", "ITAIJIDICT", "/usr/share/kakasi/itaijidict");
        for (const QString& path : {kanwa, itaiji}) {
            if (!QFileInfo(path).isReadable()) {
                qCWarning(lcTts).noquote() << "no kanji readings: KAKASI's dictionary" << path
                                           << "is missing (package kakasi-dic); Japanese is read as written";
                return nullptr;
            }
        }
        auto kakasi = std::unique_ptr<Kakasi>(new Kakasi);
        if (kakasi->toEuc_ == kNoConverter || kakasi->fromEuc_ == kNoConverter) {
            qCWarning(lcTts) << "no kanji readings: this system cannot convert to EUC-JP";
            return nullptr;
        }
        if (kakasi_getopt_argv(int(kakasi->argv_.size()) - 1, kakasi->argv_.data()) != 0) {
            qCWarning(lcTts) << "no kanji readings: KAKASI refused its options";
            return nullptr;
        }
        kakasi->opened_ = true;
        return kakasi;
    }

    Kakasi(const Kakasi&) = delete;
    Kakasi& operator=(const Kakasi&) = delete;

    ~Kakasi() {
        if (opened_) {
            kakasi_close_kanwadict();
        }
        for (iconv_t converter : {toEuc_, fromEuc_}) {
            if (converter != kNoConverter) {
                iconv_close(converter);
            }
        }
    }

    /// Appends `c`'s two-byte EUC-JP form to `euc`; false for a character outside JIS X 0208, which KAKASI
    /// cannot read.
    bool appendEuc(char16_t c, QByteArray& euc) {
        std::array<char, 3> utf8{char(0xE0 | (c >> 12)), char(0x80 | ((c >> 6) & 0x3F)),
                                 char(0x80 | (c & 0x3F))};
        std::array<char, 8> out{};
        char* in = utf8.data();
        std::size_t inLeft = c < 0x800 ? 0 : utf8.size();
        char* to = out.data();
        std::size_t outLeft = out.size();
        iconv(toEuc_, nullptr, nullptr, nullptr, nullptr);
        if (inLeft == 0 || iconv(toEuc_, &in, &inLeft, &to, &outLeft) == std::size_t(-1) ||
            to - out.data() != 2 || static_cast<unsigned char>(out[0]) < 0xA1 ||
            static_cast<unsigned char>(out[1]) < 0xA1) {
            return false;
        }
        euc.append(out.data(), 2);
        return true;
    }

    /// KAKASI's words and readings for a run of EUC-JP letters, decoded; empty when it fails.
    QString annotate(QByteArray& euc) {
        char* result = kakasi_do(euc.data());
        if (result == nullptr) {
            return {};
        }
        const QByteArray utf8 = decode(result);
        kakasi_free(result);
        return QString::fromUtf8(utf8);
    }

private:
    static inline const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

    Kakasi() {
        for (std::string& option : options_) {
            argv_.push_back(option.data());
        }
        argv_.push_back(nullptr);
    }

    QByteArray decode(char* euc) {
        std::size_t inLeft = std::strlen(euc);
        QByteArray utf8(qsizetype(inLeft * 2 + 4), Qt::Uninitialized);
        char* to = utf8.data();
        std::size_t outLeft = std::size_t(utf8.size());
        iconv(fromEuc_, nullptr, nullptr, nullptr, nullptr);
        if (iconv(fromEuc_, &euc, &inLeft, &to, &outLeft) == std::size_t(-1)) {
            return {};
        }
        utf8.truncate(to - utf8.data());
        return utf8;
    }

    std::array<std::string, 6> options_{"kakasi", "-ieuc", "-oeuc", "-JH", "-f", "-s"};
    std::vector<char*> argv_; // KAKASI may keep pointers into it
    iconv_t toEuc_ = iconv_open("EUC-JP", "UTF-8");
    iconv_t fromEuc_ = iconv_open("UTF-8", "EUC-JP");
    bool opened_ = false;
};

/// The longest word read again, shorter, when KAKASI lost the reading of its kanji.
constexpr int kMaxRetriedWordLength = 16;

bool hasKanji(QStringView text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return isKanji(c.unicode()); });
}

bool appendRead(SpokenText& spoken, const QString& text, int from, int to, QByteArray euc, Kakasi& reader,
                bool retry, JapaneseWords words);

/// Reads the kanji word text[from, from + length) again without its last kana, which stay as written; false
/// (nothing appended) when its kanji stay unread.
bool appendWithoutLastKana(SpokenText& spoken, const QString& text, int from, int length,
                           const QByteArray& euc, Kakasi& reader) {
    for (int end = length - 1; end > 0 && !isKanji(text[from + end].unicode()); --end) {
        SpokenText part;
        if (appendRead(part, text, from, from + end, euc.first(2 * end), reader, false,
                       JapaneseWords::Joined) &&
            !hasKanji(part.text)) {
            spoken.text += part.text;
            spoken.origin += part.origin;
            appendUnchanged(spoken, text, from + end, from + length);
            return true;
        }
    }
    return false;
}

/// Appends the reading of text[from, to), a run of Japanese letters whose EUC-JP form is `euc`, from KAKASI's
/// annotation of it; false (nothing appended) when the annotation does not retell the run. `retry`: whether a
/// word whose kanji KAKASI left unread is read again, shorter.
bool appendRead(SpokenText& spoken, const QString& text, int from, int to, QByteArray euc, Kakasi& reader,
                bool retry, JapaneseWords words) {
    const QString annotation = reader.annotate(euc);
    SpokenText run;
    int at = from;
    for (const QStringView token : QStringView(annotation).split(u' ', Qt::SkipEmptyParts)) {
        QStringView word = token;
        QStringView reading = token;
        if (const qsizetype open = token.indexOf(u'['); open > 0 && token.endsWith(u']')) {
            word = token.first(open);
            reading = token.sliced(open + 1, token.size() - open - 2);
        }
        if (word.size() > to - at || QStringView(text).sliced(at, word.size()) != word) {
            return false;
        }
        const int length = int(word.size());
        if (words == JapaneseWords::Spaced && !run.text.isEmpty()) {
            run.text += u' ';
            run.origin.append(at);
        }
        if (!hasKanji(word) || (reading != word && !word.endsWith(reading))) {
            appendReading(run, word, reading.isEmpty() ? word : reading, at);
        } else if (!retry || length > kMaxRetriedWordLength ||
                   !appendWithoutLastKana(run, text, at, length, euc.sliced(2 * (at - from)), reader)) {
            // KAKASI loses the kanji of a verb whose okurigana begin with っ when more kana follow ("降って"
            // reads "て", "降っ" reads "ふっ"); a lone mark it has no reading for (々) stays as written.
            appendReading(run, word, word, at);
        }
        at += length;
    }
    if (at != to) {
        return false;
    }
    spoken.text += run.text;
    spoken.origin += run.origin;
    return true;
}

std::mutex& kakasiMutex() {
    static std::mutex mutex;
    return mutex;
}

/// KAKASI, set up on first use (under kakasiMutex()); null when it cannot be.
Kakasi* kakasi() {
    static bool tried = false;
    static std::unique_ptr<Kakasi> instance;
    if (!tried) {
        tried = true;
        instance = Kakasi::open();
    }
    return instance.get();
}

} // namespace

SpokenText japaneseReading(const QString& text, JapaneseWords words) {
    const int size = int(text.size());
    SpokenText spoken;
    spoken.text.reserve(size + size / 2);
    spoken.origin.reserve(size + size / 2);
    if (!hasKanji(text)) { // nothing to read, and KAKASI is not set up for it
        appendUnchanged(spoken, text, 0, size);
        return spoken;
    }
    const std::lock_guard lock(kakasiMutex());
    Kakasi* const reader = kakasi();
    if (reader == nullptr) {
        appendUnchanged(spoken, text, 0, size);
        return spoken;
    }
    int at = 0;
    while (at < size) {
        const int start = at;
        QByteArray euc;
        bool runHasKanji = false;
        while (at < size && at - start < kMaxRunLength && isJapaneseLetter(text[at].unicode()) &&
               reader->appendEuc(text[at].unicode(), euc)) {
            runHasKanji = runHasKanji || isKanji(text[at].unicode());
            ++at;
        }
        if (at == start) {
            appendUnchanged(spoken, text, at, at + 1);
            ++at;
        } else if (!runHasKanji || !appendRead(spoken, text, start, at, euc, *reader, true, words)) {
            appendUnchanged(spoken, text, start, at);
        }
    }
    return spoken;
}

} // namespace cw::tts
