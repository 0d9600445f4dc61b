// The real program on a real X server with a PulseAudio null sink: its window, and its error report.
#include "DesktopDriver.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace cw::test;

class ProgramTest : public QObject {
    Q_OBJECT
private:
    const QString program = QStringLiteral(CW_PROGRAM_PATH);
    const QString screenshots = QStringLiteral(CW_SCREENSHOT_DIR);

    // Starts a copy of the program from a folder that has no character file, with no XDG data folders to look
    // in.
    void startWithoutCharacterFile(QTemporaryDir& folder, QProcess& process) {
        QVERIFY(folder.isValid());
        const QString copy = folder.filePath(QStringLiteral("chatterwisp"));
        QVERIFY(QFile::copy(program, copy));
        QVERIFY(QFile::setPermissions(copy, QFile::permissions(program)));
        QDir(folder.path()).mkpath(QStringLiteral("data"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"), folder.filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_DATA_DIRS"), folder.filePath(QStringLiteral("data")));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(copy, {});
        QVERIFY(process.waitForStarted());
    }

private slots:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            QSKIP("needs an X server: run inside tools/headless.sh");
        }
        QVERIFY(QFile::exists(program));
        QDir().mkpath(screenshots);
    }

    void missingCharacterFileEndsInOneErrorReport() {
        QTemporaryDir folder;
        QProcess process;
        startWithoutCharacterFile(folder, process);

        // The main window shows first, with its caption and client area.
        const auto mainWindow = DesktopDriver::waitForWindow(
            QStringLiteral("^Chatterwisp$"), DesktopDriver::isMainWindow, 15000, process.processId());
        QVERIFY2(mainWindow, "the main window did not appear");

        // Then the report: a message box titled "Chatterwisp" that is not the main window.
        const auto report = DesktopDriver::waitForWindow(
            QStringLiteral("^Chatterwisp$"),
            [](const QString& w) {
                return !DesktopDriver::isMainWindow(w) && DesktopDriver::geometry(w).width() > 100;
            },
            15000, process.processId());
        QVERIFY2(report, "no error report appeared");
        DesktopDriver::screenshot(QStringLiteral("root"), screenshots + QStringLiteral("/error-report.png"));
        int reports = 0; // the tray icon's small window carries the title too
        for (const QString& window :
             DesktopDriver::windowsNamed(QStringLiteral("^Chatterwisp$"), process.processId())) {
            reports +=
                !DesktopDriver::isMainWindow(window) && DesktopDriver::geometry(window).width() > 100 ? 1 : 0;
        }
        QCOMPARE(reports, 1);
        QCOMPARE(process.state(), QProcess::Running); // it waits for the user to read the report

        DesktopDriver::sendKeys(*report, {QStringLiteral("Return")});
        QVERIFY(process.waitForFinished(15000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QVERIFY(process.exitCode() != 0);
    }
};

QTEST_GUILESS_MAIN(ProgramTest)
#include "tst_program.moc"
