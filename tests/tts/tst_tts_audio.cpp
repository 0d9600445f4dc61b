// The speech engine with a real sound server (run inside tools/headless.sh): speech is played and reported,
// Stop ends it and the next request plays.
#include "EngineRecorder.h"
#include "TestEngines.h"
#include "platform/audio/PulseSoundDevices.h"
#include "tts/SpeechEngine.h"

#include <QTest>

using namespace cw::tts;
using cw::tts::test::DeviceEngine;
using cw::tts::test::EngineRecorder;

class TestTtsAudio : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void speaksThroughTheDevice();
    void stopEndsPlaybackAndTheNextRequestPlays();
};

void TestTtsAudio::initTestCase() {
    if (qEnvironmentVariableIsEmpty("CW_NULL_SINK")) {
        QSKIP("needs the headless desktop of tools/headless.sh (a PulseAudio null sink)");
    }
    QTRY_VERIFY_WITH_TIMEOUT(cw::audio::countOutputDevices(2000) > 0, 10000);
}

void TestTtsAudio::speaksThroughTheDevice() {
    DeviceEngine device;
    SpeechEngine& engine = device.engine;
    EngineRecorder rec(engine);
    const quint64 id = engine.speak(QStringLiteral("\\Pit=60\\\\Spd=300\\\\Chr=\\Can you hear \\Mrk=9\\me?"));
    QVERIFY(rec.waitForFinished(1));
    QVERIFY(engine.statistics().audible);
    QCOMPARE(rec.withoutMouths(id),
             (QStringList{"started \"Can you hear me?\"", "word \"Can\"", "word \"you\"", "word \"hear\"",
                          "bookmark 9", "word \"me?\"", "finished"}));
}

void TestTtsAudio::stopEndsPlaybackAndTheNextRequestPlays() {
    DeviceEngine device;
    SpeechEngine& engine = device.engine;
    EngineRecorder rec(engine);
    const quint64 first = engine.speak(QStringLiteral("\\Spd=150\\This is a long sentence that will not be "
                                                      "spoken to its end, because it is stopped."));
    QTRY_VERIFY(rec.of(first).filter(QStringLiteral("word")).size() >= 2);
    engine.stop();
    QVERIFY(rec.waitForFinished(1));
    const QStringList heard = rec.withoutMouths(first);
    QVERIFY(heard.filter(QStringLiteral("word")).size() < 16);
    QCOMPARE(heard.back(), QStringLiteral("finished"));
    const quint64 second = engine.speak(QStringLiteral("\\Spd=350\\Back again."));
    QVERIFY(rec.waitForFinished(2));
    QVERIFY(engine.statistics().audible);
    QCOMPARE(rec.withoutMouths(second),
             (QStringList{"started \"Back again.\"", "word \"Back\"", "word \"again.\"", "finished"}));
}

QTEST_GUILESS_MAIN(TestTtsAudio)
#include "tst_tts_audio.moc"
