// One program per desktop session, on a private session bus: a second start hands itself to the first, the
// actions reach the running program from outside, and without a bus each start runs on its own.
#include "DesktopDriver.h"

#include <QFile>
#include <QtTest>

using namespace cw::test;

namespace {

const QString kBusVariable = QStringLiteral("DBUS_SESSION_BUS_ADDRESS");

/// A session bus of the test's own, ended with the test.
class PrivateSessionBus {
public:
    PrivateSessionBus() {
        daemon_.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                      QStringLiteral("--print-address")});
        if (daemon_.waitForStarted() && daemon_.waitForReadyRead(10000)) {
            address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        }
    }
    ~PrivateSessionBus() {
        daemon_.terminate();
        if (!daemon_.waitForFinished(5000)) {
            daemon_.kill();
            daemon_.waitForFinished();
        }
    }
    QString address() const { return address_; }

private:
    QProcess daemon_;
    QString address_;
};

/// The test's environment with the session bus at `address` (none when empty).
QProcessEnvironment withBus(const QString& address) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(kBusVariable);
    environment.insert(kBusVariable,
                       address.isEmpty() ? QStringLiteral("unix:path=/nonexistent/bus") : address);
    return environment;
}

/// Runs a program with the session bus at `address`; its exit code, or -1 when it did not end in time.
int runWithBus(const QString& address, const QString& program, const QStringList& arguments, int timeoutMs) {
    QProcess process;
    process.setProcessEnvironment(withBus(address));
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

/// Asks the running program for an action, as the desktop file's actions do.
int activateAction(const QString& address, const QString& action) {
    return runWithBus(address, QStringLiteral("gdbus"),
                      {QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"),
                       QStringLiteral("com.example.chatterwisp"), QStringLiteral("--object-path"),
                       QStringLiteral("/com/example/chatterwisp"), QStringLiteral("--method"),
                       QStringLiteral("org.freedesktop.Application.ActivateAction"), action,
                       QStringLiteral("[]"), QStringLiteral("{}")},
                      10000);
}

} // namespace

class SessionTest : public QObject {
    Q_OBJECT
private:
    const QString program = QStringLiteral(CW_PROGRAM_PATH);

    /// Starts the program on the bus at `address` with its trace on; returns its main window.
    std::optional<QString> start(QProcess& process, ProgramTrace& trace, const QString& address) {
        QProcessEnvironment environment = process.processEnvironment();
        environment.insert(kBusVariable, address);
        process.setProcessEnvironment(environment);
        const auto window = DesktopDriver::startProgram(process, program, ProgramTrace::channels());
        trace.mark();
        return window;
    }

private slots:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            QSKIP("needs an X server: run inside tools/headless.sh");
        }
        QVERIFY(QFile::exists(program));
    }

    void aSecondStartHandsItselfToTheFirst() {
        PrivateSessionBus bus;
        QVERIFY(!bus.address().isEmpty());
        QProcess first;
        ProgramTrace trace(first);
        const auto window = start(first, trace, bus.address());
        QVERIFY2(window, "the main window did not appear");
        QVERIFY(trace.waitFor(QStringLiteral("event loop entered"), 0, 15000));
        DesktopDriver::run(QStringLiteral("xdotool"),
                           {QStringLiteral("windowminimize"), QStringLiteral("--sync"), *window});
        const qsizetype before = trace.mark();

        // It ends at once, and says so by exit code 0; no window of its own appears.
        QCOMPARE(runWithBus(bus.address(), program, {}, 1000), 0);
        QVERIFY(trace.waitFor(QStringLiteral("desktop activation"), before, 5000));
        QVERIFY(DesktopDriver::waitForWindow(
            QStringLiteral("^Chatterwisp$"),
            [&window](const QString& w) {
                return w == *window &&
                       DesktopDriver::run(QStringLiteral("xdotool"), {QStringLiteral("getwindowfocus")}) == w;
            },
            5000, first.processId()));
        QCOMPARE(DesktopDriver::windowsNamed(QStringLiteral("^Chatterwisp$")).size(), 1);
        DesktopDriver::endProgram(first);
    }

    void saySelectionSpeaksWhatIsHighlighted() {
        PrivateSessionBus bus;
        QProcess first;
        ProgramTrace trace(first);
        QVERIFY(start(first, trace, bus.address()));
        QVERIFY(trace.waitFor(QStringLiteral("event loop entered"), 0, 15000));

        const QString text = QStringLiteral("Words highlighted in another program");
        QProcess owner; // owns the primary selection until it ends
        owner.start(QStringLiteral("xclip"),
                    {QStringLiteral("-quiet"), QStringLiteral("-selection"), QStringLiteral("primary")});
        QVERIFY(owner.waitForStarted());
        owner.write(text.toUtf8());
        owner.closeWriteChannel();
        QTRY_COMPARE_WITH_TIMEOUT(
            DesktopDriver::run(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"),
                                                         QStringLiteral("primary")}),
            text, 5000);

        const qsizetype before = trace.mark();
        QCOMPARE(activateAction(bus.address(), QStringLiteral("say-selection")), 0);
        const auto read =
            trace.waitFor(QStringLiteral("desktop text read %1").arg(text.size()), before, 10000);
        QVERIFY(read);
        QVERIFY(trace.waitFor(QStringLiteral("speech handed to engine"), *read, 20000));

        // Stop silences him, and quit ends the program as closing its window does.
        QCOMPARE(activateAction(bus.address(), QStringLiteral("stop")), 0);
        QCOMPARE(activateAction(bus.address(), QStringLiteral("quit")), 0);
        QVERIFY(first.waitForFinished(10000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.exitCode(), 0);
        owner.kill();
        owner.waitForFinished();
    }

    void theDesktopFilesActionsReachTheRunningProgram() {
        QFile desktopFile(QStringLiteral(CW_DESKTOP_FILE));
        QVERIFY(desktopFile.open(QIODevice::ReadOnly | QIODevice::Text));
        const QStringList lines = QString::fromUtf8(desktopFile.readAll()).split(QLatin1Char('\n'));
        PrivateSessionBus bus;
        QProcess first;
        ProgramTrace trace(first);
        QVERIFY(start(first, trace, bus.address()));
        QVERIFY(trace.waitFor(QStringLiteral("event loop entered"), 0, 15000));
        const QStringList actions{QStringLiteral("say-clipboard"), QStringLiteral("say-selection"),
                                  QStringLiteral("stop")};
        for (const QString& action : actions) {
            const qsizetype group = lines.indexOf(QStringLiteral("[Desktop Action %1]").arg(action));
            QVERIFY2(group >= 0, qPrintable(action));
            QString exec;
            for (qsizetype i = group + 1; i < lines.size() && !lines[i].startsWith(QLatin1Char('[')); ++i) {
                if (lines[i].startsWith(QStringLiteral("Exec="))) {
                    exec = lines[i].mid(5);
                }
            }
            QStringList command = QProcess::splitCommand(exec);
            QVERIFY2(!command.isEmpty(), qPrintable(action));
            const qsizetype before = trace.mark();
            const QString program = command.takeFirst();
            QCOMPARE(runWithBus(bus.address(), program, command, 10000), 0);
            QVERIFY(trace.waitFor(QStringLiteral("desktop action %1").arg(actions.indexOf(action)), before,
                                  5000));
        }
        DesktopDriver::endProgram(first);
    }

    void unknownActionsAreRefused() {
        PrivateSessionBus bus;
        QProcess first;
        ProgramTrace trace(first);
        QVERIFY(start(first, trace, bus.address()));
        QVERIFY(trace.waitFor(QStringLiteral("event loop entered"), 0, 15000));
        QVERIFY(activateAction(bus.address(), QStringLiteral("no-such-action")) != 0);
        QCOMPARE(first.state(), QProcess::Running);
        DesktopDriver::endProgram(first);
    }

    void withoutASessionBusEachStartRunsAlone() {
        QProcess first;
        QProcess second;
        first.setProcessEnvironment(withBus({}));
        second.setProcessEnvironment(withBus({}));
        const auto firstWindow = DesktopDriver::startProgram(first, program);
        QVERIFY(firstWindow);
        const auto secondWindow = DesktopDriver::startProgram(second, program);
        QVERIFY(secondWindow);
        QVERIFY(*firstWindow != *secondWindow);
        DesktopDriver::endProgram(second);
        DesktopDriver::endProgram(first);
    }
};

QTEST_MAIN(SessionTest)
#include "tst_session.moc"
