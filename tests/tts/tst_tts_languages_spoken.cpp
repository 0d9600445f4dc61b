// The genie's speech in every language, end to end below the audio output: each paragraph's language found
// and handed to its voice (the trace says which), pitch heard in hertz through the change of voice and rate,
// words reported in reading order in scripts without spaces or written from the right, and a mouth shape for
// every phoneme the voices report.

#include "AudioAnalysis.h"
#include "LanguageSamples.h"
#include "tts/EspeakVoice.h"
#include "tts/Languages.h"
#include "tts/Mouths.h"
#include "tts/RequestSynthesizer.h"
#include "tts/SpeechTags.h"

#include <QLoggingCategory>
#include <QMutex>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

using namespace cw::tts;

namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QStringList traced;
QMutex tracedLock;
QtMessageHandler previousHandler = nullptr;

void captureTrace(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (context.category && qstrcmp(context.category, "chatterwisp.trace") == 0) {
        const QMutexLocker lock(&tracedLock);
        traced << message;
        return;
    }
    previousHandler(type, context, message);
}

/// The language and voice the trace gave each paragraph, as "fr espeak-ng/fr", in order.
QStringList paragraphChoices() {
    static const QRegularExpression line(QStringLiteral("paragraph language (\\S+) \\(.*\\) voice (\\S+)$"));
    const QMutexLocker lock(&tracedLock);
    QStringList out;
    for (const QString& message : traced) {
        if (const auto m = line.match(message); m.hasMatch()) {
            out << m.captured(1) + u' ' + m.captured(2);
        }
    }
    return out;
}

/// Speaks a request the way the engine's synthesis thread does, with English as the desktop's language.
SynthChunk speak(const Voice& voice, const QString& request, int sentences = -1) {
    {
        const QMutexLocker lock(&tracedLock);
        traced.clear();
    }
    RequestSynthesizer synth(voice, parseSpeechTags(request, VoiceSettings{}), paragraphLanguageFinder(),
                             QStringLiteral("en"));
    SynthChunk all;
    while (!synth.atEnd() && sentences != 0) {
        SynthChunk chunk = synth.next();
        sentences -= chunk.events.isEmpty() ? 0 : 1;
        all.samples.insert(all.samples.end(), chunk.samples.begin(), chunk.samples.end());
        all.events << chunk.events;
    }
    return all;
}

QString expectedVoice(const samples::LanguageSample& sample, const Voice& voice) {
    return sample.language == "en" ? voice.name() : QStringLiteral("espeak-ng/") + fromUtf8(sample.voice);
}

} // namespace

class TestTtsLanguagesSpoken : public QObject {
    Q_OBJECT

    std::unique_ptr<Voice> voice_;

private slots:
    void initTestCase() {
        if (!EspeakVoice::available()) {
            QFAIL("eSpeak NG cannot be loaded");
        }
        QLoggingCategory::setFilterRules(QStringLiteral("chatterwisp.trace.debug=true"));
        previousHandler = qInstallMessageHandler(captureTrace);
        voice_ = makeSpeakingVoice({});
    }
    void cleanupTestCase() { qInstallMessageHandler(previousHandler); }

    void eachParagraphGoesToTheVoiceOfItsLanguage_data() {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(samples::kParagraphs.size()); ++i) {
            const auto& s = samples::kParagraphs[std::size_t(i)];
            QTest::newRow(qPrintable(fromUtf8(s.language) + u' ' + fromUtf8(s.script))) << i;
        }
    }
    void eachParagraphGoesToTheVoiceOfItsLanguage() {
        QFETCH(int, index);
        const auto& sample = samples::kParagraphs[std::size_t(index)];
        const SynthChunk first = speak(*voice_, fromUtf8(sample.text), 1);
        QCOMPARE(paragraphChoices(),
                 QStringList{fromUtf8(sample.language) + u' ' + expectedVoice(sample, *voice_)});
        QVERIFY(!first.samples.empty());
        QVERIFY(std::any_of(first.events.begin(), first.events.end(),
                            [](const TimelineEvent& e) { return e.kind == TimelineEvent::Kind::Word; }));
    }

    void aMixedRequestChangesVoiceAtEachParagraph() {
        const QString request = fromUtf8(samples::kMixedRequest) + u'\n' + fromUtf8(samples::kGreeting) +
                                u'\n' + fromUtf8(samples::kNumberLine) + u'\n' + fromUtf8(samples::kUrl);
        speak(*voice_, request);
        // The greeting, the number and the address cannot be told: they keep German.
        QCOMPARE(paragraphChoices(),
                 (QStringList{QStringLiteral("en ") + voice_->name(), QStringLiteral("fr espeak-ng/fr"),
                              QStringLiteral("de espeak-ng/de"), QStringLiteral("? espeak-ng/de"),
                              QStringLiteral("? espeak-ng/de"), QStringLiteral("? espeak-ng/de")}));
    }

    void pitchIsHeardInHertzInEveryLanguage_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("pitch");
        for (const int i : {1, 2, 13}) { // French, German, Russian
            const auto& s = samples::kParagraphs[std::size_t(i)];
            for (const int pitch : {60, 120, 250, 400}) {
                QTest::addRow("%s %d Hz", s.language.data(), pitch) << i << pitch;
            }
        }
    }
    void pitchIsHeardInHertzInEveryLanguage() {
        QFETCH(int, index);
        QFETCH(int, pitch);
        const auto& sample = samples::kParagraphs[std::size_t(index)];
        QVERIFY(sample.language != "en");
        const SynthChunk spoken =
            speak(*voice_, QStringLiteral("\\Pit=%1\\").arg(pitch) + fromUtf8(sample.text), 2);
        const double heard = cw::tts::test::medianPitchHz(spoken.samples, voice_->sampleRate());
        QVERIFY2(std::abs(heard / pitch - 1) <= 0.1, qPrintable(QStringLiteral("heard %1 Hz").arg(heard)));
    }

    void wordsAreShownInReadingOrder_data() {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(samples::kParagraphs.size()); ++i) {
            const auto& s = samples::kParagraphs[std::size_t(i)];
            if (s.language == "he" || s.language == "ar" || s.language == "zh" || s.language == "ja" ||
                s.language == "th") {
                QTest::newRow(s.language.data()) << i;
            }
        }
    }
    void wordsAreShownInReadingOrder() {
        QFETCH(int, index);
        const QString text = fromUtf8(samples::kParagraphs[std::size_t(index)].text);
        const SynthChunk spoken = speak(*voice_, text);
        QList<TimelineEvent> words;
        for (const TimelineEvent& e : spoken.events) {
            if (e.kind == TimelineEvent::Kind::Word) {
                words << e;
            }
        }
        QVERIFY2(words.size() >= 5, qPrintable(QString::number(words.size())));
        int shownTo = 0;
        qint64 heardAt = -1;
        for (const TimelineEvent& word : words) {
            const QString shown = text.mid(word.start, word.length);
            QVERIFY2(word.start >= shownTo, qPrintable(QStringLiteral("\"%1\" at %2 goes back before %3")
                                                           .arg(shown)
                                                           .arg(word.start)
                                                           .arg(shownTo)));
            QVERIFY2(word.length > 0 && !shown.trimmed().isEmpty() && shown.size() < 40, qPrintable(shown));
            QVERIFY(word.sample >= heardAt);
            shownTo = word.start + word.length;
            heardAt = word.sample;
        }
        // The words reach the paragraph's last sentence.
        QVERIFY2(shownTo > text.size() * 3 / 4,
                 qPrintable(QStringLiteral("%1 of %2").arg(shownTo).arg(text.size())));
    }

    void everyPhonemeHasAMouth() {
        QSet<QString> missing;
        for (const auto& sample : samples::kParagraphs) {
            if (sample.language == "en") {
                continue;
            }
            const EspeakVoice voice(fromUtf8(sample.voice));
            const Utterance spoken = voice.synthesize(fromUtf8(sample.text), VoiceSettings{});
            QVERIFY2(!spoken.phones.isEmpty(), sample.language.data());
            for (const auto& phone : spoken.phones) {
                if (phone.ipa && !ipaMouthEntry(phone.name)) {
                    missing << QStringLiteral("%1 (%2)").arg(QString::fromUtf8(phone.name),
                                                             fromUtf8(sample.language));
                }
            }
        }
        QVERIFY2(missing.isEmpty(),
                 qPrintable(QStringLiteral("no mouth for: ") + missing.values().join(u", ")));
    }
};

QTEST_GUILESS_MAIN(TestTtsLanguagesSpoken)
#include "tst_tts_languages_spoken.moc"
