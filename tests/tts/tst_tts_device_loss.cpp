// The speech engine follows its sound server: when the server goes away the request goes on silently at the
// pace of speech with every word, and when a server is there again (restarted, or started only after the
// engine) the next request is heard. The default output changing while speaking takes the speech with it.
// Each test runs a PulseAudio server of its own, on a private socket, so no other test loses its sound.
#include "EngineRecorder.h"
#include "PrivateSoundServer.h"
#include "TestEngines.h"
#include "platform/audio/PulseSoundDevices.h"
#include "tts/SpeechEngine.h"

#include <QTest>

using namespace cw::tts;
using cw::test::MonitorRecording;
using cw::test::PrivateSoundServer;
using cw::tts::test::DeviceEngine;
using cw::tts::test::EngineRecorder;

namespace {
const QString kLong =
    QStringLiteral("\\Spd=300\\One two three four five six seven eight nine ten eleven twelve "
                   "thirteen fourteen fifteen.");
const QString kShort = QStringLiteral("\\Spd=350\\Hello again.");
} // namespace

class TestTtsDeviceLoss : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void soundComesBackWithTheServer();
    void aServerStartedLaterIsUsed();
    void speechFollowsTheDefaultOutput();
    void aServerThatDoesNotAnswerHoldsNothingUp();
    void theSoundCheckCountsTheServersOutputs();

private:
    /// Speaks the short request where nothing can be heard; it must still end with every word.
    void speakSilently(SpeechEngine& engine, EngineRecorder& rec);
    /// Speaks a short request and tells whether the sink heard it.
    bool heard(SpeechEngine& engine, EngineRecorder& rec, const QString& sink);

    PrivateSoundServer server_;
};

void TestTtsDeviceLoss::initTestCase() {
    if (!PrivateSoundServer::available()) {
        QSKIP("needs the pulseaudio server program");
    }
    // Every engine of this process looks for the server here, also after losing it.
    qputenv("PULSE_SERVER", server_.address().toLocal8Bit());
}

void TestTtsDeviceLoss::cleanup() {
    server_.kill();
}

void TestTtsDeviceLoss::speakSilently(SpeechEngine& engine, EngineRecorder& rec) {
    const quint64 id = engine.speak(kShort);
    QVERIFY(rec.waitForFinished(rec.finishedCount() + 1));
    QCOMPARE(rec.withoutMouths(id),
             (QStringList{"started \"Hello again.\"", "word \"Hello\"", "word \"again.\"", "finished"}));
    QVERIFY(!engine.statistics().audible);
}

bool TestTtsDeviceLoss::heard(SpeechEngine& engine, EngineRecorder& rec, const QString& sink) {
    MonitorRecording monitor;
    if (!monitor.start(server_.address(), sink)) {
        return false;
    }
    const int before = rec.finishedCount();
    engine.speak(kShort);
    if (!rec.waitForFinished(before + 1)) {
        return false;
    }
    QTest::qWait(100); // the recorder's own latency
    return engine.statistics().audible && monitor.loudSamples() > 0;
}

void TestTtsDeviceLoss::soundComesBackWithTheServer() {
    QVERIFY(server_.start());
    DeviceEngine device;
    SpeechEngine& engine = device.engine;
    EngineRecorder rec(engine);
    QTRY_VERIFY(engine.outputReady());
    QVERIFY(heard(engine, rec, QStringLiteral("cw_private_sink")));

    const quint64 cut = engine.speak(kLong);
    QTRY_VERIFY(rec.of(cut).filter(QStringLiteral("word")).size() >= 2);
    server_.kill();
    const qsizetype atLoss = rec.of(cut).filter(QStringLiteral("word")).size();
    // Paced: the words go on arriving one after another, not all at once.
    QTRY_VERIFY([&] {
        const qsizetype words = rec.of(cut).filter(QStringLiteral("word")).size();
        return words > atLoss && words < 15 && engine.isSpeaking();
    }());
    QVERIFY(rec.waitForFinished(2));
    QCOMPARE(rec.of(cut).filter(QStringLiteral("word")).size(), 15); // every word still reached the balloon
    QCOMPARE(rec.of(cut).back(), QStringLiteral("finished"));
    QVERIFY(!engine.outputReady());

    QVERIFY(server_.start());
    QTRY_VERIFY(engine.outputReady());
    QVERIFY(heard(engine, rec, QStringLiteral("cw_private_sink"))); // the very next request

    // Lost again between two requests, while the output waits for the next one.
    server_.kill();
    QTRY_VERIFY(!engine.outputReady());
    QVERIFY(server_.start());
    QTRY_VERIFY(engine.outputReady());
    QVERIFY(heard(engine, rec, QStringLiteral("cw_private_sink")));
}

void TestTtsDeviceLoss::aServerStartedLaterIsUsed() {
    DeviceEngine device;
    SpeechEngine& engine = device.engine;
    EngineRecorder rec(engine);
    speakSilently(engine, rec);
    if (QTest::currentTestFailed()) {
        return;
    }

    QVERIFY(server_.start());
    QTRY_VERIFY(engine.outputReady());
    QVERIFY(heard(engine, rec, QStringLiteral("cw_private_sink")));
}

void TestTtsDeviceLoss::speechFollowsTheDefaultOutput() {
    QVERIFY(server_.start({QStringLiteral("cw_first"), QStringLiteral("cw_second")}));
    QVERIFY(server_.pactl({QStringLiteral("set-default-sink"), QStringLiteral("cw_first")}));
    DeviceEngine device;
    SpeechEngine& engine = device.engine;
    EngineRecorder rec(engine);
    QTRY_VERIFY(engine.outputReady());
    MonitorRecording second;
    QVERIFY(second.start(server_.address(), QStringLiteral("cw_second")));
    const quint64 id = engine.speak(kLong);
    QTRY_VERIFY(rec.of(id).filter(QStringLiteral("word")).size() >= 2);
    QCOMPARE(second.loudSamples(), 0);
    QVERIFY(server_.pactl({QStringLiteral("set-default-sink"), QStringLiteral("cw_second")}));
    QTRY_VERIFY(second.loudSamples() > 0);
    QVERIFY(rec.waitForFinished(1));
    QCOMPARE(rec.of(id).filter(QStringLiteral("word")).size(), 15);
}

void TestTtsDeviceLoss::aServerThatDoesNotAnswerHoldsNothingUp() {
    QVERIFY(server_.start());
    server_.freeze(true);
    auto thaw = qScopeGuard([this] { server_.freeze(false); });
    DeviceEngine device; // its connection waits for an answer that does not come
    SpeechEngine& engine = device.engine;
    EngineRecorder rec(engine);
    speakSilently(engine, rec);
}

void TestTtsDeviceLoss::theSoundCheckCountsTheServersOutputs() {
    // Start-up's check begins when the object is made and is collected later; a second count asks again.
    cw::PulseSoundDevices none;
    QCOMPARE(none.outputCount(), 0);

    QVERIFY(server_.start({QStringLiteral("cw_first"), QStringLiteral("cw_second")}));
    cw::PulseSoundDevices two;
    QCOMPARE(two.outputCount(), 2);
    QVERIFY(server_.pactl({QStringLiteral("unload-module"), QStringLiteral("module-null-sink")}));
    QCOMPARE(two.outputCount(), 0);

    QVERIFY(server_.start());
    server_.freeze(true);
    auto thaw = qScopeGuard([this] { server_.freeze(false); });
    cw::PulseSoundDevices silent; // a server that never answers counts as none, after a bounded wait
    QCOMPARE(silent.outputCount(), 0);
}

QTEST_GUILESS_MAIN(TestTtsDeviceLoss)
#include "tst_tts_device_loss.moc"
