// The speech engine when its sound server goes away mid-speech (killed) and comes back: no crash, no hang,
// the request completes with every word, and speech is heard again. The test runs a PulseAudio server of
// its own, on a private socket, so no other test loses its sound.
#include "EngineRecorder.h"
#include "platform/tts/SpeechEngine.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace cw::tts;
using cw::tts::test::EngineRecorder;

class TestTtsDeviceLoss : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void survivesLosingTheSoundServer();

private:
    bool startServer();
    void killServer();
    /// Speaks short requests until one is played through the device (Qt reconnects a few seconds after
    /// losing the server); false if none is within ten tries.
    bool speakUntilAudible(SpeechEngine& engine, EngineRecorder& rec);

    QTemporaryDir dir_;
    std::unique_ptr<QProcess> server_;
};

bool TestTtsDeviceLoss::startServer() {
    server_ = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", dir_.path());
    env.insert("XDG_RUNTIME_DIR", dir_.path());
    server_->setProcessEnvironment(env);
    server_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server_->start(QStringLiteral("pulseaudio"),
                   {"--daemonize=no", "-n", "--exit-idle-time=-1", "--use-pid-file=no", "--disable-shm=yes",
                    "--load=module-native-protocol-unix auth-anonymous=1 socket=" + dir_.filePath("native"),
                    "--load=module-null-sink sink_name=cw_loss_test", "--load=module-always-sink"});
    if (!server_->waitForStarted(5000)) {
        return false;
    }
    // Ready once its socket exists.
    for (int i = 0; i < 100 && !QFile::exists(dir_.filePath("native")); ++i) {
        QTest::qWait(50);
    }
    return QFile::exists(dir_.filePath("native"));
}

void TestTtsDeviceLoss::killServer() {
    if (server_) {
        server_->kill();
        server_->waitForFinished(5000);
        server_.reset();
    }
    QFile::remove(dir_.filePath("native"));
}

void TestTtsDeviceLoss::initTestCase() {
    if (QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty()) {
        QSKIP("needs the pulseaudio server program");
    }
    QVERIFY(dir_.isValid());
    // Before anything of Qt Multimedia runs: it connects to the server named here, once per process.
    qputenv("PULSE_SERVER", "unix:" + dir_.filePath("native").toLocal8Bit());
    QVERIFY(startServer());
    QTRY_VERIFY_WITH_TIMEOUT(!QMediaDevices::audioOutputs().isEmpty(), 10000);
}

void TestTtsDeviceLoss::cleanupTestCase() {
    killServer();
}

bool TestTtsDeviceLoss::speakUntilAudible(SpeechEngine& engine, EngineRecorder& rec) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int before = rec.finishedCount();
        engine.speak(QStringLiteral("\\Spd=350\\Hello again."));
        if (!rec.waitForFinished(before + 1)) {
            return false;
        }
        if (engine.statistics().audible) {
            return true;
        }
        QTest::qWait(1000);
    }
    return false;
}

void TestTtsDeviceLoss::survivesLosingTheSoundServer() {
    SpeechEngine engine;
    EngineRecorder rec(engine);
    QVERIFY(speakUntilAudible(engine, rec));

    const quint64 cut = engine.speak(QStringLiteral("\\Spd=350\\One two three four five six seven eight nine "
                                                    "ten eleven twelve thirteen fourteen fifteen."));
    QTRY_VERIFY(rec.of(cut).filter(QStringLiteral("word")).size() >= 2);
    killServer();
    // A server comes back while the request goes on silently (Qt 6.4 tries to reach the server again
    // once, three seconds after losing it).
    QTest::qWait(300);
    QVERIFY(startServer());
    QVERIFY(rec.waitForFinished(2, 30000));
    QCOMPARE(rec.of(cut).filter(QStringLiteral("word")).size(), 15); // every word still reached the balloon
    QCOMPARE(rec.of(cut).back(), QStringLiteral("finished"));
    QVERIFY(speakUntilAudible(engine, rec));

    // Lost again between two requests, while the output waits open for the next one.
    killServer();
    QTest::qWait(300);
    QVERIFY(startServer());
    QVERIFY(speakUntilAudible(engine, rec));
}

QTEST_GUILESS_MAIN(TestTtsDeviceLoss)
#include "tst_tts_device_loss.moc"
