// Registry export files: what the reader makes of each kind of statement, what a stored value reads as, how
// files override each other and the built-in values, and where values are found.
#include "TestFiles.h"
#include "platform/qt/FileRegistry.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace cw;

Q_DECLARE_METATYPE(cw::RegistryFileValue)
Q_DECLARE_METATYPE(std::optional<cw::RegistryValue>)

namespace {

const QByteArray kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";
const QString kKey = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Example");

QByteArray utf16(const QString& text) {
    QStringEncoder encoder(QStringConverter::Utf16LE);
    return QByteArray("\xFF\xFE", 2) + QByteArray(encoder.encode(text));
}

/// Reads `subKey`'s value `name` below HKLM.
std::optional<RegistryValue> query(IRegistry& registry, const QString& subKey, const QString& name) {
    return registry.value(RegistryRoot::LocalMachine, subKey, name);
}

RegistryValue text(const QString& text) {
    return RegistryValue::fromText(text);
}

/// What the last statement of `contents` about value `name` of kKey stores, names compared without regard to
/// case.
std::optional<RegistryFileValue> stored(const RegistryFileContents& contents, const QString& name) {
    std::optional<RegistryFileValue> last;
    for (const RegistryFileEntry& entry : contents.entries) {
        if (entry.kind == RegistryFileEntry::Kind::Value &&
            entry.key.compare(kKey, Qt::CaseInsensitive) == 0 &&
            entry.name.compare(name, Qt::CaseInsensitive) == 0) {
            last = entry.value;
        }
    }
    return last;
}

} // namespace

class TestFileRegistry : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    int files = 0;

    QString writeFile(const QByteArray& contents) {
        return cw::test::writeTestFile(dir, QStringLiteral("file%1.reg").arg(++files), contents);
    }

private slots:
    void statements_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("name");
        QTest::addColumn<RegistryFileValue>("value");

        auto row = [](const char* title, const QByteArray& statement, const char* name, std::uint32_t type,
                      const QByteArray& data) {
            QTest::newRow(title) << kHeader + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Example]\r\n" + statement
                                 << QString::fromLatin1(name) << RegistryFileValue{type, data};
        };
        row("string", "\"PATH\"=\"/usr/bin/tool\"", "PATH", kRegSz, QByteArray("/usr/bin/tool\0", 14));
        row("escapes", "\"Path\"=\"C:\\\\Program Files\\\\\\\"x\\\"\"", "Path", kRegSz,
            QByteArray("C:\\Program Files\\\"x\"\0", 21));
        row("escaped name", "\"a \\\"b\\\" \\\\c\"=\"v\"", "a \"b\" \\c", kRegSz, QByteArray("v\0", 2));
        row("other backslashes stay", "\"p\"=\"a\\nb\"", "p", kRegSz, QByteArray("a\\nb\0", 5));
        row("empty string", "\"e\"=\"\"", "e", kRegSz, QByteArray(1, '\0'));
        row("default value", "@=\"default\"", "", kRegSz, QByteArray("default\0", 8));
        row("blanks around =", "\"s\" = \"v\"  ", "s", kRegSz, QByteArray("v\0", 2));
        row("dword", "\"d\"=dword:00010203", "d", kRegDword, QByteArray("\x03\x02\x01\x00", 4));
        row("short dword", "\"d\"=dword:7b", "d", kRegDword, QByteArray("\x7b\0\0\0", 4));
        row("binary", "\"b\"=hex:0a,ff,00,7B", "b", kRegBinary, QByteArray("\x0a\xff\x00\x7b", 4));
        row("empty binary", "\"b\"=hex:", "b", kRegBinary, QByteArray());
        row("continued lines", "\"b\"=hex:01,02,\\\r\n  03,04,\\\r\n  05", "b", kRegBinary,
            QByteArray("\1\2\3\4\5", 5));
        row("typed hex", "\"n\"=hex(b):01,00,00,00,00,00,00,00", "n", 11, QByteArray("\1\0\0\0\0\0\0\0", 8));
        row("expandable string in UTF-16", "\"x\"=hex(2):25,00,41,00,25,00,00,00", "x", kRegExpandSz,
            QByteArray("%A%\0", 4));
        row("multi-string in UTF-16", "\"m\"=hex(7):61,00,00,00,62,00,00,00,00,00", "m", kRegMultiSz,
            QByteArray("a\0b\0\0", 5));
        row("names ignore case", "\"PaTh\"=\"x\"", "path", kRegSz, QByteArray("x\0", 2));
        row("comments are skipped", "; \"PATH\"=\"no\"\r\n\"PATH\"=\"yes\"", "PATH", kRegSz,
            QByteArray("yes\0", 4));
        row("later statement wins", "\"v\"=\"1\"\r\n\"v\"=dword:00000002", "v", kRegDword,
            QByteArray("\2\0\0\0", 4));
        row("malformed lines are skipped",
            "\"v\"=dword:123456789\r\n\"w\"=hex:1,zz\r\n\"x\"=\"open\r\n"
            "\"v\"=\"ok\"",
            "v", kRegSz, QByteArray("ok\0", 3));

        QTest::newRow("REGEDIT4 keeps hex strings as they are")
            << QByteArray("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Example]\n\"x\"=hex(2):41,42,00\n")
            << "x" << RegistryFileValue{kRegExpandSz, QByteArray("AB\0", 3)};
        QTest::newRow("UTF-16 file")
            << utf16(QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Example]\r\n\"t\"=\"caf\u00e9\"\r\n"))
            << "t" << RegistryFileValue{kRegSz, QStringLiteral("caf\u00e9").toLocal8Bit() + '\0'};
        QTest::newRow("key written with a closing backslash")
            << kHeader + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Example\\]\n\"t\"=\"x\"\n"
            << "t" << RegistryFileValue{kRegSz, QByteArray("x\0", 2)};
        QTest::newRow("UTF-8 with byte-order mark")
            << QByteArray("\xEF\xBB\xBF") + kHeader + "[HKLM\\Software\\EXAMPLE]\n\"t\"=\"x\"\n"
            << "t" << RegistryFileValue{kRegSz, QByteArray("x\0", 2)};
    }
    void statements() {
        QFETCH(QByteArray, text);
        QFETCH(QString, name);
        QFETCH(RegistryFileValue, value);
        const std::optional<RegistryFileValue> written = stored(parseRegistryFile(text), name);
        QVERIFY(written);
        QCOMPARE(written->type, value.type);
        QCOMPARE(written->data, value.data);
        // The registry made of the file hands out the last statement's value, read by its type.
        FileRegistry registry({writeFile(text)}, {});
        QCOMPARE(query(registry, QStringLiteral("SOFTWARE\\Example"), name), FileRegistry::readable(value));
    }

    void storedValuesReadByTheirType_data() {
        QTest::addColumn<RegistryFileValue>("stored");
        QTest::addColumn<std::optional<RegistryValue>>("read");
        const auto number = [](std::uint32_t n) { return std::optional(RegistryValue::fromNumber(n)); };
        const std::optional<RegistryValue> other = RegistryValue{RegistryValue::Kind::Other, QString(), 0};
        const std::optional<RegistryValue> empty = RegistryValue{};

        QTest::newRow("string with its terminator")
            << RegistryFileValue{kRegSz, QByteArray("C:\\Tools\\info.exe\0", 18)}
            << std::optional(text(QStringLiteral("C:\\Tools\\info.exe")));
        QTest::newRow("string without terminator keeps its last character")
            << RegistryFileValue{kRegSz, "abc"} << std::optional(text(QStringLiteral("abc")));
        QTest::newRow("only one terminator is dropped")
            << RegistryFileValue{kRegSz, QByteArray("abc\0\0", 5)}
            << std::optional(text(QString::fromLatin1("abc\0", 4)));
        QTest::newRow("a lone terminator")
            << RegistryFileValue{kRegSz, QByteArray(1, '\0')} << std::optional(text(QString()));
        QTest::newRow("1024 bytes are read") << RegistryFileValue{kRegSz, QByteArray(1023, 'x') + '\0'}
                                             << std::optional(text(QString(1023, QLatin1Char('x'))));
        QTest::newRow("1024 bytes without terminator")
            << RegistryFileValue{kRegSz, QByteArray(1024, 'y')}
            << std::optional(text(QString(1024, QLatin1Char('y'))));
        QTest::newRow("1025 bytes count as missing")
            << RegistryFileValue{kRegSz, QByteArray(1024, 'x') + '\0'} << std::optional<RegistryValue>();
        QTest::newRow("1025 bytes of another type count as missing")
            << RegistryFileValue{kRegBinary, QByteArray(1025, 'b')} << std::optional<RegistryValue>();
        QTest::newRow("dword, least significant byte first")
            << RegistryFileValue{kRegDword, QByteArray("\x03\x02\x01\x00", 4)} << number(0x00010203);
        QTest::newRow("dword with its highest byte set")
            << RegistryFileValue{kRegDword, QByteArray("\x0A\xFF\x00\x7B", 4)} << number(0x7B00FF0A);
        QTest::newRow("dword of two bytes is no number")
            << RegistryFileValue{kRegDword, QByteArray("\x01\x02", 2)} << other;
        QTest::newRow("expandable string")
            << RegistryFileValue{kRegExpandSz, QByteArray("%A%\0", 4)} << other;
        QTest::newRow("multi-string") << RegistryFileValue{kRegMultiSz, QByteArray("a\0b\0\0", 5)} << other;
        QTest::newRow("binary") << RegistryFileValue{kRegBinary, QByteArray("\1\2\3", 3)} << other;
        QTest::newRow("string without data") << RegistryFileValue{kRegSz, QByteArray()} << empty;
        QTest::newRow("binary without data") << RegistryFileValue{kRegBinary, QByteArray()} << empty;
    }
    void storedValuesReadByTheirType() {
        QFETCH(RegistryFileValue, stored);
        QFETCH(std::optional<RegistryValue>, read);
        QCOMPARE(FileRegistry::readable(stored), read);
    }

    void malformedStatementsAreReported() {
        const auto contents =
            parseRegistryFile(kHeader + "\"early\"=\"x\"\n[HKEY_NOWHERE\\X]\n[HKLM\\A\n"
                                        "[HKLM\\B]\nnoquote=1\n\"v\"=dword:\n\"ok\"=\"y\"\n");
        QVERIFY(contents.recognised);
        QCOMPARE(contents.problems.size(), 5);
        QVERIFY(contents.problems.front().startsWith(QStringLiteral("line 3:")));
        const QList<RegistryFileEntry> expected{
            {RegistryFileEntry::Kind::Key, QStringLiteral("HKEY_LOCAL_MACHINE\\B"), QString(), {}},
            {RegistryFileEntry::Kind::Value,
             QStringLiteral("HKEY_LOCAL_MACHINE\\B"),
             QStringLiteral("ok"),
             {kRegSz, QByteArray("y\0", 2)}}};
        QCOMPARE(contents.entries, expected);
    }

    void filesThatAreNoRegistryFilesAreIgnored_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("why");
        const QString noRegistryFile = QStringLiteral(" is not a registry file");
        QTest::newRow("empty") << QByteArray() << noRegistryFile;
        QTest::newRow("no header") << QByteArray("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Example]\n\"v\"=\"x\"\n")
                                   << noRegistryFile;
        QTest::newRow("other header") << QByteArray("Windows Registry Editor Version 6.00\n"
                                                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Example]\n\"v\"=\"x\"\n")
                                      << noRegistryFile;
        QByteArray huge = kHeader + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Example]\n\"v\"=\"x\"\n";
        huge.append(QByteArray(FileRegistry::kMaxFileBytes, ';'));
        QTest::newRow("larger than 4 MiB") << huge << QStringLiteral(" is larger than 4194304 bytes");
    }
    void filesThatAreNoRegistryFilesAreIgnored() {
        QFETCH(QByteArray, text);
        QFETCH(QString, why);
        FileRegistry registry({}, {});
        const QString file = writeFile(text);
        const Status read = registry.readFile(file);
        QVERIFY(!read.ok());
        QVERIFY2(read.message().startsWith(file) && read.message().contains(why), qPrintable(read.message()));
        QCOMPARE(query(registry, QStringLiteral("SOFTWARE\\Example"), QStringLiteral("v")), std::nullopt);
    }

    void emptyKeyNamesAndOverlongValuesAreReported() {
        QByteArray text = kHeader + "[]\n[-]\n[HKLM\\Open\n[HKLM\\Long]\n\"ok\"=\"";
        text += QByteArray(1023, 'x') + "\"\n\"long\"=\"" + QByteArray(1024, 'y') + "\"\n";
        const auto contents = parseRegistryFile(text);
        QCOMPARE(
            contents.problems,
            (QStringList{QStringLiteral("line 3: empty key name"), QStringLiteral("line 4: empty key name"),
                         QStringLiteral("line 5: unfinished key name"),
                         QStringLiteral("line 8: value \"long\" holds 1025 bytes; values longer than "
                                        "1024 bytes count as missing")}));
        // The overlong value is still a statement of the file: it overrides what came before it.
        QCOMPARE(contents.entries.size(), 3);
        QCOMPARE(contents.entries.back().value.data.size(), 1025);
    }

    void nothingIsReadUntilAValueIsAskedFor() {
        const QString file = writeFile(kHeader + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Example]\n\"v\"=\"1\"\n");
        FileRegistry registry({file}, {});
        QVERIFY(!registry.loaded());
        // The file goes before the first lookup: had it been read when the registry was made, the value would
        // be there.
        QVERIFY(QFile::remove(file));
        QCOMPARE(query(registry, QStringLiteral("SOFTWARE\\Example"), QStringLiteral("v")), std::nullopt);
        QVERIFY(registry.loaded());
    }

    void placesThatAreNoRegularFilesAreSkippedWithOneLineEach_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("logged");
        QTest::newRow("FIFO") << "fifo"
                              << "is a FIFO";
        QTest::newRow("folder") << "folder"
                                << "is a folder";
        QTest::newRow("endless device") << "device"
                                        << "is a device";
        QTest::newRow("over the bound") << "huge"
                                        << "is larger than 4194304 bytes";
    }
    void placesThatAreNoRegularFilesAreSkippedWithOneLineEach() {
        QFETCH(QString, kind);
        QFETCH(QString, logged);
        QString place = dir.filePath(QStringLiteral("place-%1.reg").arg(kind));
        if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(place).constData(), 0600), 0);
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(place));
        } else if (kind == QLatin1String("device")) {
            place = QStringLiteral("/dev/zero");
        } else {
            QByteArray huge = kHeader + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Example]\n\"v\"=\"huge\"\n";
            huge.append(QByteArray(FileRegistry::kMaxFileBytes, ';'));
            place = cw::test::writeTestFile(dir, QStringLiteral("place-huge.reg"), huge);
        }
        const QString good = writeFile(kHeader + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Example]\n\"v\"=\"good\"\n");
        FileRegistry registry({good, place}, {});
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^skipped: %1 %2$")
                                                                  .arg(QRegularExpression::escape(place),
                                                                       QRegularExpression::escape(logged))));
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
        QCOMPARE(query(registry, QStringLiteral("SOFTWARE\\Example"), QStringLiteral("v")),
                 text(QStringLiteral("good")));
    }

    void laterFilesOverrideEarlierOnesAndTheBuiltIns() {
        const QString key = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
        const QList<RegistryText> builtIns{
            {RegistryRoot::LocalMachine, key, QStringLiteral("PATH"), QStringLiteral("/built/in")},
            {RegistryRoot::LocalMachine, key, QStringLiteral("Kept"), QStringLiteral("k")},
            {RegistryRoot::LocalMachine, key, QStringLiteral("Built"), QStringLiteral("b")}};
        const QString system =
            writeFile(kHeader + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO]\n"
                                "\"PATH\"=\"/system\"\n\"Other\"=\"s\"\n");
        const QString user =
            writeFile(kHeader + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\MICROSOFT\\Shared Tools\\MSINFO]\n"
                                "\"path\"=\"/user\"\n\"Kept\"=-\n");
        FileRegistry registry({system, dir.filePath(QStringLiteral("missing.reg")), user},
                              [builtIns] { return builtIns; });

        const QString msinfo = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
        QCOMPARE(query(registry, msinfo, QStringLiteral("PATH")), text(QStringLiteral("/user")));
        QCOMPARE(query(registry, msinfo, QStringLiteral("Other")), text(QStringLiteral("s")));
        QCOMPARE(query(registry, msinfo, QStringLiteral("Built")), text(QStringLiteral("b")));
        QCOMPARE(query(registry, msinfo, QStringLiteral("Kept")), std::nullopt);
    }

    void deletedKeysTakeTheirSubKeysAlong() {
        FileRegistry registry({writeFile(kHeader + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\B]\n\"v\"=\"1\"\n"
                                                   "[HKEY_LOCAL_MACHINE\\SOFTWARE\\AB]\n\"v\"=\"2\"\n"
                                                   "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\n\"w\"=\"lost\"\n")},
                              {});
        QCOMPARE(query(registry, QStringLiteral("SOFTWARE\\A\\B"), QStringLiteral("v")), std::nullopt);
        QCOMPARE(query(registry, QStringLiteral("SOFTWARE\\A"), QStringLiteral("w")), std::nullopt);
        QCOMPARE(query(registry, QStringLiteral("SOFTWARE\\AB"), QStringLiteral("v")),
                 text(QStringLiteral("2")));
    }

    void valuesAreFoundByRootKeyAndNameWithoutRegardToCase() {
        FileRegistry registry({writeFile(kHeader + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Deep\\Key]\n"
                                                   "\"v\"=\"0123456789\"\n@=\"default\"\n"
                                                   "[HKCU\\SOFTWARE\\Deep\\Key]\n\"u\"=\"user\"\n")},
                              {});
        const RegistryValue v = text(QStringLiteral("0123456789"));
        QCOMPARE(registry.value(RegistryRoot::LocalMachine, QStringLiteral("software\\deep\\KEY"),
                                QStringLiteral("V")),
                 v);
        QCOMPARE(registry.value(RegistryRoot::LocalMachine, QStringLiteral("SOFTWARE\\Deep\\Key"), QString()),
                 text(QStringLiteral("default")));
        // A key that only holds sub-keys has no values; a prefix of a key name is no key; other roots are
        // apart.
        QCOMPARE(
            registry.value(RegistryRoot::LocalMachine, QStringLiteral("SOFTWARE\\Deep"), QStringLiteral("v")),
            std::nullopt);
        QCOMPARE(registry.value(RegistryRoot::LocalMachine, QStringLiteral("SOFTWARE\\Deep\\Ke"),
                                QStringLiteral("v")),
                 std::nullopt);
        QCOMPARE(registry.value(RegistryRoot::CurrentUser, QStringLiteral("SOFTWARE\\Deep\\Key"),
                                QStringLiteral("v")),
                 std::nullopt);
        QCOMPARE(registry.value(RegistryRoot::CurrentUser, QStringLiteral("SOFTWARE\\Deep\\Key"),
                                QStringLiteral("u")),
                 text(QStringLiteral("user")));
        QCOMPARE(registry.value(RegistryRoot::LocalMachine, QStringLiteral("SOFTWARE\\Deep\\Key"),
                                QStringLiteral("u")),
                 std::nullopt);
    }

    void standardFilesAreTheSystemsThenTheUsers() {
        const bool wasSet = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
        const QStringList files = FileRegistry::standardFiles();
        if (wasSet) {
            qputenv("XDG_CONFIG_HOME", saved);
        } else {
            qunsetenv("XDG_CONFIG_HOME");
        }
        QCOMPARE(files, (QStringList{QStringLiteral("/etc/chatterwisp/registry.reg"),
                                     dir.filePath(QStringLiteral("chatterwisp/registry.reg"))}));
    }
};

QTEST_MAIN(TestFileRegistry)
#include "tst_FileRegistry.moc"
