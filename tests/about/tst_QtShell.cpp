// The desktop shell: links handed to the desktop, the file test, and programs started without a shell.
#include "TestFiles.h"
#include "platform/qt/QtShell.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace cw;

/// Stands in for the desktop's mail program.
class LinkCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> links;
public slots:
    void openLink(const QUrl& url) { links.append(url); }
};

class TestQtShell : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString makeFile(const QString& name, const QByteArray& contents = "x") {
        return cw::test::writeTestFile(dir, name, contents);
    }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("folder/inner")));
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral(".hiddenfolder")));
        makeFile(QStringLiteral("plain.exe"));
        makeFile(QStringLiteral(".hidden.exe"));
        makeFile(QStringLiteral("folder/inner/MSINFO32.EXE"));
        makeFile(QStringLiteral(".hiddenfolder/visible.exe"));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("loop")), dir.filePath(QStringLiteral("loop"))));
    }

    void linksGoToTheDesktopsHandler() {
        LinkCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &catcher, "openLink");
        QtShell shell;
        const Status handed = shell.open(QStringLiteral("mailto:support@chatterwisp.example.com"));
        QVERIFY2(handed.ok(), qPrintable(handed.message()));
        QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
        QCOMPARE(catcher.links, QList<QUrl>{QUrl(QStringLiteral("mailto:support@chatterwisp.example.com"))});
        const Status noLink = shell.open(QStringLiteral("no link at all"));
        QVERIFY(!noLink.ok());
        QVERIFY(noLink.message().contains(QStringLiteral("no link at all")));
        QVERIFY(!shell.open(QString()).ok());
    }

    void fileTest_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("exists");
        const QString root = dir.path();
        QTest::newRow("ordinary file") << root + "/plain.exe" << true;
        QTest::newRow("backslashes separate folders") << root + "\\folder\\inner\\MSINFO32.EXE" << true;
        QTest::newRow("mixed separators") << root + "/folder\\inner/MSINFO32.EXE" << true;
        QTest::newRow("a file in a hidden folder") << root + "/.hiddenfolder/visible.exe" << true;
        QTest::newRow("folder") << root + "/folder" << false;
        QTest::newRow("folder with a trailing backslash") << root + "\\folder\\" << false;
        QTest::newRow("hidden file") << root + "/.hidden.exe" << false;
        QTest::newRow("missing file") << root + "/none.exe" << false;
        QTest::newRow("file in a missing folder") << root + "/none/MSINFO32.EXE" << false;
        QTest::newRow("a file used as a folder") << root + "/plain.exe\\MSINFO32.EXE" << false;
        QTest::newRow("case matters on this system") << root + "/folder/inner/msinfo32.exe" << false;
    }
    void fileTest() {
        QFETCH(QString, path);
        QFETCH(bool, exists);
        const Result<bool> found = QtShell().fileExists(path);
        QVERIFY2(found.ok(), qPrintable(found.message()));
        QCOMPARE(found.value(), exists);
    }

    void unsearchablePathsAreErrors_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("empty") << QString();
        QTest::newRow("symbolic link loop") << dir.filePath(QStringLiteral("loop/MSINFO32.EXE"));
        QTest::newRow("name too long") << dir.filePath(QString(300, QLatin1Char('n')));
        QTest::newRow("NUL inside") << dir.filePath(QStringLiteral("plain.exe")) + QChar(u'\0') +
                                           QStringLiteral("x");
    }
    void unsearchablePathsAreErrors() {
        QFETCH(QString, path);
        const Result<bool> found = QtShell().fileExists(path);
        QVERIFY(!found.ok());
        QVERIFY(!found.message().isEmpty());
    }

    void startRefusesWhatIsNoProgram_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("empty") << QString();
        QTest::newRow("missing") << dir.filePath(QStringLiteral("none.exe"));
        QTest::newRow("not executable") << dir.filePath(QStringLiteral("plain.exe"));
        QTest::newRow("folder") << dir.filePath(QStringLiteral("folder"));
        QTest::newRow("command line") << QStringLiteral("/bin/sh -c true");
        QTest::newRow("NUL cuts nothing short")
            << QStringLiteral("/bin/true") + QChar(u'\0') + QStringLiteral("x");
    }
    void startRefusesWhatIsNoProgram() {
        QFETCH(QString, path);
        const Status started = QtShell().startProgram(path);
        QVERIFY(!started.ok());
        QVERIFY(!started.message().isEmpty());
    }

    void startRunsTheWholePathWithoutArguments() {
        const QString folder = dir.filePath(QStringLiteral("a b; echo \"x\" 'y' > z"));
        QVERIFY(QDir().mkpath(folder));
        const QString record = dir.filePath(QStringLiteral("started.txt"));
        const QString program = folder + QStringLiteral("/tool $HOME.sh");
        QFile script(program);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s|%s' \"$0\" \"$#\" > '" + QFile::encodeName(record) +
                     ".tmp'\nmv '" + QFile::encodeName(record) + ".tmp' '" + QFile::encodeName(record) +
                     "'\n");
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));

        QString written = program;
        written.replace(QLatin1Char('/'), QLatin1Char('\\'));
        const Status started = QtShell().startProgram(written);
        QVERIFY2(started.ok(), qPrintable(started.message()));

        auto recorded = [&record] {
            QFile file(record);
            return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        };
        QTRY_COMPARE_WITH_TIMEOUT(recorded(), program + QStringLiteral("|0"), 20000);
        QVERIFY(!QFile::exists(folder + QStringLiteral("/z")));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("z"))));
    }
};

QTEST_MAIN(TestQtShell)
#include "tst_QtShell.moc"
