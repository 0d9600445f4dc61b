#include "LanguageFinder.h"

#include <fingerprint.h>
#include <textcat_properties.h>

#include <QByteArray>
#include <QChar>
#include <QFile>
#include <QHash>

#include <algorithm>
#include <array>
#include <climits>
#include <vector>

#ifndef CW_TEXTCAT_DATA_DIR
#define CW_TEXTCAT_DATA_DIR "/usr/share/libexttextcat"
#endif

namespace cw::tts {

namespace {

// The writing systems whose languages are told apart by n-gram statistics.
enum class Family { Latin, Cyrillic, Arabic, Devanagari };
constexpr int kFamilyCount = 4;

struct Model {
    const char* language; // the code this finder answers
    const char* file;     // libexttextcat's fingerprint file
    Family family;
};

// The languages eSpeak NG 1.51 speaks that libexttextcat has a fingerprint for, by script. Languages it has
// no voice for are left out on purpose: a paragraph in one of them should come out unsure or as its nearest
// speakable neighbour, never as a language nobody can read aloud.
constexpr std::array kModels = std::to_array<Model>({
    {"en", "en.lm", Family::Latin},         {"fr", "fr.lm", Family::Latin},
    {"de", "de.lm", Family::Latin},         {"es", "es.lm", Family::Latin},
    {"it", "it.lm", Family::Latin},         {"pt", "pt.lm", Family::Latin},
    {"nl", "nl.lm", Family::Latin},         {"pl", "pl.lm", Family::Latin},
    {"sv", "sv.lm", Family::Latin},         {"tr", "tr.lm", Family::Latin},
    {"cs", "cs.lm", Family::Latin},         {"fi", "fi.lm", Family::Latin},
    {"vi", "vi.lm", Family::Latin},         {"af", "af.lm", Family::Latin},
    {"az", "az.lm", Family::Latin},         {"bs", "bs.lm", Family::Latin},
    {"ca", "ca.lm", Family::Latin},         {"cy", "cy.lm", Family::Latin},
    {"da", "da.lm", Family::Latin},         {"eo", "eo.lm", Family::Latin},
    {"et", "et.lm", Family::Latin},         {"eu", "eu.lm", Family::Latin},
    {"ga", "ga.lm", Family::Latin},         {"gd", "gd.lm", Family::Latin},
    {"gn", "gug.lm", Family::Latin},        {"haw", "haw.lm", Family::Latin},
    {"hr", "hr.lm", Family::Latin},         {"ht", "ht.lm", Family::Latin},
    {"hu", "hu.lm", Family::Latin},         {"ia", "ia.lm", Family::Latin},
    {"id", "id.lm", Family::Latin},         {"is", "is.lm", Family::Latin},
    {"kl", "kl.lm", Family::Latin},         {"la", "la.lm", Family::Latin},
    {"lb", "lb.lm", Family::Latin},         {"lt", "lt.lm", Family::Latin},
    {"lv", "lv.lm", Family::Latin},         {"mi", "mi.lm", Family::Latin},
    {"ms", "ms.lm", Family::Latin},         {"mt", "mt.lm", Family::Latin},
    {"nb", "nb.lm", Family::Latin},         {"om", "om.lm", Family::Latin},
    {"qu", "quz.lm", Family::Latin},        {"ro", "ro.lm", Family::Latin},
    {"sk", "sk.lm", Family::Latin},         {"sl", "sl.lm", Family::Latin},
    {"sq", "sq.lm", Family::Latin},         {"sw", "sw.lm", Family::Latin},
    {"tk", "tk.lm", Family::Latin},         {"tn", "tn.lm", Family::Latin},
    {"uz", "uz.lm", Family::Latin},         {"ru", "ru.lm", Family::Cyrillic},
    {"uk", "uk.lm", Family::Cyrillic},      {"bg", "bg.lm", Family::Cyrillic},
    {"sr", "sr-Cyrl.lm", Family::Cyrillic}, {"mk", "mk.lm", Family::Cyrillic},
    {"be", "be.lm", Family::Cyrillic},      {"kk", "kk.lm", Family::Cyrillic},
    {"ky", "ky.lm", Family::Cyrillic},      {"tt", "tt.lm", Family::Cyrillic},
    {"ar", "ar.lm", Family::Arabic},        {"fa", "fa.lm", Family::Arabic},
    {"ur", "ur.lm", Family::Arabic},        {"sd", "sd.lm", Family::Arabic},
    {"ug", "ug.lm", Family::Arabic},        {"hi", "hi.lm", Family::Devanagari},
    {"mr", "mr.lm", Family::Devanagari},    {"ne", "ne.lm", Family::Devanagari},
});

// eSpeak NG 1.51's voices, by the language code this finder gives (all but Chinese are named after it).
constexpr std::array kEspeakLanguages = std::to_array<const char*>({
    "af",  "am",  "an",  "ar", "as", "az", "ba",  "be",  "bg", "bn",  "bpy", "bs",  "ca", "chr", "cs",  "cv",
    "cy",  "da",  "de",  "el", "en", "eo", "es",  "et",  "eu", "fa",  "fi",  "fr",  "ga", "gd",  "gn",  "grc",
    "gu",  "hak", "haw", "he", "hi", "hr", "ht",  "hu",  "hy", "hyw", "ia",  "id",  "io", "is",  "it",  "ja",
    "jbo", "ka",  "kk",  "kl", "kn", "ko", "kok", "ku",  "ky", "la",  "lb",  "lfn", "lt", "ltg", "lv",  "mi",
    "mk",  "ml",  "mr",  "ms", "mt", "my", "nb",  "nci", "ne", "nl",  "nog", "om",  "or", "pa",  "pap", "pl",
    "pt",  "qu",  "quc", "ro", "ru", "sd", "shn", "si",  "sk", "sl",  "smj", "sq",  "sr", "sv",  "sw",  "ta",
    "te",  "th",  "tk",  "tn", "tr", "tt", "ug",  "uk",  "ur", "uz",  "vi",  "yue",
});

// Below this many letters the n-gram statistics guess no better than chance (measured on short sentences of
// the Latin-script languages: from about 20 letters on the best fingerprint was the right one).
constexpr int kMinLetters = 20;
// From this many letters on, the length no longer limits the confidence.
constexpr int kFullLetters = 60;
// A relative gap of this size between the best and the second fingerprint counts as a clear lead.
constexpr double kClearGap = 0.05;
// Below this confidence the finder says it does not know.
constexpr double kMinConfidence = 0.3;
constexpr int kNgrams = 400; // n-grams per fingerprint, as libexttextcat writes them

struct FingerprintDeleter {
    void operator()(void* fingerprint) const { fp_Done(fingerprint); }
};
using FingerprintHandle = std::unique_ptr<void, FingerprintDeleter>;

FingerprintHandle newFingerprint(const char* name) {
    FingerprintHandle handle(fp_Init(name));
    if (handle) {
        fp_SetProperty(handle.get(), TCPROP_UTF8AWARE, TC_TRUE);
    }
    return handle;
}

// A script's letters counted by the groups that decide a language.
struct LetterCounts {
    QHash<int, int> byScript; // QChar::Script -> letters
    int total = 0;
    int count(QChar::Script script) const { return byScript.value(script, 0); }
};

// Links and addresses name no language; their letters would only disturb the statistics.
bool isAddress(QStringView word) {
    if (word.contains(u"://") || word.startsWith(u"www.", Qt::CaseInsensitive) || word.contains(u'@')) {
        return true;
    }
    // host.name/path: a dot followed by a letter inside the word (a sentence's last dot is at its end)
    for (qsizetype i = 0; i + 1 < word.size(); ++i) {
        if (word[i] == u'.' && i > 0 && word[i - 1].isLetterOrNumber() && word[i + 1].isLetter() &&
            word[i + 1].isLower()) {
            return true;
        }
    }
    return false;
}

// The paragraph's first kLookedAt code units without addresses, words joined by single spaces.
QString wordsToLookAt(QStringView prefix) {
    QString kept;
    kept.reserve(prefix.size());
    qsizetype start = 0;
    for (qsizetype i = 0; i <= prefix.size(); ++i) {
        if (i < prefix.size() && !prefix[i].isSpace()) {
            continue;
        }
        const QStringView word = prefix.sliced(start, i - start);
        start = i + 1;
        if (word.isEmpty() || isAddress(word)) {
            continue;
        }
        if (!kept.isEmpty()) {
            kept += u' ';
        }
        kept += word;
    }
    return kept;
}

LetterCounts countLetters(QStringView text) {
    LetterCounts counts;
    for (const char32_t c : text.toUcs4()) {
        if (!QChar::isLetter(c)) {
            continue;
        }
        ++counts.byScript[QChar::script(c)];
        ++counts.total;
    }
    return counts;
}

// Languages a script alone settles.
struct ScriptLanguage {
    QChar::Script script;
    const char* language;
};
constexpr std::array kScriptLanguages = std::to_array<ScriptLanguage>({
    {QChar::Script_Greek, "el"},
    {QChar::Script_Hebrew, "he"},
    {QChar::Script_Thai, "th"},
    {QChar::Script_Georgian, "ka"},
    {QChar::Script_Armenian, "hy"},
    {QChar::Script_Bengali, "bn"},
    {QChar::Script_Gujarati, "gu"},
    {QChar::Script_Gurmukhi, "pa"},
    {QChar::Script_Oriya, "or"},
    {QChar::Script_Tamil, "ta"},
    {QChar::Script_Telugu, "te"},
    {QChar::Script_Kannada, "kn"},
    {QChar::Script_Malayalam, "ml"},
    {QChar::Script_Sinhala, "si"},
    {QChar::Script_Myanmar, "my"},
    {QChar::Script_Ethiopic, "am"},
    {QChar::Script_Cherokee, "chr"},
});

} // namespace

// The fingerprints of one family are read together, the first time a paragraph of that script comes.
class LanguageFinder::Fingerprints {
public:
    explicit Fingerprints(QString folder) : m_folder(std::move(folder)) {}

    struct Ranking {
        const char* best = nullptr;
        int bestScore = INT_MAX;
        int secondScore = INT_MAX;
    };

    // The closest fingerprint of `family` to `text`; no best when the family has none or the text is empty.
    Ranking rank(Family family, const QByteArray& utf8) {
        Ranking ranking;
        const auto& models = loaded(family);
        if (models.empty()) {
            return ranking;
        }
        FingerprintHandle unknown = newFingerprint(nullptr);
        if (!unknown ||
            fp_Create(unknown.get(), utf8.constData(), static_cast<uint4>(utf8.size()), kNgrams) == 0) {
            return ranking;
        }
        for (const auto& [language, fingerprint] : models) {
            // Scores beyond the second best do not matter: the comparison may give up early.
            const int score = fp_Compare(fingerprint.get(), unknown.get(), ranking.secondScore);
            if (score < ranking.bestScore) {
                ranking.secondScore = ranking.bestScore;
                ranking.bestScore = score;
                ranking.best = language;
            } else if (score < ranking.secondScore) {
                ranking.secondScore = score;
            }
        }
        return ranking;
    }

    int count() const {
        int n = 0;
        for (const auto& family : m_families) {
            n += static_cast<int>(family.size());
        }
        return n;
    }

private:
    struct Loaded {
        const char* language;
        FingerprintHandle fingerprint;
    };

    const std::vector<Loaded>& loaded(Family family) {
        const auto index = static_cast<std::size_t>(family);
        if (!m_read[index]) {
            m_read[index] = true;
            for (const Model& model : kModels) {
                if (model.family != family) {
                    continue;
                }
                const QString path = m_folder + u'/' + QLatin1StringView(model.file);
                if (!QFile::exists(path)) {
                    continue; // a missing file leaves its language out; the others still work
                }
                FingerprintHandle fingerprint = newFingerprint(model.language);
                if (fingerprint &&
                    fp_Read(fingerprint.get(), QFile::encodeName(path).constData(), kNgrams) != 0) {
                    m_families[index].push_back({model.language, std::move(fingerprint)});
                }
            }
        }
        return m_families[index];
    }

    QString m_folder;
    std::array<std::vector<Loaded>, kFamilyCount> m_families;
    std::array<bool, kFamilyCount> m_read{};
};

LanguageFinder::LanguageFinder(QString fingerprintFolder)
    : m_fingerprints(std::make_unique<Fingerprints>(std::move(fingerprintFolder))) {}

LanguageFinder::~LanguageFinder() = default;

int LanguageFinder::fingerprintsLoaded() const {
    return m_fingerprints->count();
}

QString LanguageFinder::defaultFingerprintFolder() {
    return QStringLiteral(CW_TEXTCAT_DATA_DIR);
}

LanguageGuess LanguageFinder::find(QStringView paragraph) {
    QStringView prefix = paragraph.first(std::min(paragraph.size(), kLookedAt));
    if (prefix.size() < paragraph.size() && !prefix.isEmpty() && prefix.back().isHighSurrogate()) {
        prefix.chop(1); // never cut a character in two
    }
    m_lookedAt += prefix.size();

    const QString words = wordsToLookAt(prefix);
    const LetterCounts letters = countLetters(words);
    if (letters.total == 0) {
        return {};
    }

    // Chinese, Japanese and Korean share the Han characters: kana make it Japanese, hangul Korean.
    const int han = letters.count(QChar::Script_Han);
    const int kana = letters.count(QChar::Script_Hiragana) + letters.count(QChar::Script_Katakana);
    const int hangul = letters.count(QChar::Script_Hangul);
    QChar::Script dominant = QChar::Script_Unknown;
    int most = 0;
    for (auto it = letters.byScript.cbegin(); it != letters.byScript.cend(); ++it) {
        const int n = it.key() == QChar::Script_Han || it.key() == QChar::Script_Hiragana ||
                              it.key() == QChar::Script_Katakana || it.key() == QChar::Script_Hangul
                          ? han + kana + hangul
                          : it.value();
        if (n > most) {
            most = n;
            dominant = static_cast<QChar::Script>(it.key());
        }
    }
    const double share = static_cast<double>(most) / letters.total;
    // One letter of a script is a symbol more often than a word.
    const double scriptConfidence = most < 2 ? 0.0 : share * (most < 4 ? 0.75 : 1.0);

    auto byScript = [&](const char* language) {
        if (scriptConfidence < kMinConfidence) {
            return LanguageGuess{{}, scriptConfidence, true};
        }
        return LanguageGuess{QString::fromLatin1(language), scriptConfidence, true};
    };
    // The n-gram statistics over the words; unsure below kMinConfidence.
    auto byStatistics = [&](Family family) {
        LanguageGuess guess;
        if (most < kMinLetters) {
            guess.confidence = kMinConfidence * most / kMinLetters; // below the bar, growing with the length
            return guess;
        }
        // The fingerprints were made from mostly lower-case text: a line in capitals would look German to
        // them.
        const Fingerprints::Ranking ranking = m_fingerprints->rank(family, words.toLower().toUtf8());
        if (ranking.best == nullptr) {
            return guess;
        }
        const double gap =
            ranking.secondScore == INT_MAX || ranking.bestScore <= 0
                ? 1.0
                : static_cast<double>(ranking.secondScore - ranking.bestScore) / ranking.bestScore;
        const double length =
            std::clamp(static_cast<double>(most - kMinLetters) / (kFullLetters - kMinLetters), 0.0, 1.0);
        guess.confidence = share * (0.4 + 0.6 * length) * (0.7 + 0.3 * std::clamp(gap / kClearGap, 0.0, 1.0));
        if (guess.confidence >= kMinConfidence) {
            guess.language = QString::fromLatin1(ranking.best);
        }
        return guess;
    };
    // Scripts shared by several languages: the statistics choose, the script's main language stands in when
    // they cannot (a Cyrillic line is never English).
    auto withinScript = [&](Family family, const char* mainLanguage) {
        LanguageGuess guess = byStatistics(family);
        if (guess.language.isEmpty()) {
            guess = byScript(mainLanguage);
            guess.confidence *= 0.5; // the script is sure, the language within it less so
        }
        return guess;
    };

    switch (dominant) {
    case QChar::Script_Latin:
        return byStatistics(Family::Latin);
    case QChar::Script_Cyrillic:
        return withinScript(Family::Cyrillic, "ru");
    case QChar::Script_Arabic:
        return withinScript(Family::Arabic, "ar");
    case QChar::Script_Devanagari:
        return withinScript(Family::Devanagari, "hi");
    case QChar::Script_Han:
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana:
    case QChar::Script_Hangul:
        if (hangul > kana && hangul >= han) {
            return byScript("ko");
        }
        // Japanese prose is at least a third kana; a Chinese text may quote a Japanese name in kana.
        return byScript(kana > 0 && kana * 10 >= han ? "ja" : "zh");
    default:
        break;
    }
    for (const auto& [script, language] : kScriptLanguages) {
        if (script == dominant) {
            return byScript(language);
        }
    }
    return {}; // a script no voice reads
}

QString LanguageFinder::desktopLanguage() {
    // The same order the C library looks in for the language of messages.
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QByteArray value = qgetenv(variable);
        if (value.isEmpty()) {
            continue;
        }
        if (value == "C" || value == "POSIX" || value.startsWith("C.")) {
            return QStringLiteral("en");
        }
        qsizetype end = 0;
        while (end < value.size() &&
               ((value[end] >= 'a' && value[end] <= 'z') || (value[end] >= 'A' && value[end] <= 'Z'))) {
            ++end;
        }
        if (end >= 2 && end <= 3) {
            return QString::fromLatin1(value.first(end)).toLower();
        }
        return QStringLiteral("en"); // a value nobody can read
    }
    return QStringLiteral("en");
}

QString LanguageFinder::espeakVoiceFor(const QString& language) {
    const QString primary = language.section(u'-', 0, 0).section(u'_', 0, 0).toLower();
    if (primary == u"zh") {
        // Its "cmn" voice reads the pinyin its dictionary gives for Han characters with English rules ("ni3"
        // as "ni three"); the pinyin voice reads the same characters right.
        return QStringLiteral("cmn-latn-pinyin");
    }
    if (primary == u"no" || primary == u"nn") {
        return QStringLiteral("nb");
    }
    for (const char* known : kEspeakLanguages) {
        if (primary == QLatin1StringView(known)) {
            return primary;
        }
    }
    return {};
}

qsizetype LanguageFinder::paragraphEnd(QStringView text, qsizetype from) {
    for (qsizetype i = std::max<qsizetype>(from, 0); i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\n' || c == u'\r' || c == u'\u2028' || c == u'\u2029' || c == u'\v' || c == u'\f') {
            return i;
        }
    }
    return text.size();
}

} // namespace cw::tts
