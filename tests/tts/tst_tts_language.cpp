// Which language each paragraph is in, which eSpeak NG voice reads it, and the mouth each IPA phoneme shows.
#include "LanguageSamples.h"
#include "tts/LanguageFinder.h"
#include "tts/Mouths.h"

#include <QFile>
#include <QSet>
#include <QTest>

#include <optional>

using namespace cw::tts;
using cw::Mouth;

namespace {

QString text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// Restores the locale variables a test changes, whatever happens in it.
class LocaleEnvironment {
public:
    LocaleEnvironment() {
        for (const char* name : kNames) {
            m_saved.append({name, qEnvironmentVariableIsSet(name), qgetenv(name)});
            qunsetenv(name);
        }
    }
    ~LocaleEnvironment() {
        for (const Saved& saved : m_saved) {
            if (saved.set) {
                qputenv(saved.name, saved.value);
            } else {
                qunsetenv(saved.name);
            }
        }
    }
    LocaleEnvironment(const LocaleEnvironment&) = delete;
    LocaleEnvironment& operator=(const LocaleEnvironment&) = delete;

private:
    static constexpr const char* kNames[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    struct Saved {
        const char* name;
        bool set;
        QByteArray value;
    };
    QList<Saved> m_saved;
};

// Sentences of languages that share their script with a better-known one.
constexpr const char* kUkrainian =
    "Ми поїхали до бабусі в село, де вона варила нам борщ і пекла пиріжки з вишнями.";
constexpr const char* kPersian = "من هر روز صبح با دوستانم "
                                 "در پارک نزدیک خانه قدم می\u200cزنم "
                                 "و بعد چای می\u200cنوشیم.";
constexpr const char* kMarathi = "मी रोज सकाळी माझ्या मित्रांबरोबर बागेत फिरायला जातो आणि नंतर आम्ही चहा पितो.";

// The table's paragraph in `language`.
QString paragraphIn(std::string_view language) {
    for (const auto& sample : samples::kParagraphs) {
        if (sample.language == language) {
            return text(sample.text);
        }
    }
    qFatal("no sample paragraph in %s", language.data());
}

} // namespace

namespace cw {
// Failures name the shapes.
char* toString(const Mouth& shape) {
    return qstrdup(qPrintable(mouthName(shape)));
}
} // namespace cw

class TestTtsLanguage : public QObject {
    Q_OBJECT
private slots:
    void paragraphsFindTheirLanguageAndVoice_data();
    void paragraphsFindTheirLanguageAndVoice();
    void paragraphsInCapitalsFindTheirLanguage();
    void mixedRequestChangesLanguageEachParagraph();
    void linesThatNameNoLanguageAreUnsure_data();
    void linesThatNameNoLanguageAreUnsure();
    void scriptsSettleTheLanguageAtOnce_data();
    void scriptsSettleTheLanguageAtOnce();
    void addressesDoNotCount();
    void fingerprintsAreReadOnFirstNeedOneScriptAtATime();
    void withoutFingerprintsScriptsStillDecide();
    void longParagraphIsJudgedByItsBeginningOnly();
    void desktopLanguageComesFromTheLocale_data();
    void desktopLanguageComesFromTheLocale();
    void espeakVoices_data();
    void espeakVoices();
    void paragraphsEndAtLineBreaks();
    void ipaMouths_data();
    void ipaMouths();
    void ipaMouthsAgreeWithTheEnglishPhoneSet();
    void unknownIpaIsHalfOpen();
    void everyPhonemeEspeakReportsHasAMouth();
};

void TestTtsLanguage::paragraphsFindTheirLanguageAndVoice_data() {
    QTest::addColumn<QString>("paragraph");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("voice");
    QTest::addColumn<bool>("byScript");
    for (const auto& sample : samples::kParagraphs) {
        const bool scriptAlone = sample.script != "Latin" && sample.script != "Cyrillic" &&
                                 sample.script != "Arabic" && sample.script != "Devanagari";
        QTest::addRow("%s (%s)", sample.language.data(), sample.script.data())
            << text(sample.text) << text(sample.language) << text(sample.voice) << scriptAlone;
    }
}

void TestTtsLanguage::paragraphsFindTheirLanguageAndVoice() {
    QFETCH(QString, paragraph);
    QFETCH(QString, language);
    QFETCH(QString, voice);
    QFETCH(bool, byScript);
    LanguageFinder finder;
    const LanguageGuess guess = finder.find(paragraph);
    QCOMPARE(guess.language, language);
    QVERIFY2(guess.confidence >= 0.5, qPrintable(QString::number(guess.confidence)));
    QVERIFY(guess.confidence <= 1.0);
    QCOMPARE(guess.byScript, byScript);
    QCOMPARE(LanguageFinder::espeakVoiceFor(guess.language), voice);
}

void TestTtsLanguage::paragraphsInCapitalsFindTheirLanguage() {
    // Shouted text: the same languages as in lower case.
    LanguageFinder finder;
    for (const auto& sample : samples::kParagraphs) {
        const LanguageGuess guess = finder.find(text(sample.text).toUpper());
        QVERIFY2(guess.language == text(sample.language),
                 qPrintable(QStringLiteral("%1 in capitals found as %2")
                                .arg(text(sample.language),
                                     guess.language.isEmpty() ? QStringLiteral("nothing") : guess.language)));
    }
}

void TestTtsLanguage::mixedRequestChangesLanguageEachParagraph() {
    const QString request = text(samples::kMixedRequest);
    LanguageFinder finder;
    QStringList found;
    for (qsizetype start = 0; start < request.size();) {
        const qsizetype end = LanguageFinder::paragraphEnd(request, start);
        const QStringView paragraph = QStringView(request).sliced(start, end - start);
        if (!paragraph.trimmed().isEmpty()) {
            found << finder.find(paragraph).language;
        }
        start = end + 1;
    }
    QStringList expected;
    for (const auto& sample : samples::kMixedParagraphs) {
        expected << text(sample.language);
    }
    QCOMPARE(found, expected);
}

void TestTtsLanguage::linesThatNameNoLanguageAreUnsure_data() {
    QTest::addColumn<QString>("line");
    QTest::newRow("greeting") << text(samples::kGreeting);
    QTest::newRow("number") << text(samples::kNumberLine);
    QTest::newRow("address") << text(samples::kUrl);
    QTest::newRow("e-mail address") << "anna.schmidt@example.org";
    QTest::newRow("one word") << "Bonjour";
    QTest::newRow("two words") << "Merci beaucoup";
    QTest::newRow("short question") << "Hello, how are you?";
    QTest::newRow("empty") << "";
    QTest::newRow("punctuation") << "... -- !!! ??? 42 %";
}

void TestTtsLanguage::linesThatNameNoLanguageAreUnsure() {
    QFETCH(QString, line);
    LanguageFinder finder;
    const LanguageGuess guess = finder.find(line);
    QVERIFY2(guess.language.isEmpty(), qPrintable(guess.language));
    QVERIFY(guess.confidence < 0.3);
}

void TestTtsLanguage::scriptsSettleTheLanguageAtOnce_data() {
    QTest::addColumn<QString>("paragraph");
    QTest::addColumn<QString>("language");
    QTest::addColumn<bool>("byScript");
    const auto row = [](const char* name, const char* paragraph, const char* language, bool byScript) {
        QTest::newRow(name) << QString::fromUtf8(paragraph) << QString::fromLatin1(language) << byScript;
    };
    row("one Greek word", "Καλημέρα", "el", true);
    row("one Hebrew word", "שלום", "he", true);
    row("Han only is Chinese", "你好世界", "zh", true);
    row("a little kana is Japanese", "東京都庁舎の展望室", "ja", true);
    row("Chinese quoting a kana name", "我们在东京一家叫做すし屋的小饭馆吃了晚饭，然后坐地铁回到了酒店休息。",
        "zh", true);
    row("katakana only", "コンピューター", "ja", true);
    row("Hangul with a Han word", "大韓民國 헌법 제일조", "ko", true);
    row("Korean with an English brand", "새 iPhone 을 샀어요 정말 좋아요", "ko", true);
    row("Georgian", "გამარჯობა", "ka", true);
    row("Armenian", "Բարեւ ձեզ", "hy", true);
    // Too short for the statistics: the script's main language, never the English voice.
    row("short Cyrillic", "Привет!", "ru", true);
    row("short Arabic", "مرحبا", "ar", true);
    row("short Devanagari", "नमस्ते", "hi", true);
    // Long enough: the statistics tell the languages that share a script apart.
    row("Ukrainian, not Russian", kUkrainian, "uk", false);
    row("Persian, not Arabic", kPersian, "fa", false);
    row("Marathi, not Hindi", kMarathi, "mr", false);
    row("a symbol of another script", "α", "", true);
}

void TestTtsLanguage::scriptsSettleTheLanguageAtOnce() {
    QFETCH(QString, paragraph);
    QFETCH(QString, language);
    QFETCH(bool, byScript);
    LanguageFinder finder;
    const LanguageGuess guess = finder.find(paragraph);
    QCOMPARE(guess.language, language);
    QCOMPARE(guess.byScript, byScript);
}

void TestTtsLanguage::addressesDoNotCount() {
    // The English words are too few on their own; the addresses must not turn them into a confident guess of
    // some other language, and around a real paragraph they must not change its language.
    LanguageFinder finder;
    const QString french = paragraphIn("fr");
    const QString withAddresses = QStringLiteral("https://www.example.com/articles/2024?id=77&lang=en "
                                                 "webmaster@example.co.uk www.example.org/en/index.html ") +
                                  french;
    QCOMPARE(finder.find(withAddresses).language, QStringLiteral("fr"));
    const LanguageGuess onlyAddresses =
        finder.find(u"see https://example.com/path/to/something/long and mail info@example.com");
    QVERIFY2(onlyAddresses.language.isEmpty(), qPrintable(onlyAddresses.language));
}

void TestTtsLanguage::fingerprintsAreReadOnFirstNeedOneScriptAtATime() {
    LanguageFinder finder;
    QCOMPARE(finder.fingerprintsLoaded(), 0);
    QCOMPARE(finder.find(paragraphIn("el")).language, QStringLiteral("el"));
    QCOMPARE(finder.fingerprintsLoaded(), 0); // Greek needs no statistics
    QCOMPARE(finder.find(u"Hi!").language, QString());
    QCOMPARE(finder.fingerprintsLoaded(), 0); // too short to be worth them
    QCOMPARE(finder.find(paragraphIn("fr")).language, QStringLiteral("fr"));
    const int latin = finder.fingerprintsLoaded();
    QVERIFY(latin >= 12);
    QCOMPARE(finder.find(paragraphIn("de")).language, QStringLiteral("de"));
    QCOMPARE(finder.fingerprintsLoaded(), latin); // read once
    QCOMPARE(finder.find(paragraphIn("ru")).language, QStringLiteral("ru"));
    QVERIFY(finder.fingerprintsLoaded() > latin);
}

void TestTtsLanguage::withoutFingerprintsScriptsStillDecide() {
    LanguageFinder finder(QStringLiteral("/nonexistent/fingerprints"));
    const LanguageGuess french = finder.find(paragraphIn("fr"));
    QCOMPARE(french.language, QString());
    QCOMPARE(finder.find(paragraphIn("el")).language, QStringLiteral("el"));
    QCOMPARE(finder.find(paragraphIn("ru")).language, QStringLiteral("ru"));
    QCOMPARE(finder.fingerprintsLoaded(), 0);
}

void TestTtsLanguage::longParagraphIsJudgedByItsBeginningOnly() {
    // A paragraph of a megabyte: French for its first thousand characters, German for the rest. Only the
    // beginning is looked at, so it is French, and the work does not grow with the paragraph.
    const QString french = paragraphIn("fr") + u' ';
    const QString german = paragraphIn("de") + u' ';
    QString paragraph;
    while (paragraph.size() < LanguageFinder::kLookedAt) {
        paragraph += french;
    }
    paragraph.truncate(LanguageFinder::kLookedAt);
    while (paragraph.size() < 1024 * 1024) {
        paragraph += german;
    }
    LanguageFinder finder;
    const qsizetype before = finder.charactersLookedAt();
    const LanguageGuess guess = finder.find(paragraph);
    QCOMPARE(guess.language, QStringLiteral("fr"));
    const qsizetype looked = finder.charactersLookedAt() - before;
    QVERIFY2(looked > 0 && looked <= LanguageFinder::kLookedAt, qPrintable(QString::number(looked)));

    // A character of two code units at the bound is not cut in two (it would be no letter at all).
    QString astral(LanguageFinder::kLookedAt - 1, u'x');
    astral += QString::fromUcs4(U"\U0001D400"); // a mathematical bold A: a surrogate pair
    astral += QString(10, u'y');
    const qsizetype beforeAstral = finder.charactersLookedAt();
    finder.find(astral);
    QCOMPARE(finder.charactersLookedAt() - beforeAstral, LanguageFinder::kLookedAt - 1);
}

void TestTtsLanguage::desktopLanguageComesFromTheLocale_data() {
    QTest::addColumn<QByteArray>("lcAll");
    QTest::addColumn<QByteArray>("lcMessages");
    QTest::addColumn<QByteArray>("lang");
    QTest::addColumn<QString>("language");
    QTest::newRow("nothing set") << QByteArray() << QByteArray() << QByteArray() << "en";
    QTest::newRow("LANG") << QByteArray() << QByteArray() << QByteArray("fr_FR.UTF-8") << "fr";
    QTest::newRow("LC_MESSAGES before LANG")
        << QByteArray() << QByteArray("de_AT.UTF-8") << QByteArray("fr_FR.UTF-8") << "de";
    QTest::newRow("LC_ALL before all")
        << QByteArray("pt_BR.UTF-8") << QByteArray("de_DE") << QByteArray("fr_FR") << "pt";
    QTest::newRow("C") << QByteArray() << QByteArray() << QByteArray("C") << "en";
    QTest::newRow("C.UTF-8") << QByteArray() << QByteArray() << QByteArray("C.UTF-8") << "en";
    QTest::newRow("POSIX") << QByteArray("POSIX") << QByteArray() << QByteArray("ru_RU.UTF-8") << "en";
    QTest::newRow("modifier") << QByteArray() << QByteArray() << QByteArray("ca_ES@valencia") << "ca";
    QTest::newRow("three letters") << QByteArray() << QByteArray() << QByteArray("haw_US.UTF-8") << "haw";
    QTest::newRow("upper case") << QByteArray() << QByteArray() << QByteArray("EL_GR") << "el";
    QTest::newRow("nonsense") << QByteArray() << QByteArray() << QByteArray("/usr/share") << "en";
}

void TestTtsLanguage::desktopLanguageComesFromTheLocale() {
    QFETCH(QByteArray, lcAll);
    QFETCH(QByteArray, lcMessages);
    QFETCH(QByteArray, lang);
    QFETCH(QString, language);
    const LocaleEnvironment restore;
    if (!lcAll.isEmpty()) {
        qputenv("LC_ALL", lcAll);
    }
    if (!lcMessages.isEmpty()) {
        qputenv("LC_MESSAGES", lcMessages);
    }
    if (!lang.isEmpty()) {
        qputenv("LANG", lang);
    }
    QCOMPARE(LanguageFinder::desktopLanguage(), language);
}

void TestTtsLanguage::espeakVoices_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("voice");
    const auto row = [](const char* name, const char* language, const char* voice) {
        QTest::newRow(name) << QString::fromLatin1(language) << QString::fromLatin1(voice);
    };
    row("Chinese is Mandarin, read from pinyin", "zh", "cmn-latn-pinyin");
    row("English", "en", "en");
    row("region dropped", "pt-BR", "pt");
    row("locale form", "fr_CA", "fr");
    row("Norwegian", "no", "nb");
    row("three letters", "haw", "haw");
    row("no voice", "xh", "");
    row("nothing", "", "");
}

void TestTtsLanguage::espeakVoices() {
    QFETCH(QString, language);
    QFETCH(QString, voice);
    QCOMPARE(LanguageFinder::espeakVoiceFor(language), voice);
}

void TestTtsLanguage::paragraphsEndAtLineBreaks() {
    const QString text = QStringLiteral("one\ntwo\r\nthree\u2029four");
    QCOMPARE(LanguageFinder::paragraphEnd(text, 0), 3);
    QCOMPARE(LanguageFinder::paragraphEnd(text, 4), 7);
    QCOMPARE(LanguageFinder::paragraphEnd(text, 7), 7); // at a break: an empty paragraph
    QCOMPARE(LanguageFinder::paragraphEnd(text, 9), 14);
    QCOMPARE(LanguageFinder::paragraphEnd(text, 15), text.size());
    QCOMPARE(LanguageFinder::paragraphEnd(text, text.size()), text.size());
    QCOMPARE(LanguageFinder::paragraphEnd(u"", 0), 0);
}

void TestTtsLanguage::ipaMouths_data() {
    QTest::addColumn<QByteArray>("phoneme");
    QTest::addColumn<Mouth>("shape");
    const auto rows = [](const char* group, Mouth shape, std::initializer_list<const char*> phonemes) {
        for (const char* phoneme : phonemes) {
            QTest::addRow("%s %s", group, phoneme) << QByteArray(phoneme) << shape;
        }
    };
    rows("pause", Mouth::Closed, {"", "(en)"});
    rows("bilabial", Mouth::Closed, {"p", "b", "m", "ɓ", "ʘ", "pʰ", "mʲ", "b̥", "ph"});
    rows("rounded", Mouth::Narrow,
         {"u", "y", "o", "ø", "ɔ", "ʊ", "ʏ", "ɵ", "œ", "w", "ɥ", "uː", "õ", "ɔ̃", "ɔø"});
    rows("teeth on lip", Mouth::Narrow, {"f", "v", "ʋ", "ɱ"});
    rows("open", Mouth::Wide4, {"a", "ɑ", "æ", "ɐ", "ɒ", "ä", "aː", "ã", "ɑ̃", "ɐ̃", "aɪ", "aʊ"});
    rows("open-mid", Mouth::Wide3, {"e", "ɛ", "ə", "ɜ", "ʌ", "ɜː", "ɛ̃", "eː", "e̞", "h", "ʔ"});
    rows("close spread", Mouth::Wide2, {"i", "ɪ", "ɨ", "ɯ", "j", "iː", "ɯᵝ", "ʲ", "ja"});
    rows("velar and uvular", Mouth::Wide2, {"k", "ɡ", "ŋ", "x", "ɣ", "q", "χ", "ʁ", "kʰ"});
    rows("dental and alveolar", Mouth::Wide1,
         {"t", "d", "n", "s", "z", "l", "ɾ", "r", "θ", "ð", "ɫ", "t̪", "s̪", "l̩", "r̝", "tʲ", "d-"});
    rows("affricate by its stop", Mouth::Wide1, {"t͡s", "ts", "d͡z"});
    rows("affricate by its sibilant", Mouth::Medium, {"tʃ", "t͡ʃ", "dʒ", "d͡ʒ", "tɕ", "dʑ", "ʈʂ"});
    rows("postalveolar", Mouth::Medium, {"ʃ", "ʒ", "ɕ", "ʑ", "ʂ", "ʐ", "ɹ", "ɚ", "ə˞", "s.", "ts.", "ts.h"});
    rows("stress, tone and length stripped", Mouth::Wide4, {"ˈa", "ˌa", "a˥", "a˧˥", "aː", "a5", "ˈaːˑ"});
    rows("marks alone", Mouth::Wide2, {"1", "˥", "ː"});
    rows("raised nasal", Mouth::Closed, {"ᵐ", "ᵐb"});
    rows("raised nasal", Mouth::Wide1, {"ⁿ", "ⁿd"});
    rows("eSpeak's ASCII name", Mouth::Medium, {"S", "Z"});
    rows("eSpeak's ASCII name", Mouth::Wide2, {"N", "X"});
    rows("eSpeak's ASCII name", Mouth::Wide4, {"A"});
    rows("eSpeak's ASCII name", Mouth::Narrow, {"U", "W"});
    rows("eSpeak's ASCII name", Mouth::Wide1, {"T", "D"});
    rows("lookalikes", Mouth::Wide3, {"ε"});
    rows("lookalikes", Mouth::Wide2, {"ᵻ"});
}

void TestTtsLanguage::ipaMouths() {
    QFETCH(QByteArray, phoneme);
    QFETCH(Mouth, shape);
    const std::optional<Mouth> entry = ipaMouthEntry(phoneme);
    QVERIFY2(entry.has_value(), "no entry");
    QCOMPARE(*entry, shape);
    QCOMPARE(mouthForIpa(phoneme), shape);
}

void TestTtsLanguage::ipaMouthsAgreeWithTheEnglishPhoneSet() {
    // The same sound shows the same mouth whichever voice reads it (flite's US English names beside IPA).
    const std::pair<const char*, const char*> same[] = {
        {"p", "p"},   {"b", "b"},   {"m", "m"},   {"ɑː", "aa"}, {"æ", "ae"},  {"aɪ", "ay"}, {"aʊ", "aw"},
        {"ɛ", "eh"},  {"eɪ", "ey"}, {"ʌ", "ah"},  {"h", "hh"},  {"ɪ", "ih"},  {"iː", "iy"}, {"j", "y"},
        {"k", "k"},   {"ɡ", "g"},   {"ŋ", "ng"},  {"t", "t"},   {"d", "d"},   {"n", "n"},   {"s", "s"},
        {"z", "z"},   {"l", "l"},   {"θ", "th"},  {"ð", "dh"},  {"ʃ", "sh"},  {"ʒ", "zh"},  {"tʃ", "ch"},
        {"dʒ", "jh"}, {"ɹ", "r"},   {"ɚ", "axr"}, {"ɝ", "er"},  {"oʊ", "ow"}, {"ɔɪ", "oy"}, {"uː", "uw"},
        {"w", "w"},   {"f", "f"},   {"v", "v"},
    };
    for (const auto& [ipa, flite] : same) {
        if (mouthForIpa(ipa) != mouthForPhone(flite)) {
            QFAIL(qPrintable(QStringLiteral("%1 shows %2, flite's %3 shows %4")
                                 .arg(QString::fromUtf8(ipa), cw::mouthName(mouthForIpa(ipa)),
                                      QString::fromUtf8(flite), cw::mouthName(mouthForPhone(flite)))));
        }
    }
}

void TestTtsLanguage::unknownIpaIsHalfOpen() {
    for (const char* unknown : {"☃", "Ж", "ˈ☃ː", "☃a"}) {
        QCOMPARE(ipaMouthEntry(unknown), std::nullopt);
        QCOMPARE(mouthForIpa(unknown), Mouth::Wide2);
    }
}

namespace {

// "VOICE<tab>PHONEME" lines as tools/espeak-phonemes writes them: the voices, the shapes the phonemes show,
// and each phoneme with no entry, named with its code points.
struct PhonemeList {
    QSet<QString> voices;
    QSet<Mouth> shapes;
    QStringList missing;
    int lines = 0;
};

PhonemeList readPhonemeList(const QString& path) {
    PhonemeList list;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        list.missing << QStringLiteral("cannot read ") + path;
        return list;
    }
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        line.chop(line.endsWith('\n') ? 1 : 0);
        const qsizetype tab = line.indexOf('\t');
        if (tab <= 0) {
            list.missing << QStringLiteral("a line without a voice: ") + QString::fromUtf8(line);
            continue;
        }
        const QByteArray voice = line.first(tab);
        const QByteArray phoneme = line.sliced(tab + 1);
        list.voices << QString::fromLatin1(voice);
        ++list.lines;
        if (const std::optional<Mouth> shape = ipaMouthEntry(phoneme)) {
            list.shapes << *shape;
            continue;
        }
        QString codes;
        for (const uint c : QString::fromUtf8(phoneme).toUcs4()) {
            codes += QStringLiteral(" U+%1").arg(c, 4, 16, QLatin1Char('0'));
        }
        list.missing << QStringLiteral("%1: \"%2\" (%3)")
                            .arg(QString::fromLatin1(voice), QString::fromUtf8(phoneme), codes.trimmed());
    }
    return list;
}

} // namespace

void TestTtsLanguage::everyPhonemeEspeakReportsHasAMouth() {
    // The phonemes eSpeak NG 1.51 reported, in IPA, reading the table's paragraphs (tools/espeak-phonemes
    // --table > espeak-phonemes.tsv), and spelling the letters of every script with each of its voices
    // (--letters > espeak-letter-phonemes.tsv).
    const PhonemeList paragraphs = readPhonemeList(QStringLiteral(CW_TTS_DATA "/espeak-phonemes.tsv"));
    QVERIFY2(paragraphs.missing.isEmpty(),
             qPrintable(QStringLiteral("no mouth for ") + paragraphs.missing.join(QStringLiteral(", "))));
    for (const auto& sample : samples::kParagraphs) {
        QVERIFY2(paragraphs.voices.contains(text(sample.voice)), sample.voice.data()); // every voice is there
    }
    QVERIFY(paragraphs.lines > 300);
    QCOMPARE(paragraphs.shapes.size(), cw::kMouthCount); // and the voices draw every mouth

    const PhonemeList letters = readPhonemeList(QStringLiteral(CW_TTS_DATA "/espeak-letter-phonemes.tsv"));
    QVERIFY2(letters.missing.isEmpty(),
             qPrintable(QStringLiteral("no mouth for ") + letters.missing.join(QStringLiteral(", "))));
    QVERIFY(letters.lines > 300);
}

QTEST_GUILESS_MAIN(TestTtsLanguage)
#include "tst_tts_language.moc"
