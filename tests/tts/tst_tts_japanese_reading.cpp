// Japanese kanji read as kana with KAKASI's dictionary: words read as themselves, everything else kept, each
// unit of the reading pointing at the word it reads, long and odd text handled, and the eSpeak NG Japanese
// voice hearing Japanese instead of the English names of the kanji. Built a second time to run without the
// dictionary, where the text must come back as written.
#include "tts/EspeakVoice.h"
#include "tts/JapaneseReading.h"

#include <QCoreApplication>
#include <QTest>
#include <algorithm>
#include <array>
#include <memory>
#include <thread>

using namespace cw::tts;

namespace {

/// Ordinary prose, full of kanji words with okurigana, a number and Latin letters.
const QString kProse =
    QStringLiteral("今日は朝から雨が降っていたので、私は駅の近くの喫茶店で友達と会いました。"
                   "新しい仕事の話を聞いて、二人で来年の旅行の計画を立てました。");

bool isKanji(QChar c) {
    return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF;
}

bool hasKanji(const QString& text) {
    return std::any_of(text.begin(), text.end(), isKanji);
}

/// Why `spoken` is not a valid reading of `source` (one origin per unit, in the source, never going
/// backwards); empty when it is.
QString originFault(const SpokenText& spoken, const QString& source) {
    if (spoken.origin.size() != spoken.text.size()) {
        return QStringLiteral("%1 origins for %2 units").arg(spoken.origin.size()).arg(spoken.text.size());
    }
    int previous = 0;
    for (qsizetype i = 0; i < spoken.origin.size(); ++i) {
        const int origin = spoken.origin[i];
        if (origin < 0 || origin >= source.size()) {
            return QStringLiteral("unit %1 points outside the text (%2)").arg(i).arg(origin);
        }
        if (origin < previous) {
            return QStringLiteral("unit %1 goes back from %2 to %3").arg(i).arg(previous).arg(origin);
        }
        previous = origin;
    }
    return {};
}

bool isIdentity(const SpokenText& spoken, const QString& source) {
    if (spoken.text != source || spoken.origin.size() != source.size()) {
        return false;
    }
    for (qsizetype i = 0; i < spoken.origin.size(); ++i) {
        if (spoken.origin[i] != i) {
            return false;
        }
    }
    return true;
}

/// The IPA phones eSpeak NG's Japanese voice makes of `text`.
QList<QByteArray> japanesePhones(const QString& text) {
    const EspeakVoice voice(QStringLiteral("ja"));
    VoiceSettings settings;
    settings.pitchHz = 120;
    settings.wordsPerMinute = 175;
    const std::unique_ptr<SentenceSynthesis> sentence = voice.begin(text, settings);
    QList<QByteArray> phones;
    if (sentence) {
        for (const ChunkTiming::Phone& phone : sentence->phones()) {
            if (phone.ipa) {
                phones.append(phone.name);
            }
        }
    }
    return phones;
}

/// Whether `phones` hold the English of "Chinese letter" that eSpeak NG says for a kanji it cannot read.
bool soundsLikeChineseLetter(const QList<QByteArray>& phones) {
    return std::any_of(phones.begin(), phones.end(),
                       [](const QByteArray& phone) { return phone.contains("tʃ") || phone.contains("aɪ"); });
}

} // namespace

class TestTtsJapaneseReading : public QObject {
    Q_OBJECT
private slots:
    void threadsReadAtOnce(); // first, so that KAKASI is set up while both threads ask for it
    void readsKanjiWordsInKana_data();
    void readsKanjiWordsInKana();
    void keepsKanaLatinDigitsAndPunctuation();
    void readingUnitsPointIntoTheWordTheyRead();
    void originsAreValidForAnyText_data();
    void originsAreValidForAnyText();
    void noKanjiLeftInProse();
    void textWithoutKanjiIsUnchanged_data();
    void textWithoutKanjiIsUnchanged();
    void longTextIsReadPieceByPiece();
    void espeakHearsJapaneseInsteadOfChineseLetters();
    void spacedWordsAreTheSameReadingApart();
};

void TestTtsJapaneseReading::spacedWordsAreTheSameReadingApart() {
    const QString text = QStringLiteral("図書館は朝九時に開き、雨の日には学生でいっぱいになります。");
    const SpokenText joined = japaneseReading(text);
    const SpokenText spaced = japaneseReading(text, JapaneseWords::Spaced);
    QVERIFY2(spaced.text.count(u' ') >= 5, qPrintable(spaced.text));
    QCOMPARE(spaced.origin.size(), spaced.text.size());
    // Without its spaces it is the joined reading, unit for unit, origin for origin.
    SpokenText unspaced;
    for (qsizetype i = 0; i < spaced.text.size(); ++i) {
        if (spaced.text[i] == u' ') {
            // A space stands for the word after it.
            QVERIFY(i + 1 < spaced.text.size());
            QCOMPARE(spaced.origin[i], spaced.origin[i + 1]);
            continue;
        }
        unspaced.text += spaced.text[i];
        unspaced.origin << spaced.origin[i];
    }
    QCOMPARE(unspaced.text, joined.text);
    QCOMPARE(unspaced.origin, joined.origin);
}

void TestTtsJapaneseReading::readsKanjiWordsInKana_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reading");
    QTest::newRow("weather") << QStringLiteral("天気") << QStringLiteral("てんき");
    QTest::newRow("Japanese language") << QStringLiteral("日本語") << QStringLiteral("にほんご");
    QTest::newRow("okurigana kept") << QStringLiteral("食べた") << QStringLiteral("たべた");
    QTest::newRow("okurigana after a small tsu")
        << QStringLiteral("雨が降っていた、会った") << QStringLiteral("あめがふっていた、あった");
    QTest::newRow("in a sentence") << QStringLiteral("天気が良かったので、東京へ行きました。")
                                   << QStringLiteral("てんきがよかったので、とうきょうへいきました。");
}

void TestTtsJapaneseReading::readsKanjiWordsInKana() {
    QFETCH(QString, text);
    QFETCH(QString, reading);
    const SpokenText spoken = japaneseReading(text);
    QCOMPARE(spoken.text, reading);
    QVERIFY2(originFault(spoken, text).isEmpty(), qPrintable(originFault(spoken, text)));
}

void TestTtsJapaneseReading::keepsKanaLatinDigitsAndPunctuation() {
    const QString text = QStringLiteral("私はABCの本を3冊、1200円で買いました！本当？ カタカナ・テスト。");
    const SpokenText spoken = japaneseReading(text);
    QVERIFY2(originFault(spoken, text).isEmpty(), qPrintable(originFault(spoken, text)));
    QVERIFY(!hasKanji(spoken.text));
    // Every character that is not a kanji is in the reading, as itself, pointing at itself.
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isKanji(text[i])) {
            continue;
        }
        bool kept = false;
        for (qsizetype j = 0; j < spoken.text.size() && !kept; ++j) {
            kept = spoken.origin[j] == i && spoken.text[j] == text[i];
        }
        QVERIFY2(kept, qPrintable(QStringLiteral("%1 at %2 in %3").arg(text[i]).arg(i).arg(spoken.text)));
    }
    for (const char* kept : {"ABC", "3", "、1200", "！", "？ カタカナ・テスト。"}) {
        QVERIFY2(spoken.text.contains(QString::fromUtf8(kept)), kept);
    }
}

void TestTtsJapaneseReading::readingUnitsPointIntoTheWordTheyRead() {
    // 明日は天気です: 天 at 3, 気 at 4; the kana after them point at themselves.
    const QString text = QStringLiteral("明日は天気です");
    const SpokenText spoken = japaneseReading(text);
    QVERIFY2(originFault(spoken, text).isEmpty(), qPrintable(originFault(spoken, text)));
    const qsizetype weather = spoken.text.indexOf(QStringLiteral("てんき"));
    QVERIFY2(weather > 0, qPrintable(spoken.text));
    QCOMPARE(spoken.text.mid(weather + 3), QStringLiteral("です"));
    for (qsizetype j = weather; j < weather + 3; ++j) {
        QVERIFY2(spoken.origin[j] == 3 || spoken.origin[j] == 4,
                 qPrintable(QString::number(spoken.origin[j])));
    }
    QCOMPARE(spoken.origin[weather], 3);
    QCOMPARE(spoken.origin[weather + 2], 4); // spread over the word: き reads 気
    QCOMPARE(spoken.origin[weather + 3], 5);
    QCOMPARE(spoken.origin[weather + 4], 6);
    // The reading before it (of 明日は) points into 明日は only.
    for (qsizetype j = 0; j < weather; ++j) {
        QVERIFY(spoken.origin[j] <= 2);
    }
}

void TestTtsJapaneseReading::originsAreValidForAnyText_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("prose") << kProse;
    QTest::newRow("NUL between kanji") << QStringLiteral("天気") + QChar(0) + QStringLiteral("日本語");
    QTest::newRow("unpaired surrogates") << QStringLiteral("天") + QChar(0xD800) + QStringLiteral("気") +
                                                QChar(0xDC00) + QStringLiteral("東京") + QChar(0xD83D);
    QTest::newRow("kanji outside JIS X 0208") << QStringLiteral("髙橋さんと𠮷野さんが来た");
    QTest::newRow("repeat mark alone") << QStringLiteral("々々佐々木〆ヶ月");
    QTest::newRow("half-width kana") << QStringLiteral("ｶﾀｶﾅと漢字");
    QTest::newRow("brackets and spaces") << QStringLiteral("天気 [晴れ] 〔雨〕 天気[てんき]");
    QTest::newRow("Chinese") << QStringLiteral("我们今天去北京吃烤鸭。");
}

void TestTtsJapaneseReading::originsAreValidForAnyText() {
    QFETCH(QString, text);
    const SpokenText spoken = japaneseReading(text);
    QVERIFY2(originFault(spoken, text).isEmpty(), qPrintable(originFault(spoken, text)));
    // Whatever is not a Japanese letter passes through as it is, in order.
    QString others;
    for (qsizetype j = 0; j < spoken.text.size(); ++j) {
        if (spoken.text[j] == QChar(0) || spoken.text[j].isSurrogate() || spoken.text[j] == u'[' ||
            spoken.text[j] == u' ') {
            QCOMPARE(spoken.text[j], text[spoken.origin[j]]);
            others += spoken.text[j];
        }
    }
    QString expected;
    for (const QChar c : text) {
        if (c == QChar(0) || c.isSurrogate() || c == u'[' || c == u' ') {
            expected += c;
        }
    }
    QCOMPARE(others, expected);
}

void TestTtsJapaneseReading::noKanjiLeftInProse() {
    const SpokenText spoken = japaneseReading(kProse);
    QVERIFY2(!hasKanji(spoken.text), qPrintable(spoken.text));
    QVERIFY2(spoken.text.contains(QStringLiteral("あさからあめがふっていたので、わたしはえきのちかくの")),
             qPrintable(spoken.text));
}

void TestTtsJapaneseReading::textWithoutKanjiIsUnchanged_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("kana and punctuation") << QStringLiteral("こんにちは、カタカナです！ABC 123。");
    QTest::newRow("English") << QStringLiteral("The weather is fine [today].");
    QTest::newRow("NUL and a lone surrogate") << QStringLiteral("あ") + QChar(0) + QChar(0xDFFF) + u'x';
}

void TestTtsJapaneseReading::textWithoutKanjiIsUnchanged() {
    QFETCH(QString, text);
    QVERIFY(isIdentity(japaneseReading(text), text));
}

void TestTtsJapaneseReading::longTextIsReadPieceByPiece() {
    // 100,000 characters of prose read as the prose's reading, repeated: no piece lost, doubled or misread.
    const SpokenText once = japaneseReading(kProse);
    const qsizetype repeats = 100'000 / kProse.size() + 1;
    const QString prose = kProse.repeated(repeats);
    const SpokenText spoken = japaneseReading(prose);
    QVERIFY2(originFault(spoken, prose).isEmpty(), qPrintable(originFault(spoken, prose)));
    QCOMPARE(spoken.text, once.text.repeated(repeats));
    QCOMPARE(spoken.origin[spoken.origin.size() - once.origin.size()], int(prose.size() - kProse.size()));

    // Kanji without a single stop: cut into pieces, every piece still read.
    const QString kanji = QStringLiteral("天気").repeated(50'000);
    const SpokenText read = japaneseReading(kanji);
    QVERIFY2(originFault(read, kanji).isEmpty(), qPrintable(originFault(read, kanji)));
    QVERIFY(!hasKanji(read.text));
    QVERIFY(read.text.size() >= kanji.size());
    QCOMPARE(read.origin.back(), int(kanji.size() - 1));
}

void TestTtsJapaneseReading::threadsReadAtOnce() {
    // KAKASI keeps one state for the process: readings made on two threads at once (one of them setting
    // KAKASI up) must be the ones made on one.
    const QString other = QStringLiteral("東京都の人口は約千四百万人です。日本語を勉強しています。");
    std::array<QList<QString>, 2> readings;
    {
        std::array<std::jthread, 2> threads;
        for (std::size_t t = 0; t < threads.size(); ++t) {
            threads[t] = std::jthread([&readings, &other, t] {
                for (int i = 0; i < 100; ++i) {
                    readings[t].append(japaneseReading(t == 0 ? kProse : other).text);
                }
            });
        }
    }
    for (std::size_t t = 0; t < readings.size(); ++t) {
        const QString expected = japaneseReading(t == 0 ? kProse : other).text;
        QVERIFY(!hasKanji(expected));
        QCOMPARE(readings[t].size(), 100);
        for (const QString& reading : readings[t]) {
            QCOMPARE(reading, expected);
        }
    }
}

void TestTtsJapaneseReading::espeakHearsJapaneseInsteadOfChineseLetters() {
    QVERIFY2(EspeakVoice::available(), "eSpeak NG cannot be loaded (tools/install-deps.sh installs it)");
    const QString text = QStringLiteral("天気が良かったので、公園を散歩しました。");
    const QList<QByteArray> unconverted = japanesePhones(text);
    QVERIFY2(soundsLikeChineseLetter(unconverted), unconverted.join(' ').constData());
    const QList<QByteArray> read = japanesePhones(japaneseReading(text).text);
    QVERIFY(read.size() > 10);
    QVERIFY2(!soundsLikeChineseLetter(read), read.join(' ').constData());
}

/// The same calls with KAKASI's dictionary missing (its test runs with KANWADICTPATH naming no file).
class TestTtsJapaneseReadingWithoutDictionary : public QObject {
    Q_OBJECT
private slots:
    void textComesBackAsWritten() {
        for (const QString& text :
             {kProse, QStringLiteral("天気"), QString(), QStringLiteral("天") + QChar(0)}) {
            QVERIFY2(isIdentity(japaneseReading(text), text), qPrintable(text));
        }
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
#ifdef CW_WITHOUT_KAKASI_DICTIONARY
    TestTtsJapaneseReadingWithoutDictionary test;
#else
    TestTtsJapaneseReading test;
#endif
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tts_japanese_reading.moc"
