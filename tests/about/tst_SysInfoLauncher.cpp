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
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace cw;

namespace {

const QString kPathKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString kFolderKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString kUnavailable = QStringLiteral("System Information Is Unavailable At This Time");
constexpr RegistryRoot kMachine = RegistryRoot::LocalMachine;

RegistryValue text(const QString& text) {
    return RegistryValue::fromText(text);
}

RegistryValue ofKind(RegistryValue::Kind kind) {
    return RegistryValue{kind, QString(), 0};
}

} // namespace

Q_DECLARE_METATYPE(cw::RegistryValue)
Q_DECLARE_METATYPE(std::optional<QString>)

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
        QCOMPARE(f->messages.shown.front(),
                 (test::RecordingMessageBoxes::Shown{kUnavailable, MessageIcon::None, QString()}));
        QVERIFY(f->shell.started.isEmpty());
    }

private slots:
    void init() { f = std::make_unique<Fakes>(); }

    void getKeyValueRendersByType_data() {
        QTest::addColumn<RegistryValue>("stored");
        QTest::addColumn<QString>("value");

        QTest::newRow("string") << text(QStringLiteral("C:\\Tools\\info.exe")) << "C:\\Tools\\info.exe";
        QTest::newRow("empty string") << text(QString()) << "";
        QTest::newRow("number below 2^24 shows six digits")
            << RegistryValue::fromNumber(0x00010203) << "&h010203";
        QTest::newRow("number with its highest byte set")
            << RegistryValue::fromNumber(0x01000000) << "&h01000000";
        QTest::newRow("zero") << RegistryValue::fromNumber(0) << "&h000000";
        QTest::newRow("hex digits in capitals") << RegistryValue::fromNumber(0x7B00FF0A) << "&h7B00FF0A";
        QTest::newRow("number 0x12345") << RegistryValue::fromNumber(0x00012345) << "&h012345";
        QTest::newRow("any other type gives no text") << ofKind(RegistryValue::Kind::Other) << "";
    }
    void getKeyValueRendersByType() {
        QFETCH(RegistryValue, stored);
        QFETCH(QString, value);
        f->registry.set(kMachine, QStringLiteral("SOFTWARE\\Example"), QStringLiteral("Value"), stored);

        const auto read =
            f->launcher.GetKeyValue(kMachine, QStringLiteral("SOFTWARE\\Example"), QStringLiteral("Value"));
        QVERIFY2(read.ok(), qPrintable(read.message()));
        QCOMPARE(read.value(), std::optional<QString>(value));
    }

    void getKeyValueAsksForTheOneValueNamed() {
        f->registry.set(kMachine, kPathKey, QStringLiteral("PATH"), text(QStringLiteral("/usr/bin/tool")));
        const auto read = f->launcher.GetKeyValue(kMachine, kPathKey, QStringLiteral("PATH"));
        QVERIFY(read.ok());
        QCOMPARE(read.value(), std::optional<QString>(QStringLiteral("/usr/bin/tool")));
        QCOMPARE(f->registry.lookups,
                 (QList<test::FakeRegistry::Lookup>{{kMachine, kPathKey, QStringLiteral("PATH")}}));
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
            f->registry.set(kMachine, QStringLiteral("SOFTWARE\\Example"), QStringLiteral("Other"),
                            text(QStringLiteral("x")));
        }
        f->registry.unreadable = unreadable;
        const auto read =
            f->launcher.GetKeyValue(kMachine, QStringLiteral("SOFTWARE\\Example"), QStringLiteral("Value"));
        QVERIFY(read.ok());
        QCOMPARE(read.value(), std::nullopt);
    }

    void getKeyValueRefusesAValueWithoutData() {
        f->registry.set(kMachine, QStringLiteral("SOFTWARE\\Example"), QStringLiteral("Empty"),
                        ofKind(RegistryValue::Kind::Empty));
        const auto read =
            f->launcher.GetKeyValue(kMachine, QStringLiteral("SOFTWARE\\Example"), QStringLiteral("Empty"));
        QVERIFY(!read.ok());
        QVERIFY(read.message().contains(QStringLiteral("Empty")));
    }

    void firstPlaceIsStartedAsRead() {
        f->registry.set(kMachine, kPathKey, QStringLiteral("PATH"),
                        text(QStringLiteral("/opt/sys info; x/tool \"1\"")));
        f->registry.set(kMachine, kFolderKey, QStringLiteral("MSINFO"), text(QStringLiteral("/elsewhere")));
        f->launcher.StartSysInfo();

        QCOMPARE(f->shell.started, QStringList{QStringLiteral("/opt/sys info; x/tool \"1\"")});
        QVERIFY(f->shell.tested.isEmpty());
        QCOMPARE(keysOpened(), QStringList{kPathKey});
        QVERIFY(f->messages.shown.isEmpty());
    }

    void secondPlaceNamesTheFolderOfTheProgram() {
        f->registry.set(kMachine, kFolderKey, QStringLiteral("MSINFO"),
                        text(QStringLiteral("C:\\Program Files\\MSInfo")));
        f->shell.existingFiles.insert(QStringLiteral("C:\\Program Files\\MSInfo\\MSINFO32.EXE"));
        f->launcher.StartSysInfo();

        QCOMPARE(keysOpened(), (QStringList{kPathKey, kFolderKey}));
        QCOMPARE(f->shell.tested, QStringList{QStringLiteral("C:\\Program Files\\MSInfo\\MSINFO32.EXE")});
        QCOMPARE(f->shell.started, QStringList{QStringLiteral("C:\\Program Files\\MSInfo\\MSINFO32.EXE")});
        QVERIFY(f->messages.shown.isEmpty());
    }

    void unavailableToolShowsTheMessage_data() {
        QTest::addColumn<QByteArray>("pathType");   // "", "sz", "other", "empty"
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
            << QByteArray("other") << QByteArray("sz") << QByteArray("missing") << 1;
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
        const QString path = QStringLiteral("PATH");
        if (pathType == "sz") {
            f->registry.set(kMachine, kPathKey, path, text(program));
        } else if (pathType == "other") {
            f->registry.set(kMachine, kPathKey, path, ofKind(RegistryValue::Kind::Other));
        } else if (pathType == "empty") {
            f->registry.set(kMachine, kPathKey, path, ofKind(RegistryValue::Kind::Empty));
        }
        const QString folderName = QStringLiteral("MSINFO");
        if (folderType == "sz") {
            f->registry.set(kMachine, kFolderKey, folderName, text(QStringLiteral("/opt/info")));
        } else if (folderType == "empty") {
            f->registry.set(kMachine, kFolderKey, folderName, ofKind(RegistryValue::Kind::Empty));
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
        f->registry.set(kMachine, kPathKey, QStringLiteral("PATH"), text(QStringLiteral("/usr/bin/tool")));
        f->launcher.StartSysInfo();
        f->launcher.StartSysInfo();
        QCOMPARE(f->shell.started.size(), 2);
        // Nothing is remembered between clicks: each one looks the value up again.
        QCOMPARE(f->registry.lookups.size(), 2);
    }

    void builtInValueNamesTheFirstSystemInformationProgramFound() {
        QTemporaryDir bin;
        QVERIFY(bin.isValid());
        const QStringList programs = SysInfoLauncher::systemInformationPrograms();
        QVERIFY(programs.size() >= 3);
        // Two candidates installed, the later one of them first: the earlier one in the list wins.
        for (const QString& name : {programs[2], programs[1]}) {
            QFile program(bin.filePath(name));
            QVERIFY(program.open(QIODevice::WriteOnly));
            program.write("#!/bin/sh\n");
            program.close();
            QVERIFY(program.setPermissions(program.permissions() | QFileDevice::ExeOwner));
        }
        const QByteArray savedPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin.path()));
        const QList<RegistryText> builtIns = SysInfoLauncher::builtInRegistryValues();
        qputenv("PATH", QFile::encodeName(bin.filePath(QStringLiteral("nothing-here"))));
        const QList<RegistryText> none = SysInfoLauncher::builtInRegistryValues();
        qputenv("PATH", savedPath);

        QVERIFY(none.isEmpty());
        // Through a registry that holds them, the launcher starts the program they name.
        FileRegistry registry({}, [builtIns] { return builtIns; });
        test::RecordingShell shell;
        test::RecordingMessageBoxes messages;
        SysInfoLauncher(registry, shell, messages).StartSysInfo();
        QCOMPARE(shell.started, QStringList{bin.filePath(programs[1])});
        QVERIFY(messages.shown.isEmpty());
    }

    void aRegistryFileOverridesOrRemovesTheBuiltInValue() {
        QTemporaryDir dir;
        const auto builtIns = [] {
            return QList<RegistryText>{
                {RegistryRoot::LocalMachine, kPathKey, QStringLiteral("PATH"), QStringLiteral("/built/in")}};
        };
        const auto startWith = [&](const QByteArray& statements) {
            const QString file = dir.filePath(QStringLiteral("registry.reg"));
            QFile reg(file);
            if (!reg.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                return QStringList{QStringLiteral("cannot write ") + file};
            }
            reg.write("REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\n" +
                      statements);
            reg.close();
            FileRegistry registry({file}, builtIns);
            test::RecordingShell shell;
            shell.existingFiles.insert(QStringLiteral("/folder\\MSINFO32.EXE"));
            test::RecordingMessageBoxes messages;
            SysInfoLauncher(registry, shell, messages).StartSysInfo();
            return shell.started;
        };
        const QByteArray folder =
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools Location]\n\"MSINFO\"=\"/folder\"\n";
        QCOMPARE(startWith(folder), QStringList{QStringLiteral("/built/in")});
        QCOMPARE(startWith("\"PATH\"=\"/from/file\"\n" + folder), QStringList{QStringLiteral("/from/file")});
        QCOMPARE(startWith("\"PATH\"=-\n" + folder), QStringList{QStringLiteral("/folder\\MSINFO32.EXE")});
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
