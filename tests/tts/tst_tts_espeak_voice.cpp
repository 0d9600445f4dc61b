// The eSpeak NG voice, with the real eSpeak NG: pitch and speed are heard as asked in several languages,
// words point at their own text in every script (right to left, no spaces), phones cover the sentence,
// monotone and whisper do what they say, reading stops cleanly anywhere, and no text harms it.
#include "AudioAnalysis.h"
#include "EspeakTexts.h"
#include "tts/EspeakVoice.h"
#include "tts/RequestSynthesizer.h"
#include "tts/SpeechTags.h"

#include <QRegularExpression>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <memory>

using namespace cw::tts;

namespace {

VoiceSettings settingsAt(int pitchHz, int wordsPerMinute = 175,
                         VoiceCharacter character = VoiceCharacter::Normal) {
    VoiceSettings settings;
    settings.pitchHz = pitchHz;
    settings.wordsPerMinute = wordsPerMinute;
    settings.character = character;
    return settings;
}

QString proseOf(const QString& language) {
    for (const test::Prose& prose : test::kProse) {
        if (language == QLatin1String(prose.language)) {
            return QString::fromUtf8(prose.text);
        }
    }
    return {};
}

int wordCount(const QString& text) {
    return int(text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts).size());
}

/// The spread of pitch across a sentence: the middle half of the estimates of its 100 ms windows.
double pitchSpread(const std::vector<qint16>& samples, int rate) {
    std::vector<double> track;
    const std::size_t window = std::size_t(rate / 10);
    for (std::size_t at = 0; at + window < samples.size(); at += window) {
        const std::vector<qint16> part(samples.begin() + long(at), samples.begin() + long(at + window));
        if (const double hz = test::medianPitchHz(part, rate); hz > 0) {
            track.push_back(hz);
        }
    }
    std::sort(track.begin(), track.end());
    return track.size() < 4 ? 0.0 : track[track.size() * 3 / 4] - track[track.size() / 4];
}

/// Whether a character belongs to a word (and must be shown in one) rather than between words.
bool isWordCharacter(QChar c) {
    return c.isLetterOrNumber() || c.isMark();
}

} // namespace

class TestTtsEspeakVoice : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void offersTheLanguagesOfItsData();
    void pitchIsHeardAsAsked_data();
    void pitchIsHeardAsAsked();
    void emphasisRaisesThePitch();
    void speedIsHeardAsAsked_data();
    void speedIsHeardAsAsked();
    void wordsPointAtTheirOwnText_data();
    void wordsPointAtTheirOwnText();
    void phonesCoverTheSentenceInOrder_data();
    void phonesCoverTheSentenceInOrder();
    void monotoneIsFlat();
    void whisperHasNoVoice();
    void stoppingMidSentenceIsClean();
    void twoThreadsSpeakingAtOnceGetWhatEachAsked();
    void oddTextIsSpokenWithoutHarm_data();
    void oddTextIsSpokenWithoutHarm();
    void anUnknownLanguageSaysNothing();
};

void TestTtsEspeakVoice::initTestCase() {
    QVERIFY2(EspeakVoice::available(), "eSpeak NG cannot be loaded (tools/install-deps.sh installs it)");
}

void TestTtsEspeakVoice::offersTheLanguagesOfItsData() {
    const QStringList languages = EspeakVoice::languages();
    for (const char* language : {"fr", "de", "ru", "ja", "cmn", "ar", "he", "el", "hi"}) {
        QVERIFY2(languages.contains(QLatin1String(language)), language);
    }
    QVERIFY(!languages.contains(QStringLiteral("roa/fr")));
    const EspeakVoice french(QStringLiteral("fr"));
    QCOMPARE(french.name(), QStringLiteral("espeak-ng/fr"));
    QVERIFY(french.load());
}

void TestTtsEspeakVoice::pitchIsHeardAsAsked_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("hz");
    for (const char* language : {"fr", "de", "ru"}) {
        for (const int hz : {50, 120, 200, 300, 400}) {
            QTest::addRow("%s %d Hz", language, hz) << QString::fromLatin1(language) << hz;
        }
    }
}

void TestTtsEspeakVoice::pitchIsHeardAsAsked() {
    QFETCH(QString, language);
    QFETCH(int, hz);
    const EspeakVoice voice(language);
    const Utterance heard = voice.synthesize(proseOf(language).section(u'.', 0, 0) + u'.', settingsAt(hz));
    const double median = test::medianPitchHz(heard.samples, voice.sampleRate());
    QVERIFY2(std::abs(median - hz) <= 0.1 * hz, qPrintable(QStringLiteral("median pitch %1 Hz").arg(median)));
}

void TestTtsEspeakVoice::emphasisRaisesThePitch() {
    const EspeakVoice voice(QStringLiteral("de"));
    const QString word = QStringLiteral("Wunderbar");
    VoiceSettings stressed = settingsAt(120);
    stressed.emphasis = true;
    const Utterance plain = voice.synthesize(word, settingsAt(120));
    const Utterance emphasised = voice.synthesize(word, stressed);
    const double ratio = test::medianPitchHz(emphasised.samples, voice.sampleRate()) /
                         test::medianPitchHz(plain.samples, voice.sampleRate());
    QVERIFY2(std::abs(ratio - 1.25) < 0.1, qPrintable(QString::number(ratio)));
    QVERIFY(emphasised.samples.size() > plain.samples.size()); // slower too
}

void TestTtsEspeakVoice::speedIsHeardAsAsked_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("wpm");
    for (const char* language : {"fr", "de", "ru"}) {
        for (const int wpm : {100, 250}) {
            QTest::addRow("%s %d wpm", language, wpm) << QString::fromLatin1(language) << wpm;
        }
    }
}

void TestTtsEspeakVoice::speedIsHeardAsAsked() {
    QFETCH(QString, language);
    QFETCH(int, wpm);
    const EspeakVoice voice(language);
    // Spoken as the engine speaks a paragraph: a sentence at a time.
    const QString text = proseOf(language);
    const SynthChunk audio = synthesizeAll(voice, parseSpeechTags(text, settingsAt(120, wpm)));
    const double minutes = test::spokenSeconds(audio.samples, voice.sampleRate()) / 60;
    const double got = wordCount(text) / minutes;
    QVERIFY2(std::abs(got - wpm) <= 0.1 * wpm,
             qPrintable(QStringLiteral("spoke %1 words a minute").arg(got)));
}

void TestTtsEspeakVoice::wordsPointAtTheirOwnText_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("spaced"); // whether words are written apart
    QTest::newRow("Hebrew, right to left")
        << QStringLiteral("he") << QStringLiteral("שלום עולם, מה שלומך היום?") << true;
    QTest::newRow("Arabic, right to left")
        << QStringLiteral("ar") << QStringLiteral("مرحبا بكم في بيتنا الجديد.") << true;
    QTest::newRow("Chinese, no spaces")
        << QStringLiteral("cmn") << QStringLiteral("我们明天去北京看朋友。") << false;
    QTest::newRow("Japanese, no spaces")
        << QStringLiteral("ja") << QStringLiteral("こんにちは、げんきですか。") << false;
    QTest::newRow("French, elision") << QStringLiteral("fr") << QStringLiteral("Où l'on mange, à Paris ?")
                                     << true;
    QTest::newRow("Greek, outside the basic plane")
        << QStringLiteral("el") << QStringLiteral("Καλημέρα 𝄞 σε όλους τους φίλους.") << true;
}

void TestTtsEspeakVoice::wordsPointAtTheirOwnText() {
    QFETCH(QString, language);
    QFETCH(QString, text);
    QFETCH(bool, spaced);
    const EspeakVoice voice(language);
    const Utterance heard = voice.synthesize(text, settingsAt(120));
    QVERIFY(!heard.tokens.isEmpty());
    std::vector<bool> covered(std::size_t(text.size()), false);
    int end = 0;
    qint64 start = 0;
    for (const Utterance::Token& token : heard.tokens) {
        // In text order and in time order, each where its name is written.
        QVERIFY2(token.textStart >= end, qPrintable(token.name));
        QVERIFY(token.textLength > 0 && token.textStart + token.textLength <= text.size());
        QCOMPARE(token.name, text.mid(token.textStart, token.textLength));
        QVERIFY(token.start >= start && token.start < qint64(heard.samples.size()));
        QVERIFY2(isWordCharacter(text[token.textStart]) &&
                     isWordCharacter(text[token.textStart + token.textLength - 1]),
                 qPrintable(token.name));
        std::fill_n(covered.begin() + token.textStart, token.textLength, true);
        end = token.textStart + token.textLength;
        start = token.start;
    }
    QString shown;
    for (const Utterance::Token& token : heard.tokens) {
        shown += QStringLiteral(" %1+%2 \"%3\"").arg(token.textStart).arg(token.textLength).arg(token.name);
    }
    if (spaced) {
        // Every written word is shown whole, by one token.
        for (const QString& word :
             text.split(QRegularExpression(QStringLiteral("[\\s,.?]+")), Qt::SkipEmptyParts)) {
            const qsizetype at = text.indexOf(word);
            const bool whole = std::any_of(heard.tokens.begin(), heard.tokens.end(), [&](const auto& token) {
                return token.textStart == at && token.textLength == word.size();
            });
            QVERIFY2(whole || word == QStringLiteral("𝄞"),
                     qPrintable(word + QStringLiteral(" not in") + shown));
        }
    } else {
        // Every letter is in some token.
        for (qsizetype i = 0; i < text.size(); ++i) {
            QVERIFY2(!isWordCharacter(text[i]) || covered[std::size_t(i)], qPrintable(text.mid(i, 1)));
        }
    }
}

void TestTtsEspeakVoice::phonesCoverTheSentenceInOrder_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("text");
    QTest::newRow("French") << QStringLiteral("fr") << proseOf(QStringLiteral("fr")).section(u'.', 0, 0);
    QTest::newRow("Russian") << QStringLiteral("ru") << proseOf(QStringLiteral("ru")).section(u'.', 0, 0);
    QTest::newRow("Hindi") << QStringLiteral("hi") << QStringLiteral("नमस्ते, आप कैसे हैं?");
}

void TestTtsEspeakVoice::phonesCoverTheSentenceInOrder() {
    QFETCH(QString, language);
    QFETCH(QString, text);
    const EspeakVoice voice(language);
    const std::unique_ptr<SentenceSynthesis> sentence = voice.begin(text, settingsAt(120));
    QVERIFY(sentence);
    const QList<ChunkTiming::Phone>& phones = sentence->phones();
    QVERIFY(phones.size() > 10);
    // Framed by silence, which the engine trims where sentences join.
    QCOMPARE(phones.front().name, QByteArray("pau"));
    QVERIFY(!phones.front().ipa);
    QCOMPARE(phones.back().name, QByteArray("pau"));
    QCOMPARE(phones.back().end, sentence->length());
    qint64 end = 0;
    int ipa = 0;
    for (const ChunkTiming::Phone& phone : phones) {
        QVERIFY2(phone.end >= end, phone.name.constData());
        QVERIFY(!phone.name.isEmpty());
        QVERIFY(phone.ipa || phone.name == "pau");
        end = phone.end;
        ipa += phone.ipa ? 1 : 0;
    }
    QVERIFY(ipa > 10);
    // The sound is where the phones say: the phones before the first IPA one are silent, the last IPA one
    // ends before the closing silence.
    const auto firstSpoken = std::find_if(phones.begin(), phones.end(), [](const auto& p) { return p.ipa; });
    const std::vector<qint16> all = sentence->read(sentence->length());
    const qint64 silentUntil = firstSpoken == phones.begin() ? 0 : std::prev(firstSpoken)->end;
    QVERIFY(std::all_of(all.begin(), all.begin() + silentUntil, [](qint16 s) { return std::abs(s) < 500; }));
}

void TestTtsEspeakVoice::monotoneIsFlat() {
    const EspeakVoice voice(QStringLiteral("fr"));
    const QString question =
        QStringLiteral("Pourquoi voudrait-on encore escalader cette montagne demain matin ?");
    const double normal =
        pitchSpread(voice.synthesize(question, settingsAt(150)).samples, voice.sampleRate());
    const double flat =
        pitchSpread(voice.synthesize(question, settingsAt(150, 175, VoiceCharacter::Monotone)).samples,
                    voice.sampleRate());
    QVERIFY2(flat < normal / 2,
             qPrintable(QStringLiteral("spread %1 Hz, monotone %2 Hz").arg(normal).arg(flat)));
}

void TestTtsEspeakVoice::whisperHasNoVoice() {
    const EspeakVoice voice(QStringLiteral("de"));
    const QString text = proseOf(QStringLiteral("de")).section(u'.', 0, 0);
    const Utterance normal = voice.synthesize(text, settingsAt(120));
    const Utterance whispered = voice.synthesize(text, settingsAt(120, 175, VoiceCharacter::Whisper));
    const std::size_t voiced = test::pitchTrack(normal.samples, voice.sampleRate()).size();
    QVERIFY(voiced > 50);
    QVERIFY2(test::pitchTrack(whispered.samples, voice.sampleRate()).size() * 10 < voiced,
             qPrintable(QString::number(test::pitchTrack(whispered.samples, voice.sampleRate()).size())));
    // The same words at the same times: the balloon follows a whisper as it follows speech. (eSpeak NG's
    // generator carries its state from one sentence to the next, so the same sentence twice may differ by a
    // few samples a word.)
    const auto within = [&](qint64 a, qint64 b) { return std::abs(a - b) <= voice.sampleRate() / 20; };
    QVERIFY(within(qint64(whispered.samples.size()), qint64(normal.samples.size())));
    QCOMPARE(whispered.tokens.size(), normal.tokens.size());
    for (qsizetype i = 0; i < normal.tokens.size(); ++i) {
        QVERIFY(within(whispered.tokens[i].start, normal.tokens[i].start));
        QCOMPARE(whispered.tokens[i].textStart, normal.tokens[i].textStart);
    }
}

void TestTtsEspeakVoice::stoppingMidSentenceIsClean() {
    const EspeakVoice voice(QStringLiteral("ru"));
    const QString text = proseOf(QStringLiteral("ru")).section(u'.', 0, 0);
    const std::unique_ptr<SentenceSynthesis> sentence = voice.begin(text, settingsAt(120));
    QVERIFY(sentence);
    const qint64 length = sentence->length();
    QCOMPARE(sentence->ready(), length); // made whole: reading costs nothing
    QCOMPARE(qint64(sentence->read(1000).size()), qint64(1000));
    // Stop in the middle: what is left is skipped, and the sentence reads as ended.
    sentence->skipTo(length / 2);
    QCOMPARE(qint64(sentence->read(500).size()), qint64(500));
    QCOMPARE(sentence->position(), length / 2 + 500);
    sentence->skipTo(length + 1000);
    QVERIFY(sentence->atEnd());
    QCOMPARE(sentence->position(), length);
    QVERIFY(sentence->read(100).empty());
    // The voice is ready for the next sentence at once, and makes it as before (give or take eSpeak NG's
    // few samples of drift).
    const Utterance again = voice.synthesize(text, settingsAt(120));
    QVERIFY2(std::abs(qint64(again.samples.size()) - length) < length / 100,
             qPrintable(QStringLiteral("%1 then %2 samples").arg(length).arg(again.samples.size())));
}

void TestTtsEspeakVoice::twoThreadsSpeakingAtOnceGetWhatEachAsked() {
    // eSpeak NG keeps one voice for the process: two voices used at once from two threads must not mix their
    // language, pitch or speed.
    const EspeakVoice french(QStringLiteral("fr"));
    const EspeakVoice german(QStringLiteral("de"));
    const QString frenchText = proseOf(QStringLiteral("fr")).section(u'.', 0, 0);
    const QString germanText = proseOf(QStringLiteral("de")).section(u'.', 0, 0);
    const Utterance frenchAlone = french.synthesize(frenchText, settingsAt(90, 100));
    const Utterance germanAlone = german.synthesize(germanText, settingsAt(250, 250));
    std::vector<Utterance> frenchTogether(4);
    std::unique_ptr<QThread> thread(QThread::create([&] {
        for (Utterance& u : frenchTogether) {
            u = french.synthesize(frenchText, settingsAt(90, 100));
        }
    }));
    thread->start();
    std::vector<Utterance> germanTogether(4);
    for (Utterance& u : germanTogether) {
        u = german.synthesize(germanText, settingsAt(250, 250));
    }
    QVERIFY(thread->wait());
    const auto sameAs = [&](const Utterance& together, const Utterance& alone, double hz) {
        const qint64 length = qint64(alone.samples.size());
        const double heard = test::medianPitchHz(together.samples, french.sampleRate());
        return std::abs(qint64(together.samples.size()) - length) < length / 50 &&
               together.tokens.size() == alone.tokens.size() && std::abs(heard - hz) < 0.1 * hz;
    };
    for (const Utterance& u : frenchTogether) {
        QVERIFY(sameAs(u, frenchAlone, 90));
    }
    for (const Utterance& u : germanTogether) {
        QVERIFY(sameAs(u, germanAlone, 250));
    }
}

void TestTtsEspeakVoice::oddTextIsSpokenWithoutHarm_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("only punctuation") << QStringLiteral("?!... ,;: -- «»");
    QTest::newRow("10,000 of one letter") << QString(10000, u'a');
    QTest::newRow("unpaired surrogates") << QStringLiteral("Bonjour ") + QChar(0xd800) +
                                                QStringLiteral(" le ") + QChar(0xdc00) +
                                                QStringLiteral("monde");
    // eSpeak NG 1.51 reads freed memory on a code point no script has, such as U+0BAB in the Tamil block.
    QTest::newRow("unassigned code points")
        << QStringLiteral("Bonjour ") + QChar(0x0bab) + QStringLiteral(" le ") + QChar(0x0378) +
               QStringLiteral(" monde ") + QString::fromUcs4(U"\U0002FFFF\U000E0080") +
               QStringLiteral(" fin");
    QTest::newRow("NUL inside") << QStringLiteral("Bonjour") + QChar(0) + QStringLiteral(" le monde");
    QTest::newRow("markup and embedded commands") << QStringLiteral("<speak>Bonjour</speak> \x01"
                                                                    "50P le monde");
}

void TestTtsEspeakVoice::oddTextIsSpokenWithoutHarm() {
    QFETCH(QString, text);
    const EspeakVoice voice(QStringLiteral("fr"));
    const Utterance heard = voice.synthesize(text, settingsAt(120));
    for (const Utterance::Token& token : heard.tokens) {
        QVERIFY(token.textStart >= 0 && token.textStart + token.textLength <= text.size());
    }
    if (!heard.phones.isEmpty()) {
        QCOMPARE(heard.phones.back().end, qint64(heard.samples.size()));
    }
    // Whatever came before, the voice still speaks.
    QVERIFY(voice.synthesize(QStringLiteral("Bonjour."), settingsAt(120)).samples.size() > 1000);
}

void TestTtsEspeakVoice::anUnknownLanguageSaysNothing() {
    const EspeakVoice voice(QStringLiteral("xx-nowhere"));
    QVERIFY(!voice.load());
    QVERIFY(!voice.begin(QStringLiteral("Hello."), settingsAt(120)));
}

QTEST_GUILESS_MAIN(TestTtsEspeakVoice)
#include "tst_tts_espeak_voice.moc"
