// One program per desktop session, on a private session bus: a second start hands itself to the first, the
// actions reach the running program from outside (say-selection heard in the null sink, stop silencing it,
// quit ending it, the desktop portal's global shortcuts), and without a bus each start runs on its own.
#include "DesktopDriver.h"
#include "FakeShortcutsPortal.h"
#include "PrivateSessionBus.h"
#include "SinkRecorder.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

using namespace cw::test;

namespace {

const QString kBusVariable = QStringLiteral("DBUS_SESSION_BUS_ADDRESS");
// The main window's text box, in window coordinates.
const QPoint kTextBox{60, 60};

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

/// Whether a program holds the Chatterwisp name on the bus at `address`.
bool nameOwned(const QString& address) {
    QProcess gdbus;
    gdbus.setProcessEnvironment(withBus(address));
    gdbus.start(QStringLiteral("gdbus"),
                {QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"),
                 QStringLiteral("org.freedesktop.DBus"), QStringLiteral("--object-path"),
                 QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("--method"),
                 QStringLiteral("org.freedesktop.DBus.NameHasOwner"),
                 QStringLiteral("com.example.chatterwisp")});
    return gdbus.waitForFinished(10000) && gdbus.readAllStandardOutput().contains("true");
}

/// Ends every Chatterwisp on the screen: the ones the bus started are no child of the test's.
void endProgramsOnScreen() {
    for (const QString& window : DesktopDriver::windowsNamed(QStringLiteral("^Chatterwisp$"))) {
        const qint64 pid =
            DesktopDriver::run(QStringLiteral("xdotool"), {QStringLiteral("getwindowpid"), window})
                .toLongLong();
        if (pid > 0) {
            ::kill(static_cast<pid_t>(pid), SIGKILL);
        }
    }
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

    /// A service file that has the bus start the program of this build for its name.
    bool writeServiceFile(const QString& folder) const {
        QFile file(folder + QStringLiteral("/com.example.chatterwisp.service"));
        return file.open(QIODevice::WriteOnly) &&
               file.write(QStringLiteral("[D-BUS Service]\nName=com.example.chatterwisp\nExec=%1\n")
                              .arg(program)
                              .toUtf8()) > 0;
    }

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

    void saySelectionIsHeardStopSilencesAndQuitEnds() {
        if (qEnvironmentVariableIsEmpty("CW_NULL_SINK")) {
            QSKIP("needs the null sink of tools/headless.sh");
        }
        SinkRecorder recorder;
        QVERIFY(recorder.start());
        PrivateSessionBus bus;
        QProcess first;
        ProgramTrace trace(first);
        const auto window = start(first, trace, bus.address());
        QVERIFY(window);
        // The greeting is over once the genie has floated to his place: no sound of his own after that.
        QVERIFY(trace.waitFor(QStringLiteral("finished MoveTo \\d+"), 0, 15000));
        const QString textBox = DesktopDriver::copiedText(*window, kTextBox);
        QVERIFY(!textBox.isEmpty());
        const auto icon = DesktopDriver::trayIconOf(first.processId(), 5000);
        QVERIFY2(icon, "no tray icon appeared");

        // Long enough that he would still be speaking well after Stop.
        const QString text =
            QStringLiteral("Words highlighted in another program are read aloud by the genie, "
                           "one after another, for as long as there are words to read.");
        QProcess owner; // owns the primary selection until it ends
        owner.start(QStringLiteral("xclip"),
                    {QStringLiteral("-quiet"), QStringLiteral("-selection"), QStringLiteral("primary")});
        QVERIFY(owner.waitForStarted());
        auto endOwner = qScopeGuard([&owner] {
            owner.kill();
            owner.waitForFinished();
        });
        owner.write(text.toUtf8());
        owner.closeWriteChannel();
        QTRY_COMPARE_WITH_TIMEOUT(
            DesktopDriver::run(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"),
                                                         QStringLiteral("primary")}),
            text, 5000);

        const qsizetype before = trace.mark();
        const std::size_t quiet = recorder.samples().size();
        QCOMPARE(activateAction(bus.address(), QStringLiteral("say-selection")), 0);
        QVERIFY(trace.waitFor(QStringLiteral("desktop text read %1").arg(text.size()), before, 10000));
        QTRY_VERIFY2_WITH_TIMEOUT(SinkRecorder::audible(recorder.since(quiet)), "say-selection was not heard",
                                  20000);

        // Stop silences him: quiet at once, and quiet for the 1.5 s that follow while the text would go on.
        const std::size_t stopped = recorder.samples().size();
        QCOMPARE(activateAction(bus.address(), QStringLiteral("stop")), 0);
        QTRY_VERIFY_WITH_TIMEOUT(recorder.silentFor(stopped, 100), 5000);
        const std::size_t after = recorder.samples().size();
        QTRY_VERIFY_WITH_TIMEOUT(recorder.since(after).size() >= std::size_t(SinkRecorder::kRate) * 3 / 2,
                                 10000);
        QVERIFY2(!SinkRecorder::audible(recorder.since(after)), "speech went on after stop");

        // The text came from the selection, not through the window: its text box is as it was.
        QCOMPARE(DesktopDriver::copiedText(*window, kTextBox), textBox);

        // Quit ends the program as closing its window does: exit 0, and the tray icon is gone.
        QVERIFY(DesktopDriver::windowExists(*icon));
        QCOMPARE(activateAction(bus.address(), QStringLiteral("quit")), 0);
        QVERIFY(first.waitForFinished(10000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.exitCode(), 0);
        QVERIFY(!DesktopDriver::windowExists(*icon));
    }

    void aFrozenSelectionOwnerNeitherFreezesTheWindowNorSpeaks() {
#ifndef CW_SELECTION_OWNER
        QSKIP("selection_owner is built with the app tests");
#else
        PrivateSessionBus bus;
        QProcess first;
        ProgramTrace trace(first);
        QVERIFY(start(first, trace, bus.address()));
        QVERIFY(trace.waitFor(QStringLiteral("event loop entered"), 0, 15000));

        // An owner that takes the primary selection and never answers a request for it.
        QProcess owner;
        owner.start(QStringLiteral(CW_SELECTION_OWNER),
                    {QStringLiteral("--primary"), QStringLiteral("--freeze"), QStringLiteral("--text"),
                     QStringLiteral("never sent")});
        QVERIFY(owner.waitForStarted());
        auto endOwner = qScopeGuard([&owner] {
            owner.kill();
            owner.waitForFinished();
        });
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += owner.readAllStandardOutput()).contains("ready"), 5000);

        QDBusConnection client = QDBusConnection::connectToBus(bus.address(), QStringLiteral("frozen owner"));
        auto disconnect =
            qScopeGuard([] { QDBusConnection::disconnectFromBus(QStringLiteral("frozen owner")); });
        QVERIFY(client.isConnected());
        const qsizetype before = trace.mark();
        // Sent together: "show" is answered while say-selection still waits on the owner, or the window hung.
        QDBusPendingCall say = client.asyncCall(activateActionCall(QStringLiteral("say-selection")));
        QDBusPendingCall show = client.asyncCall(activateActionCall(QStringLiteral("show")));
        const auto asked = trace.waitFor(QStringLiteral("desktop action 1"), before, 5000);
        QVERIFY(asked);
        const auto shown = trace.waitFor(QStringLiteral("desktop action 3"), *asked, 5000);
        QVERIFY2(shown, "the window did not answer while the read waited");
        const auto failed = trace.waitFor(QStringLiteral("desktop read failed \\d+"), *asked, 10000);
        QVERIFY2(failed, "say-selection never gave up on the frozen owner");
        QVERIFY2(*shown < *failed, "the window waited for the frozen owner before it answered");
        say.waitForFinished();
        show.waitForFinished();
        QVERIFY(!say.isError());
        QVERIFY(!show.isError());

        // A later request marks the end of what say-selection did: one line, nothing said.
        QDBusPendingCall later = client.asyncCall(activateActionCall(QStringLiteral("show")));
        const auto end = trace.waitFor(QStringLiteral("desktop action 3"), *failed, 5000);
        QVERIFY(end);
        const QStringList lines = trace.logLinesBetween(before, *end);
        QVERIFY2(lines.size() == 1, qPrintable(lines.join(QLatin1Char('\n'))));
        QVERIFY(lines.first().contains(QLatin1String("could not be read")));
        for (const QString& step : trace.stepsBetween(before, *end)) {
            QVERIFY2(!step.startsWith(QLatin1String("say text")) &&
                         !step.startsWith(QLatin1String("desktop text")),
                     qPrintable(step));
        }
        QCOMPARE(first.state(), QProcess::Running);
        DesktopDriver::endProgram(first);
#endif
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

    void aDesktopActionStartsTheProgramWhenItIsNotRunning() {
        QTemporaryDir services;
        QVERIFY(writeServiceFile(services.path()));
        PrivateSessionBus bus(services.path());
        QVERIFY(!bus.address().isEmpty());
        QVERIFY(DesktopDriver::windowsNamed(QStringLiteral("^Chatterwisp$")).isEmpty());
        auto endStarted = qScopeGuard([] { endProgramsOnScreen(); });

        // The bus starts the program and keeps the call for it until its window takes it.
        QCOMPARE(activateAction(bus.address(), QStringLiteral("show")), 0);
        const auto window =
            DesktopDriver::waitForWindow(QStringLiteral("^Chatterwisp$"), DesktopDriver::isMainWindow, 15000);
        QVERIFY2(window, "the started program showed no window");
        QVERIFY(nameOwned(bus.address()));

        // Running now, it takes the next action itself.
        QCOMPARE(activateAction(bus.address(), QStringLiteral("quit")), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!nameOwned(bus.address()), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!DesktopDriver::windowExists(*window), 10000);
    }

    void theActionThatStartsTheProgramIsCarriedOut() {
        QTemporaryDir services;
        QVERIFY(writeServiceFile(services.path()));
        PrivateSessionBus bus(services.path());
        QVERIFY(!bus.address().isEmpty());
        auto endStarted = qScopeGuard([] { endProgramsOnScreen(); });

        // Quit, sent while nothing runs: the program starts, takes the call once its window is loaded, and
        // ends. Were the call lost on the way in, the program would stay.
        QCOMPARE(activateAction(bus.address(), QStringLiteral("quit")), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!nameOwned(bus.address()), 15000);
        QVERIFY(DesktopDriver::windowsNamed(QStringLiteral("^Chatterwisp$")).isEmpty());
    }

    void aRequestWhileAStartUpMessageWaitsIsHeldForTheLoadedWindow() {
        PrivateSessionBus bus;
        QProcess first;
        ProgramTrace trace(first);
        // No sound server: the program says so in a message box before its window is loaded.
        QProcessEnvironment environment = first.processEnvironment();
        environment.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:/nonexistent/pulse/native"));
        environment.insert(kBusVariable, bus.address());
        first.setProcessEnvironment(environment);
        first.setProcessChannelMode(ProgramTrace::channels());
        first.start(program, {});
        QVERIFY(first.waitForStarted());
        auto end = qScopeGuard([&first] { DesktopDriver::endProgram(first); });
        const auto box = DesktopDriver::waitForWindow(
            QStringLiteral("^No sound card found$"), [](const QString&) { return true; }, 15000,
            first.processId());
        QVERIFY2(box, "no message box about the missing sound output");

        QDBusConnection client = QDBusConnection::connectToBus(bus.address(), QStringLiteral("held"));
        auto disconnect = qScopeGuard([] { QDBusConnection::disconnectFromBus(QStringLiteral("held")); });
        // The box's event loop delivers both calls in order; Open is answered at once, so once its answer is
        // here, show has been delivered too, and must wait for the window.
        QDBusPendingCall show = client.asyncCall(activateActionCall(QStringLiteral("show")));
        QDBusMessage open = QDBusMessage::createMethodCall(
            QStringLiteral("com.example.chatterwisp"), QStringLiteral("/com/example/chatterwisp"),
            QStringLiteral("org.freedesktop.Application"), QStringLiteral("Open"));
        open << QStringList{} << QVariantMap{};
        QDBusPendingCall opened = client.asyncCall(open);
        QTRY_VERIFY_WITH_TIMEOUT(opened.isFinished(), 10000);
        QVERIFY(opened.isError()); // the program opens no files
        QVERIFY2(!show.isFinished(), "show was taken before the window was loaded");

        const qsizetype before = trace.mark();
        DesktopDriver::sendKeys(*box, {QStringLiteral("Return")});
        const auto loaded = trace.waitFor(QStringLiteral("character loaded"), before, 15000);
        QVERIFY(loaded);
        QVERIFY(trace.waitFor(QStringLiteral("desktop action 3"), *loaded, 5000));
        QTRY_VERIFY_WITH_TIMEOUT(show.isFinished(), 5000);
        QVERIFY(!show.isError());
        QVERIFY(DesktopDriver::waitForWindow(QStringLiteral("^Chatterwisp$"), DesktopDriver::isMainWindow,
                                             5000, first.processId()));
        QCOMPARE(first.state(), QProcess::Running);
    }

    void theDesktopsGlobalShortcutsReachTheProgram() {
        PrivateSessionBus bus;
        FakeShortcutsPortal portal(bus.address());
        QVERIFY(portal.registered());
        QProcess first;
        ProgramTrace trace(first);
        QVERIFY(start(first, trace, bus.address()));
        QVERIFY2(trace.waitFor(QStringLiteral("global shortcuts bound 2"), 0, 15000),
                 "the program bound no shortcuts with the portal");
        QCOMPARE(portal.bound().size(), std::size_t(2));
        QCOMPARE(portal.bound()[0].id, QStringLiteral("say-selection"));
        QCOMPARE(portal.bound()[1].id, QStringLiteral("stop"));

        // A press of either runs its action, as the desktop file's actions do.
        qsizetype before = trace.mark();
        portal.activate(portal.sessions().value(0), QStringLiteral("stop"));
        QVERIFY(trace.waitFor(QStringLiteral("desktop action 2"), before, 5000));
        before = trace.mark();
        portal.activate(portal.sessions().value(0), QStringLiteral("say-selection"));
        QVERIFY(trace.waitFor(QStringLiteral("desktop action 1"), before, 5000));
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
