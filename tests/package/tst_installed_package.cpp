// The Debian package as a user gets it: unpacked into a folder of its own (never installed), its files where
// the desktop looks for them, and its program started from there on the headless desktop.
#include "DesktopDriver.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

using namespace cw::test;

class InstalledPackageTest : public QObject {
    Q_OBJECT
private:
    const QString package = QStringLiteral(CW_PACKAGE_FILE);
    QTemporaryDir root;
    QTemporaryDir dataHome; // an empty XDG_DATA_HOME, so nothing of the user's is found

    // Where the program was built to look for its data and its speech module; the tests need them empty.
    const QString builtIn = QStringLiteral(CW_INSTALLED_DATA_DIR "/genie.acs");
    const QString builtInModule = QStringLiteral(CW_INSTALLED_MODULE_DIR "/" CW_FLITE_MODULE_NAME);

    QString rooted(const QString& path) const { return root.path() + path; }

    // Starts a program with the given XDG data folders and an empty data folder of the user's, so that
    // nothing installed on this machine is found through them. Keeps an environment already given to
    // `process`.
    void startProgram(QProcess& process, const QString& program, const QString& dataDirs,
                      QProcess::ProcessChannelMode channels) {
        QProcessEnvironment environment = process.processEnvironment().isEmpty()
                                              ? QProcessEnvironment::systemEnvironment()
                                              : process.processEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_DIRS"), dataDirs);
        environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome.path());
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(channels);
        process.start(program, {});
        QVERIFY(process.waitForStarted());
    }

    static std::optional<QString> waitForMainWindow(const QProcess& process) {
        return DesktopDriver::waitForWindow(QStringLiteral("^Chatterwisp$"), DesktopDriver::isMainWindow,
                                            15000, process.processId());
    }

private slots:
    void initTestCase() {
        QVERIFY2(QFile::exists(package), qPrintable(package));
        QVERIFY(root.isValid() && dataHome.isValid());
        QProcess unpack;
        unpack.setProcessChannelMode(QProcess::ForwardedChannels);
        unpack.start(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), package, root.path()});
        QVERIFY(unpack.waitForFinished(60000));
        QCOMPARE(unpack.exitCode(), 0);
    }

    void everyFileIsWhereTheDesktopLooks_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("iconSize"); // 0: not a PNG icon
        QTest::newRow("program") << "/usr/bin/chatterwisp" << 0;
        QTest::newRow("speech module") << CW_PACKAGED_MODULE_DIR "/" CW_FLITE_MODULE_NAME << 0;
        QTest::newRow("other languages' module") << CW_PACKAGED_MODULE_DIR "/" CW_ESPEAK_MODULE_NAME << 0;
        QTest::newRow("character") << "/usr/share/chatterwisp/genie.acs" << 0;
        QTest::newRow("menu entry") << "/usr/share/applications/" CW_APP_ID ".desktop" << 0;
        QTest::newRow("software centre") << "/usr/share/metainfo/" CW_APP_ID ".metainfo.xml" << 0;
        QTest::newRow("scalable icon") << "/usr/share/icons/hicolor/scalable/apps/chatterwisp.svg" << 0;
        for (const int size : {32, 48, 64, 128, 256}) {
            QTest::addRow("icon %d", size)
                << QStringLiteral("/usr/share/icons/hicolor/%1x%1/apps/chatterwisp.png").arg(size) << size;
        }
        QTest::newRow("copyright") << "/usr/share/doc/chatterwisp/copyright" << 0;
        QTest::newRow("changelog") << "/usr/share/doc/chatterwisp/changelog.gz" << 0;
        QTest::newRow("manual page") << "/usr/share/man/man1/chatterwisp.1.gz" << 0;
        QTest::newRow("session bus service") << "/usr/share/dbus-1/services/" CW_APP_ID ".service" << 0;
    }

    void theSessionBusStartsTheInstalledProgram() {
        // The desktop actions call the program's bus name; the bus starts what this file names when nobody
        // holds it: the program where the package puts it, whatever prefix the build was configured with.
        QFile service(rooted(QStringLiteral("/usr/share/dbus-1/services/" CW_APP_ID ".service")));
        QVERIFY(service.open(QIODevice::ReadOnly | QIODevice::Text));
        const QStringList lines =
            QString::fromUtf8(service.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.value(0), QStringLiteral("[D-BUS Service]"));
        QVERIFY(lines.contains(QStringLiteral("Name=" CW_APP_ID)));
        QVERIFY(lines.contains(QStringLiteral("Exec=/usr/bin/chatterwisp")));
    }

    void everyFileIsWhereTheDesktopLooks() {
        QFETCH(QString, path);
        QFETCH(int, iconSize);
        const QFileInfo file(rooted(path));
        QVERIFY2(file.isFile(), qPrintable(path));
        QVERIFY2(file.size() > 0, qPrintable(path));
        if (iconSize > 0) {
            const QImage icon(file.filePath());
            QCOMPARE(icon.size(), QSize(iconSize, iconSize));
            // Rendered from the SVG, not an empty canvas: some pixels are opaque.
            int opaque = 0;
            for (int y = 0; y < icon.height(); ++y) {
                for (int x = 0; x < icon.width(); ++x) {
                    opaque += qAlpha(icon.pixel(x, y)) == 255 ? 1 : 0;
                }
            }
            QVERIFY2(opaque > iconSize * iconSize / 10, qPrintable(path));
        }
    }

    void dependsOnWhatItLinksAndReads() {
        QProcess fields;
        fields.start(QStringLiteral("dpkg-deb"),
                     {QStringLiteral("--field"), package, QStringLiteral("Depends")});
        QVERIFY(fields.waitForFinished(60000));
        QCOMPARE(fields.exitCode(), 0);
        const QString depends = QString::fromUtf8(fields.readAllStandardOutput());
        // Linked by the speech modules (found by shlibdeps), and read at run time.
        for (const char* needed : {"libflite1", "libespeak-ng1", "espeak-ng-data", "festvox-us-slt-hts"}) {
            QVERIFY2(depends.contains(QLatin1String(needed)), qPrintable(depends));
        }
    }

    void theUnpackedProgramShowsItsWindowAndTheGenie_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("dataDirs");
        QTest::addColumn<bool>("findsItsVoice"); // through the speech module under its own prefix
        // Each row leaves the program one way to its character file.
        QTest::newRow("under its own prefix") << "/usr/bin/chatterwisp"
                                              << "/nowhere" << true;
        QTest::newRow("through XDG_DATA_DIRS") << "/elsewhere/chatterwisp"
                                               << "/nowhere:" + QStringLiteral("%root%/usr/share") << false;
    }

    void theUnpackedProgramShowsItsWindowAndTheGenie() {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            QSKIP("needs an X server: run inside tools/headless.sh");
        }
        QFETCH(QString, program);
        QFETCH(QString, dataDirs);
        QFETCH(bool, findsItsVoice);
        for (const QString& installed : {builtIn, builtInModule}) {
            if (QFile::exists(installed)) {
                QSKIP(qPrintable(installed +
                                 QStringLiteral(" is installed on this machine; the program would use it")));
            }
        }
        program = rooted(program);
        dataDirs.replace(QStringLiteral("%root%"), root.path());
        if (!QFile::exists(program)) {
            // A copy away from the package's prefix, so only the XDG data folders lead to the character file.
            QVERIFY(QDir().mkpath(QFileInfo(program).path()));
            const QString unpacked = rooted(QStringLiteral("/usr/bin/chatterwisp"));
            QVERIFY(QFile::copy(unpacked, program));
            QVERIFY(QFile::setPermissions(program, QFile::permissions(unpacked)));
        }

        QProcess process;
        ProgramTrace trace(process);
        startProgram(process, program, dataDirs, ProgramTrace::channels());
        QVERIFY2(waitForMainWindow(process), "the main window did not appear");
        const auto genie = DesktopDriver::waitForWindow(
            QStringLiteral("^Genie$"),
            [](const QString& w) { return DesktopDriver::geometry(w).size() == QSize(200, 220); }, 15000,
            process.processId());
        QVERIFY2(genie, "the genie's window did not appear");
        if (findsItsVoice) {
            QVERIFY2(trace.waitFor(QStringLiteral("voice ready"), 0, 15000), "the voice did not load");
        }
        QCOMPARE(process.state(), QProcess::Running);
        DesktopDriver::endProgram(process);
    }

    void withoutItsCharacterFileTheProgramNamesEveryPlaceItLooked() {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            QSKIP("needs an X server: run inside tools/headless.sh");
        }
        const QString unpacked = rooted(QStringLiteral("/usr/share/chatterwisp/genie.acs"));
        if (QFile::exists(builtIn)) {
            QSKIP(qPrintable(builtIn +
                             QStringLiteral(" is installed on this machine; the program would use it")));
        }
        QVERIFY(QFile::rename(unpacked, unpacked + QStringLiteral(".away")));
        auto restore = qScopeGuard([&] { QFile::rename(unpacked + QStringLiteral(".away"), unpacked); });

        QProcess process;
        startProgram(process, rooted(QStringLiteral("/usr/bin/chatterwisp")),
                     rooted(QStringLiteral("/usr/share")), QProcess::ForwardedOutputChannel);
        QVERIFY2(waitForMainWindow(process), "the main window did not appear");
        const auto report = DesktopDriver::waitForWindow(
            QStringLiteral("^Chatterwisp$"),
            [](const QString& w) {
                return !DesktopDriver::isMainWindow(w) && DesktopDriver::geometry(w).width() > 100;
            },
            15000, process.processId());
        QVERIFY2(report, "no failure report appeared");

        DesktopDriver::sendKeys(*report, {QStringLiteral("Return")});
        QVERIFY(process.waitForFinished(15000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QVERIFY(process.exitCode() != 0);

        // The report's reason also goes to the terminal: it names every place looked in.
        const QString said = QString::fromLocal8Bit(process.readAllStandardError());
        for (const QString& place : {rooted(QStringLiteral("/usr/bin/genie.acs")), unpacked, builtIn,
                                     dataHome.filePath(QStringLiteral("chatterwisp/genie.acs"))}) {
            QVERIFY2(said.contains(place),
                     qPrintable(QStringLiteral("%1 is not named in: %2").arg(place, said)));
        }
    }
};

QTEST_GUILESS_MAIN(InstalledPackageTest)
#include "tst_installed_package.moc"
