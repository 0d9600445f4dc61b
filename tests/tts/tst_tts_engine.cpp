// The speech engine on its silent clock (no output device): what it reports, in which order, and that
// every request ends, however it is stopped. The process has no sound server, so the default output is
// missing too.
#include "EngineRecorder.h"
#include "TestEngines.h"
#include "platform/audio/PulseSoundDevices.h"
#include "tts/SpeechEngine.h"

#include <QTest>

using namespace cw::tts;
using cw::tts::test::DeviceEngine;
using cw::tts::test::EngineRecorder;
using cw::tts::test::SilentEngine;

class TestTtsEngine : public QObject {
    Q_OBJECT
private slots:
    void reportsWordsBookmarksAndMouthsInOrder_data();
    void reportsWordsBookmarksAndMouthsInOrder();
    void everyRequestFinishesAfterStop();
    void stopFromAReceiverEndsTheRequestOnce();
    void repeatTagSpeaksThePreviousRequestAgain();
    void emptyRequestStartsAndFinishes();
    void hugeTextStreamsWithBoundedMemory();
    void destroyingWhileSpeakingDoesNotHang();
};

void TestTtsEngine::reportsWordsBookmarksAndMouthsInOrder_data() {
    QTest::addColumn<bool>("device");
    QTest::newRow("silent output") << false;
    QTest::newRow("device output, but there is no device") << true;
}

void TestTtsEngine::reportsWordsBookmarksAndMouthsInOrder() {
    QFETCH(bool, device);
    if (device && cw::audio::countOutputDevices(2000) > 0) {
        QSKIP("this machine has an audio output; the no-device path needs none");
    }
    std::unique_ptr<SilentEngine> silent;
    std::unique_ptr<DeviceEngine> withDevice;
    if (device) {
        withDevice = std::make_unique<DeviceEngine>();
    } else {
        silent = std::make_unique<SilentEngine>();
    }
    SpeechEngine& engine = device ? withDevice->engine : silent->engine;
    EngineRecorder rec(engine);
    const quint64 id = engine.speak(QStringLiteral("\\Pit=60\\\\Spd=350\\\\Chr=\\One two \\Mrk=4\\three."));
    QVERIFY(engine.isSpeaking());
    QVERIFY(rec.waitForFinished(1));
    QVERIFY(!engine.isSpeaking());
    QCOMPARE(rec.withoutMouths(id), (QStringList{"started \"One two three.\"", "word \"One\"", "word \"two\"",
                                                 "bookmark 4", "word \"three.\"", "finished"}));
    const QStringList all = rec.of(id);
    QVERIFY(all.filter(QStringLiteral("mouth Wide")).size() >= 3);
    QCOMPARE(all.at(all.size() - 2), QStringLiteral("mouth Closed")); // the mouth shuts before the end
    QVERIFY(!engine.statistics().audible);
}

void TestTtsEngine::everyRequestFinishesAfterStop() {
    SilentEngine silent;
    SpeechEngine& engine = silent.engine;
    EngineRecorder rec(engine);
    // Stopped before anything was heard.
    const quint64 first = engine.speak(QStringLiteral("Never heard at all."));
    engine.stop();
    QVERIFY(!engine.isSpeaking());
    QVERIFY(rec.waitForFinished(1));
    QCOMPARE(rec.of(first), (QStringList{"started \"Never heard at all.\"", "finished"}));

    // Stopped in the middle: nothing of it is reported after the stop.
    const quint64 second =
        engine.speak(QStringLiteral("\\Spd=200\\Alpha beta gamma delta epsilon zeta eta theta."));
    QTRY_VERIFY(rec.of(second).filter(QStringLiteral("word")).size() >= 2);
    engine.stop();
    const int heard = int(rec.of(second).size());
    QVERIFY(rec.waitForFinished(2));

    // The next request starts clean; by its end anything late of the stopped one would have come.
    const quint64 third = engine.speak(QStringLiteral("\\Spd=350\\Next one."));
    QVERIFY(third != second);
    QVERIFY(rec.waitForFinished(3));
    QCOMPARE(rec.withoutMouths(third),
             (QStringList{"started \"Next one.\"", "word \"Next\"", "word \"one.\"", "finished"}));
    QCOMPARE(rec.of(second).size(), heard + 1);
    QCOMPARE(rec.of(second).back(), QStringLiteral("finished"));
}

void TestTtsEngine::stopFromAReceiverEndsTheRequestOnce() {
    SilentEngine silent;
    SpeechEngine& engine = silent.engine;
    EngineRecorder rec(engine);
    const auto stopAtFirstWord =
        QObject::connect(&engine, &SpeechEngine::word, &engine, [&engine] { engine.stop(); });
    const quint64 id = engine.speak(QStringLiteral("\\Spd=350\\One two three."));
    QVERIFY(rec.waitForFinished(1));
    // A request after it ends too; by then anything late of the first would have come.
    QObject::disconnect(stopAtFirstWord);
    engine.speak(QStringLiteral("\\Spd=350\\Four."));
    QVERIFY(rec.waitForFinished(2));
    QCOMPARE(rec.withoutMouths(id), (QStringList{"started \"One two three.\"", "word \"One\"", "finished"}));
    QCOMPARE(rec.finishedCount(), 2);
}

void TestTtsEngine::repeatTagSpeaksThePreviousRequestAgain() {
    SilentEngine silent;
    SpeechEngine& engine = silent.engine;
    EngineRecorder rec(engine);
    const quint64 first = engine.speak(QStringLiteral("\\Spd=350\\Say it again."));
    QVERIFY(rec.waitForFinished(1));
    const quint64 again = engine.speak(QStringLiteral("\\Lst\\"));
    QVERIFY(rec.waitForFinished(2));
    QCOMPARE(rec.of(again), rec.of(first));
}

void TestTtsEngine::emptyRequestStartsAndFinishes() {
    SilentEngine silent;
    SpeechEngine& engine = silent.engine;
    EngineRecorder rec(engine);
    const quint64 a = engine.speak(QStringLiteral("\\Pit=60\\\\Spd=100\\\\Chr=\\"));
    QVERIFY(rec.waitForFinished(1));
    QCOMPARE(rec.of(a), (QStringList{"started \"\"", "finished"}));
    const quint64 b = engine.speak(QStringLiteral("\\Lst\\")); // nothing to repeat but the empty request
    QVERIFY(rec.waitForFinished(2));
    QCOMPARE(rec.of(b), (QStringList{"started \"\"", "finished"}));
}

void TestTtsEngine::hugeTextStreamsWithBoundedMemory() {
    SilentEngine silent;
    SpeechEngine& engine = silent.engine;
    EngineRecorder rec(engine);
    const QString first = QStringLiteral("\\Spd=350\\This sentence is spoken first. ");
    const quint64 small = engine.speak(first);
    QVERIFY(rec.waitForFinished(1));
    const SpeechStatistics smallStats = engine.statistics();

    QString huge = first;
    while (huge.size() < 1024 * 1024) {
        huge += QStringLiteral("Then comes a great deal more, sentence after sentence. ");
    }
    const quint64 big = engine.speak(huge);
    QTRY_VERIFY(rec.of(big).filter(QStringLiteral("word")).size() >= 8);
    const SpeechStatistics bigStats = engine.statistics();
    QCOMPARE(bigStats.charactersBeforeFirstAudio, smallStats.charactersBeforeFirstAudio);
    // A few seconds of audio at most wait to be heard, not the whole text (about two hours of speech).
    QVERIFY(bigStats.peakBufferedSamples > 0);
    QVERIFY2(bigStats.peakBufferedSamples <= 10 * bigStats.sampleRate,
             qPrintable(QString::number(bigStats.peakBufferedSamples)));
    engine.stop();
    QVERIFY(rec.waitForFinished(2));
    Q_UNUSED(small);
}

void TestTtsEngine::destroyingWhileSpeakingDoesNotHang() {
    QString text;
    while (text.size() < 100000) {
        text += QStringLiteral("Words and more words. ");
    }
    // Destroyed at once, once speech has started, and in the middle of the words.
    for (int wordsHeard = -1; wordsHeard <= 2; ++wordsHeard) {
        SilentEngine silent;
        auto engine = std::make_unique<SpeechEngine>(silent.clock, silent.output);
        EngineRecorder rec(*engine);
        const quint64 id = engine->speak(text);
        if (wordsHeard >= 0) {
            QTRY_VERIFY(rec.of(id).filter(QStringLiteral("word")).size() >= wordsHeard &&
                        !rec.of(id).isEmpty());
        }
        engine.reset(); // must neither hang on the synthesis thread nor crash
    }
}

QTEST_GUILESS_MAIN(TestTtsEngine)
#include "tst_tts_engine.moc"
