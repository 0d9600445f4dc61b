// Finding the system-information tool in the registry and starting it: every path through the lookup, with
// recording fakes, and the whole way through real registry files and real program starts.
#include "FakeRegistry.h"
#include "RecordingMessageBoxes.h"
#include "RecordingShell.h"
#include "about/SysInfoLauncher.h"
#include "platform/qt/FileRegistry.h"
#include "platform/qt/QtShell.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <stdexcept>

using namespace cw;

namespace {

const QByteArray kPathKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const QByteArray kFolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
const QString kUnavailable = QStringLiteral("System Information Is Unavailable At This Time");

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray result;
    for (int value : values) {
        result.append(static_cast<char>(value));
    }
    return result;
}

QByteArray sz(const QByteArray& text) {
    return text + '\0';
}

} // namespace

class TestSysInfoLauncher : public QObject {
    Q_OBJECT

    struct Fakes {
        test::FakeRegistry registry;
        test::RecordingShell shell;
        test::RecordingMessageBoxes messages;
        SysInfoLauncher launcher{registry, shell, messages};
    };
    std::unique_ptr<Fakes> f;

    QStringList keysOpened() const {
        QStringList keys;
        for (const auto& lookup : f->registry.lookups) {
            keys.append(lookup.key);
        }
        return keys;
    }
    void expectUnavailableMessage() {
        QCOMPARE(f->messages.shown.size(), 1);
        QCOMPARE(f->messages.shown.front(), (test::RecordingMessageBoxes::Shown{kUnavailable, 0, QString()}));
        QVERIFY(f->shell.started.isEmpty());
    }

private slots:
    void init() { f = std::make_unique<Fakes>(); }

    void getKeyValueRendersByType_data() {
        QTest::addColumn<uint>("type");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("read");
        QTest::addColumn<QString>("value");

        QTest::newRow("string with its terminator")
            << uint(kRegSz) << sz("C:\\Tools\\info.exe") << true << "C:\\Tools\\info.exe";
        QTest::newRow("string without terminator keeps its last character")
            << uint(kRegSz) << QByteArray("abc") << true << "abc";
        QTest::newRow("only one terminator is dropped")
            << uint(kRegSz) << QByteArray("abc\0\0", 5) << true << QString::fromLatin1("abc\0", 4);
        QTest::newRow("a lone terminator") << uint(kRegSz) << QByteArray(1, '\0') << true << "";
        QTest::newRow("1024 bytes are read")
            << uint(kRegSz) << sz(QByteArray(1023, 'x')) << true << QString(1023, QLatin1Char('x'));
        QTest::newRow("1024 bytes without terminator")
            << uint(kRegSz) << QByteArray(1024, 'y') << true << QString(1024, QLatin1Char('y'));
        QTest::newRow("1025 bytes count as missing")
            << uint(kRegSz) << sz(QByteArray(1024, 'x')) << false << "";
        QTest::newRow("dword 03 02 01 00")
            << uint(kRegDword) << bytes({0x03, 0x02, 0x01, 0x00}) << true << "&h010203";
        QTest::newRow("dword 00 00 00 01")
            << uint(kRegDword) << bytes({0x00, 0x00, 0x00, 0x01}) << true << "&h01000000";
        QTest::newRow("dword 00 00 00 00")
            << uint(kRegDword) << bytes({0x00, 0x00, 0x00, 0x00}) << true << "&h000000";
        QTest::newRow("dword 0A FF 00 7B")
            << uint(kRegDword) << bytes({0x0A, 0xFF, 0x00, 0x7B}) << true << "&h7B00FF0A";
        QTest::newRow("dword 45 23 01 00")
            << uint(kRegDword) << bytes({0x45, 0x23, 0x01, 0x00}) << true << "&h012345";
        QTest::newRow("expandable string leaves the text")
            << uint(kRegExpandSz) << sz("%SystemRoot%\\x.exe") << true << "as passed";
        QTest::newRow("multi-string leaves the text")
            << uint(kRegMultiSz) << QByteArray("a\0b\0\0", 5) << true << "as passed";
        QTest::newRow("binary leaves the text")
            << uint(kRegBinary) << bytes({1, 2, 3}) << true << "as passed";
    }
    void getKeyValueRendersByType() {
        QFETCH(uint, type);
        QFETCH(QByteArray, data);
        QFETCH(bool, read);
        QFETCH(QString, value);
        f->registry.set(kHkeyLocalMachine, "SOFTWARE\\Example", "Value", type, data);

        QString keyVal = QStringLiteral("as passed");
        QCOMPARE(f->launcher.GetKeyValue(kHkeyLocalMachine, QStringLiteral("SOFTWARE\\Example"),
                                         QStringLiteral("Value"), keyVal),
                 read);
        QCOMPARE(keyVal, value);
    }

    void getKeyValueAsksForTheOneValueNamed() {
        f->registry.set(kHkeyLocalMachine, kPathKey, "PATH", kRegSz, sz("/usr/bin/tool"));
        QString keyVal;
        QVERIFY(f->launcher.GetKeyValue(kHkeyLocalMachine, QString::fromLatin1(kPathKey),
                                        QStringLiteral("PATH"), keyVal));
        QCOMPARE(keyVal, QStringLiteral("/usr/bin/tool"));
        QCOMPARE(f->registry.lookups,
                 (QList<test::FakeRegistry::Lookup>{
                     {kHkeyLocalMachine, QString::fromLatin1(kPathKey), QStringLiteral("PATH")}}));
    }

    void getKeyValueReportsWhatCannotBeRead_data() {
        QTest::addColumn<bool>("keyExists");
        QTest::addColumn<bool>("unreadable");
        QTest::newRow("missing key") << false << false;
        QTest::newRow("missing value") << true << false;
        QTest::newRow("registry unreadable") << true << true;
    }
    void getKeyValueReportsWhatCannotBeRead() {
        QFETCH(bool, keyExists);
        QFETCH(bool, unreadable);
        if (keyExists) {
            f->registry.set(kHkeyLocalMachine, "SOFTWARE\\Example", "Other", kRegSz, sz("x"));
        }
        f->registry.unreadable = unreadable;
        QString keyVal = QStringLiteral("old");
        QVERIFY(!f->launcher.GetKeyValue(kHkeyLocalMachine, QStringLiteral("SOFTWARE\\Example"),
                                         QStringLiteral("Value"), keyVal));
        QCOMPARE(keyVal, QString());
    }

    void getKeyValueRaisesForAValueWithoutData() {
        f->registry.set(kHkeyLocalMachine, "SOFTWARE\\Example", "Empty", kRegSz, QByteArray());
        QString keyVal = QStringLiteral("old");
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument,
                                 f->launcher.GetKeyValue(kHkeyLocalMachine,
                                                         QStringLiteral("SOFTWARE\\Example"),
                                                         QStringLiteral("Empty"), keyVal));
        QCOMPARE(keyVal, QStringLiteral("old"));
    }

    void firstPlaceIsStartedAsRead() {
        f->registry.set(kHkeyLocalMachine, kPathKey, "PATH", kRegSz, sz("/opt/sys info; x/tool \"1\""));
        f->registry.set(kHkeyLocalMachine, kFolderKey, "MSINFO", kRegSz, sz("/elsewhere"));
        f->launcher.StartSysInfo();

        QCOMPARE(f->shell.started, (QList<test::RecordingShell::Start>{{"/opt/sys info; x/tool \"1\"", 1}}));
        QVERIFY(f->shell.tested.isEmpty());
        QCOMPARE(keysOpened(), QStringList{QString::fromLatin1(kPathKey)});
        QVERIFY(f->messages.shown.isEmpty());
    }

    void secondPlaceNamesTheFolderOfTheProgram() {
        f->registry.set(kHkeyLocalMachine, kFolderKey, "MSINFO", kRegSz, sz("C:\\Program Files\\MSInfo"));
        f->shell.existingFiles.insert(QStringLiteral("C:\\Program Files\\MSInfo\\MSINFO32.EXE"));
        f->launcher.StartSysInfo();

        QCOMPARE(keysOpened(), (QStringList{QString::fromLatin1(kPathKey), QString::fromLatin1(kFolderKey)}));
        QCOMPARE(f->shell.tested, QStringList{QStringLiteral("C:\\Program Files\\MSInfo\\MSINFO32.EXE")});
        QCOMPARE(f->shell.started,
                 (QList<test::RecordingShell::Start>{{"C:\\Program Files\\MSInfo\\MSINFO32.EXE", 1}}));
        QVERIFY(f->messages.shown.isEmpty());
    }

    void unavailableToolShowsTheMessage_data() {
        QTest::addColumn<QByteArray>("pathType");   // "", "sz", "expand", "dword", "empty"
        QTest::addColumn<QByteArray>("folderType"); // "", "sz", "empty"
        QTest::addColumn<QByteArray>("shellSays");  // "missing", "unsearchable", "unstartable"
        QTest::addColumn<int>("keysTried");

        QTest::newRow("neither place") << QByteArray() << QByteArray() << QByteArray("missing") << 2;
        QTest::newRow("folder without the program")
            << QByteArray() << QByteArray("sz") << QByteArray("missing") << 2;
        QTest::newRow("folder cannot be searched")
            << QByteArray() << QByteArray("sz") << QByteArray("unsearchable") << 2;
        QTest::newRow("first place names a program that cannot start")
            << QByteArray("sz") << QByteArray("sz") << QByteArray("unstartable") << 1;
        QTest::newRow("first place of another type starts an empty path")
            << QByteArray("expand") << QByteArray("sz") << QByteArray("missing") << 1;
        QTest::newRow("first place without data")
            << QByteArray("empty") << QByteArray("sz") << QByteArray("missing") << 1;
        QTest::newRow("second place without data")
            << QByteArray() << QByteArray("empty") << QByteArray("missing") << 2;
    }
    void unavailableToolShowsTheMessage() {
        QFETCH(QByteArray, pathType);
        QFETCH(QByteArray, folderType);
        QFETCH(QByteArray, shellSays);
        QFETCH(int, keysTried);

        const QString program = QStringLiteral("/opt/info/tool");
        if (pathType == "sz") {
            f->registry.set(kHkeyLocalMachine, kPathKey, "PATH", kRegSz, sz(program.toLatin1()));
        } else if (pathType == "expand") {
            f->registry.set(kHkeyLocalMachine, kPathKey, "PATH", kRegExpandSz, sz(program.toLatin1()));
        } else if (pathType == "empty") {
            f->registry.set(kHkeyLocalMachine, kPathKey, "PATH", kRegSz, QByteArray());
        }
        if (folderType == "sz") {
            f->registry.set(kHkeyLocalMachine, kFolderKey, "MSINFO", kRegSz, sz("/opt/info"));
        } else if (folderType == "empty") {
            f->registry.set(kHkeyLocalMachine, kFolderKey, "MSINFO", kRegSz, QByteArray());
        }
        if (shellSays == "unsearchable") {
            f->shell.unsearchable.insert(QStringLiteral("/opt/info\\MSINFO32.EXE"));
        } else if (shellSays == "unstartable") {
            f->shell.unstartable.insert(program);
        }

        f->launcher.StartSysInfo();
        expectUnavailableMessage();
        QCOMPARE(keysOpened().size(), keysTried);
    }

    void eachClickStartsAnotherInstance() {
        f->registry.set(kHkeyLocalMachine, kPathKey, "PATH", kRegSz, sz("/usr/bin/tool"));
        f->launcher.StartSysInfo();
        f->launcher.StartSysInfo();
        QCOMPARE(f->shell.started.size(), 2);
        // Nothing is remembered between clicks: each one looks the value up again.
        QCOMPARE(f->registry.lookups.size(), 2);
    }

    // The real thing: registry files, the desktop shell and a program that records how it was started.
    void startsARealProgramWhosePathHoldsSpacesQuotesAndSemicolons() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString folder = dir.filePath(QStringLiteral("sys info; touch PWNED \"q\" $(id)"));
        QVERIFY(QDir().mkpath(folder));
        const QString record = dir.filePath(QStringLiteral("record.txt"));
        const QString program = folder + QStringLiteral("/MSINFO32.EXE");
        {
            QFile script(program);
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write("#!/bin/sh\nprintf '%s|%s\\n' \"$0\" \"$#\" >> '" + QFile::encodeName(record) +
                         "'\n");
            script.close();
            QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));
        }
        // The folder as a registry file writes it: backslashes and quotes escaped.
        QString escaped = folder;
        escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
            .replace(QLatin1Char('"'), QStringLiteral("\\\""));
        const QString regFile = dir.filePath(QStringLiteral("registry.reg"));
        {
            QFile reg(regFile);
            QVERIFY(reg.open(QIODevice::WriteOnly));
            reg.write("Windows Registry Editor Version 5.00\r\n\r\n"
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools Location]\r\n\"MSINFO\"=\"" +
                      escaped.toUtf8() + "\"\r\n");
        }
        FileRegistry registry({regFile}, {});
        QtShell shell;
        test::RecordingMessageBoxes messages;
        SysInfoLauncher launcher(registry, shell, messages);

        launcher.StartSysInfo();
        launcher.StartSysInfo();

        QVERIFY(messages.shown.isEmpty());
        const QString expected = program + QStringLiteral("|0\n");
        auto recorded = [&record] {
            QFile file(record);
            return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        };
        QTRY_COMPARE_WITH_TIMEOUT(recorded(), expected + expected, 20000);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("PWNED"))));
        QVERIFY(!QFile::exists(QDir::current().filePath(QStringLiteral("PWNED"))));
    }

    void realShellRefusesFolderAndTextThatIsNoProgram_data() {
        QTest::addColumn<QByteArray>("statement");
        QTest::newRow("folder whose MSINFO32.EXE is a folder") << QByteArray(
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools Location]\n\"MSINFO\"=\"@dir@\"\n");
        QTest::newRow("dword in the first place") << QByteArray(
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\n\"PATH\"=dword:00010203\n");
        QTest::newRow("first place names a missing file") << QByteArray(
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\n\"PATH\"=\"@dir@/none\"\n");
    }
    void realShellRefusesFolderAndTextThatIsNoProgram() {
        QFETCH(QByteArray, statement);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("MSINFO32.EXE")));
        const QString regFile = dir.filePath(QStringLiteral("registry.reg"));
        {
            QFile reg(regFile);
            QVERIFY(reg.open(QIODevice::WriteOnly));
            reg.write("REGEDIT4\n" + statement.replace("@dir@", QFile::encodeName(dir.path())));
        }
        FileRegistry registry({regFile}, {});
        QtShell shell;
        test::RecordingMessageBoxes messages;
        SysInfoLauncher(registry, shell, messages).StartSysInfo();
        QCOMPARE(messages.shown.size(), 1);
        QCOMPARE(messages.shown.front().text, kUnavailable);
    }
};

QTEST_MAIN(TestSysInfoLauncher)
#include "tst_SysInfoLauncher.moc"
