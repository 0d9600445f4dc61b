// The real program and its sound server: a server that dies mid-speech leaves the genie speaking silently,
// and when a server is there again (restarted, or started only after the program) the next Say it is heard,
// without restarting the program. The program talks to a PulseAudio server of the test's own.
#include "DesktopDriver.h"
#include "PrivateSoundServer.h"

#include <QtTest>

using namespace cw::test;

namespace {
const QPoint kTextBox{60, 60};
const QPoint kSayIt{29, 248};
const QPoint kStop{73, 248};
const QString kSink = QStringLiteral("cw_private_sink");
} // namespace

class SoundServerTest : public QObject {
    Q_OBJECT
private:
    const QString program = QStringLiteral(CW_PROGRAM_PATH);
    PrivateSoundServer server;

    std::optional<QString> startProgram(QProcess& process) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PULSE_SERVER"), server.address());
        process.setProcessEnvironment(env);
        return DesktopDriver::startProgram(process, program);
    }
    /// Clicks Say it and tells whether the private sink played anything.
    bool sayItIsHeard(const QString& mainWindow) {
        MonitorRecording monitor;
        if (!monitor.start(server.address(), kSink)) {
            return false;
        }
        DesktopDriver::click(mainWindow, kSayIt);
        QDeadlineTimer deadline(15000);
        while (!deadline.hasExpired()) {
            if (monitor.loudSamples() > 0) {
                return true;
            }
            QTest::qWait(50);
        }
        return false;
    }

private slots:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            QSKIP("needs the headless desktop of tools/headless.sh");
        }
        if (!PrivateSoundServer::available()) {
            QSKIP("needs the pulseaudio server program");
        }
    }
    void cleanup() { server.kill(); }

    void soundComesBackWhenTheServerIsRestarted() {
        QVERIFY(server.start({kSink}));
        QProcess process;
        auto end = qScopeGuard([&process] { DesktopDriver::endProgram(process); });
        const auto window = startProgram(process);
        QVERIFY2(window, "the main window did not appear");
        QTRY_VERIFY_WITH_TIMEOUT(server.streams() > 0, 15000); // the output is ready before anyone asks
        QVERIFY2(sayItIsHeard(*window), "the prompt was not heard");

        // A long text, and the server dies while the genie reads it.
        DesktopDriver::click(*window, kTextBox);
        DesktopDriver::sendKeys(*window, {QStringLiteral("ctrl+a"), QStringLiteral("BackSpace")});
        DesktopDriver::run(
            QStringLiteral("xdotool"),
            {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("2"),
             QStringLiteral("One two three four five six seven eight nine ten eleven twelve.")});
        QVERIFY(sayItIsHeard(*window));
        server.kill();
        QVERIFY(process.state() == QProcess::Running);

        QVERIFY(server.start({kSink}));
        QTRY_VERIFY_WITH_TIMEOUT(server.streams() > 0, 15000); // found the server again by itself
        DesktopDriver::click(*window, kStop);
        QVERIFY2(sayItIsHeard(*window), "Say it was not heard after the server came back");
        QVERIFY(process.state() == QProcess::Running);
    }

    void aServerStartedAfterTheProgramIsUsed() {
        QProcess process;
        auto end = qScopeGuard([&process] { DesktopDriver::endProgram(process); });
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PULSE_SERVER"), server.address());
        process.setProcessEnvironment(env);
        process.start(program, {});
        QVERIFY(process.waitForStarted());
        // With no sound server at all, the program says so once and goes on.
        const auto box = DesktopDriver::waitForWindow(
            QStringLiteral("^No sound card found$"), [](const QString&) { return true; }, 15000,
            process.processId());
        QVERIFY2(box, "the missing sound output was not reported");
        DesktopDriver::sendKeys(*box, {QStringLiteral("Return")});
        const auto window = DesktopDriver::waitForWindow(
            QStringLiteral("^Chatterwisp$"), DesktopDriver::isMainWindow, 15000, process.processId());
        QVERIFY2(window, "the main window did not appear");

        QVERIFY(server.start({kSink}));
        QTRY_VERIFY_WITH_TIMEOUT(server.streams() > 0, 15000);
        QVERIFY2(sayItIsHeard(*window), "Say it was not heard once a server was there");
    }
};

QTEST_GUILESS_MAIN(SoundServerTest)
#include "tst_sound_server.moc"
