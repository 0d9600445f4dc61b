// The real program with something other than a registry file at both registry places: it starts as usual,
// reads neither place before System Info asks, and then says the tool is unavailable, with one log line per
// place saying why.
#include "../support/TestFiles.h"
#include "DesktopDriver.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace cw::test;

namespace {

// Registry files larger than this are refused whole.
constexpr qint64 kMaxRegistryFileBytes = 4 * 1024 * 1024;

bool makeBlocker(const QString& kind, const QString& place) {
    return cw::test::makeUnreadablePlace(kind, place, kMaxRegistryFileBytes + 1,
                                         "Windows Registry Editor Version 5.00\r\n");
}

} // namespace

class RegistryPlacesTest : public QObject {
    Q_OBJECT
private:
    const QString program = QStringLiteral(CW_PROGRAM_PATH);

private slots:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            QSKIP("needs an X server: run inside tools/headless.sh");
        }
        QVERIFY(QFile::exists(program));
    }

    void aPlaceThatIsNoRegistryFileNeverHoldsTheProgramUp_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("why");
        QTest::newRow("FIFO") << "fifo"
                              << "is a FIFO";
        QTest::newRow("folder") << "folder"
                                << "is a folder";
        QTest::newRow("link to /dev/zero") << "device"
                                           << "is a device";
        QTest::newRow("over the size bound") << "huge"
                                             << "is larger than 4194304 bytes";
    }
    void aPlaceThatIsNoRegistryFileNeverHoldsTheProgramUp() {
        QFETCH(QString, kind);
        QFETCH(QString, why);
        QTemporaryDir home;
        QVERIFY(home.isValid());
        const QString userPlace = home.filePath(QStringLiteral("config/chatterwisp/registry.reg"));
        const QString systemPlace = home.filePath(QStringLiteral("etc/chatterwisp/registry.reg"));
        QVERIFY(makeBlocker(kind, userPlace));
        QVERIFY(makeBlocker(kind, systemPlace));
        QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("bin"))));

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("CHATTERWISP_SYSCONFDIR"), home.filePath(QStringLiteral("etc")));
        // No system-information program to be found: the registry places are all there is.
        environment.insert(QStringLiteral("PATH"), home.filePath(QStringLiteral("bin")));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.start(program, {});
        QVERIFY(process.waitForStarted());
        const qint64 pid = process.processId();
        const auto cleanup = qScopeGuard([&] { DesktopDriver::endProgram(process); });

        const auto mainWindow = DesktopDriver::waitForWindow(QStringLiteral("^Chatterwisp$"),
                                                             DesktopDriver::isMainWindow, 15000, pid);
        QVERIFY2(mainWindow, "the main window did not appear");
        QVERIFY2(DesktopDriver::waitForWindow(
                     QStringLiteral("^Genie$"), [](const QString&) { return true; }, 15000, pid),
                 "the genie did not appear");

        DesktopDriver::sendKeys(*mainWindow, {QStringLiteral("alt+a")});
        const auto about = DesktopDriver::waitForWindow(
            QStringLiteral("^About Chatterwisp$"), [](const QString&) { return true; }, 5000, pid);
        QVERIFY2(about, "the About window did not open");
        // Nothing has been read yet: start-up leaves the registry places alone.
        QVERIFY(!process.readAllStandardError().contains("skipped:"));

        DesktopDriver::sendKeys(*about, {QStringLiteral("alt+s")});
        const auto box = DesktopDriver::waitForWindow(
            QStringLiteral("^Chatterwisp$"),
            [](const QString& w) {
                return !DesktopDriver::isMainWindow(w) && DesktopDriver::geometry(w).width() > 100;
            },
            10000, pid);
        QVERIFY2(box, "System Info showed no message");
        DesktopDriver::sendKeys(*box, {QStringLiteral("Return")});
        QTRY_VERIFY_WITH_TIMEOUT(
            DesktopDriver::windowsNamed(QStringLiteral("^Chatterwisp$"), pid).size() == 1, 5000);
        QVERIFY(process.state() == QProcess::Running);

        DesktopDriver::endProgram(process);
        QStringList skipped;
        bool unavailable = false;
        for (const QByteArray& line : process.readAllStandardError().split('\n')) {
            if (const qsizetype at = line.indexOf("skipped:"); at >= 0) {
                skipped << QString::fromLocal8Bit(line.mid(at)); // after the category, when one is printed
            }
            unavailable =
                unavailable || line.contains("neither registry place names the system-information tool");
        }
        QCOMPARE(skipped, (QStringList{QStringLiteral("skipped: %1 %2").arg(systemPlace, why),
                                       QStringLiteral("skipped: %1 %2").arg(userPlace, why)}));
        QVERIFY(unavailable);
    }
};

QTEST_GUILESS_MAIN(RegistryPlacesTest)
#include "tst_registry_places.moc"
