// The speech engine with the real sound server output, against a server of the test's own: the three threads
// that meet in the output (the engine's, the synthesis thread that wakes it, and libpulse's main loop that
// reads the samples) run a whole request and a stopped one. Labelled tsan, so ThreadSanitizer watches the
// lock order between the main loop and the sample stream with a real server answering.
#include "EngineRecorder.h"
#include "PrivateSoundServer.h"
#include "TestEngines.h"
#include "tts/SpeechEngine.h"

#include <QTest>

using namespace cw::tts;
using cw::test::PrivateSoundServer;
using cw::tts::test::DeviceEngine;
using cw::tts::test::EngineRecorder;

class TestTtsServerThreads : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void speaksARequestToItsEndThroughTheServer();
    void stopsARequestMidwayAndSpeaksTheNext();

private:
    PrivateSoundServer server_;
};

void TestTtsServerThreads::initTestCase() {
    if (!PrivateSoundServer::available()) {
        QSKIP("needs the pulseaudio server program");
    }
    QVERIFY(server_.start());
    qputenv("PULSE_SERVER", server_.address().toLocal8Bit());
}

void TestTtsServerThreads::speaksARequestToItsEndThroughTheServer() {
    DeviceEngine device;
    EngineRecorder rec(device.engine);
    QTRY_VERIFY_WITH_TIMEOUT(device.engine.outputReady(), 20000);
    const quint64 id = device.engine.speak(QStringLiteral("\\Spd=300\\Heard through the server."));
    QVERIFY(rec.waitForFinished(1, 60000));
    QVERIFY(device.engine.statistics().audible);
    QCOMPARE(rec.withoutMouths(id),
             (QStringList{"started \"Heard through the server.\"", "word \"Heard\"", "word \"through\"",
                          "word \"the\"", "word \"server.\"", "finished"}));
}

void TestTtsServerThreads::stopsARequestMidwayAndSpeaksTheNext() {
    DeviceEngine device;
    EngineRecorder rec(device.engine);
    QTRY_VERIFY_WITH_TIMEOUT(device.engine.outputReady(), 20000);
    const quint64 cut = device.engine.speak(QStringLiteral(
        "\\Spd=150\\This long sentence is stopped well before it reaches its very last word."));
    QTRY_VERIFY_WITH_TIMEOUT(rec.of(cut).filter(QStringLiteral("word")).size() >= 2, 30000);
    device.engine.stop();
    QVERIFY(rec.waitForFinished(1, 60000));
    QVERIFY(rec.of(cut).filter(QStringLiteral("word")).size() < 13);
    QCOMPARE(rec.of(cut).back(), QStringLiteral("finished"));

    const quint64 next = device.engine.speak(QStringLiteral("\\Spd=350\\Next one."));
    QVERIFY(rec.waitForFinished(2, 60000));
    QVERIFY(device.engine.statistics().audible);
    QCOMPARE(rec.withoutMouths(next),
             (QStringList{"started \"Next one.\"", "word \"Next\"", "word \"one.\"", "finished"}));
}

QTEST_GUILESS_MAIN(TestTtsServerThreads)
#include "tst_tts_server_threads.moc"
