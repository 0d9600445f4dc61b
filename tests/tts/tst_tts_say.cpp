// The say developer tool: it writes what it would speak to a WAV file with the timeline, speaks on its
// silent clock with the same words, and reads its request only from a regular file of a text's size. Away
// from the build tree it speaks through the speech module under its own prefix, and fails without one.
#include "../support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class TestTtsSay : public QObject {
    Q_OBJECT
private slots:
    void writesAWavFileAndItsTimeline();
    void speaksSilentlyWithTheSameWords();
    void readsTheRequestFromARegularFile();
    void refusesAFileThatIsNoRegularTextFile_data();
    void refusesAFileThatIsNoRegularTextFile();
    void findsTheSpeechModuleUnderItsOwnPrefixOrFails();
    void choosesEitherVoiceAndFallsBackWithoutTheNaturalOne();

private:
    static QString run(const QStringList& args) {
        QProcess say;
        say.start(QStringLiteral(CW_SAY_PROGRAM), args);
        if (!say.waitForFinished(60000) || say.exitCode() != 0) {
            return QStringLiteral("failed: ") + QString::fromUtf8(say.readAllStandardError());
        }
        return QString::fromUtf8(say.readAllStandardOutput());
    }
    static QStringList words(const QString& timeline) {
        QStringList out;
        const QRegularExpression word(QStringLiteral("word \\d+ \\d+ \"([^\"]*)\""));
        for (auto it = word.globalMatch(timeline); it.hasNext();) {
            out << it.next().captured(1);
        }
        return out;
    }
};

void TestTtsSay::writesAWavFileAndItsTimeline() {
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("out.wav"));
    const QString timeline =
        run({"--wav", wav, "\\Pit=200\\\\Spd=250\\\\Chr=\\Hello there, \\Mrk=2\\world."});
    QCOMPARE(words(timeline), (QStringList{"Hello", "there,", "world."}));
    QVERIFY(timeline.contains(QStringLiteral("bookmark 2")));

    QFile file(wav);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith("RIFF") && bytes.mid(8, 8) == "WAVEfmt ");
    const auto u32 = [&](int at) {
        return quint32(quint8(bytes[at])) | quint32(quint8(bytes[at + 1])) << 8 |
               quint32(quint8(bytes[at + 2])) << 16 | quint32(quint8(bytes[at + 3])) << 24;
    };
    const quint32 rate = u32(24);
    const quint32 dataBytes = u32(40);
    QCOMPARE(qsizetype(dataBytes) + 44, bytes.size());
    // The file lasts as long as the timeline says.
    const QRegularExpressionMatch end = QRegularExpression(QStringLiteral("(\\d+) end")).match(timeline);
    QVERIFY(end.hasMatch());
    QCOMPARE(qint64(dataBytes / 2) * 1000 / rate, end.captured(1).toLongLong());
}

void TestTtsSay::speaksSilentlyWithTheSameWords() {
    const QString request = QStringLiteral("\\Spd=350\\Quick and quiet.");
    const QString live = run({"--silent", request});
    QVERIFY2(live.contains(QStringLiteral("started")) && live.contains(QStringLiteral("end (silent)")),
             qPrintable(live));
    QCOMPARE(words(live), words(run({"--dry", request})));
}

void TestTtsSay::readsTheRequestFromARegularFile() {
    QTemporaryDir dir;
    const QString request = QStringLiteral("\\Spd=300\\Caf\u00e9 au lait, \\Mrk=7\\please.");
    QFile file(dir.filePath(QStringLiteral("request.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(request.toUtf8());
    file.close();
    const QString fromFile = run({"--dry", "--file", file.fileName()});
    QVERIFY2(fromFile.contains(QStringLiteral("bookmark 7")), qPrintable(fromFile));
    QCOMPARE(fromFile, run({"--dry", request}));
}

void TestTtsSay::refusesAFileThatIsNoRegularTextFile_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("FIFO with no writer") << "fifo"
                                         << "is a FIFO, not a regular file";
    QTest::newRow("endless device") << "/dev/zero"
                                    << "/dev/zero is a device, not a regular file";
    QTest::newRow("folder") << "folder"
                            << "is a folder, not a regular file";
    QTest::newRow("over the text size") << "huge"
                                        << "is larger than 268435456 bytes";
    QTest::newRow("missing") << "missing"
                             << "does not exist";
}
void TestTtsSay::refusesAFileThatIsNoRegularTextFile() {
    QFETCH(QString, kind);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QString path = dir.filePath(kind);
    if (kind.startsWith(QLatin1Char('/'))) {
        path = kind;
    } else if (kind != QLatin1String("missing")) {
        // "huge": one byte more than the most text the program takes in.
        QVERIFY(cw::test::makeUnreadablePlace(kind, path, 256LL * 1024 * 1024 + 1));
    }
    for (const char* mode : {"--dry", "--wav"}) {
        QStringList args{QString::fromLatin1(mode), "--file", path};
        if (QLatin1String(mode) == QLatin1String("--wav")) {
            args.insert(1, dir.filePath(QStringLiteral("out.wav")));
        }
        QProcess say;
        say.start(QStringLiteral(CW_SAY_PROGRAM), args);
        QVERIFY2(say.waitForFinished(60000), "say did not return");
        QCOMPARE(say.exitStatus(), QProcess::NormalExit);
        QCOMPARE(say.exitCode(), 2);
        const QString error = QString::fromUtf8(say.readAllStandardError());
        QVERIFY2(error.startsWith(QStringLiteral("say: ")) && error.contains(message), qPrintable(error));
        QVERIFY(say.readAllStandardOutput().isEmpty());
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("out.wav"))));
    }
}

void TestTtsSay::findsTheSpeechModuleUnderItsOwnPrefixOrFails() {
    if (QFile::exists(QStringLiteral(CW_INSTALLED_MODULE_DIR "/" CW_FLITE_MODULE_NAME))) {
        QSKIP("a speech module is installed on this machine; a program without its own would use it");
    }
    // A copy of the tool in a prefix of its own, as a package unpacked anywhere would have it.
    QTemporaryDir prefix;
    const QString program = prefix.filePath(QStringLiteral("bin/say"));
    QVERIFY(QDir().mkpath(prefix.filePath(QStringLiteral("bin"))));
    QVERIFY(QFile::copy(QStringLiteral(CW_SAY_PROGRAM), program));
    QVERIFY(QFile::setPermissions(program, QFile::permissions(QStringLiteral(CW_SAY_PROGRAM))));
    const QString wav = prefix.filePath(QStringLiteral("out.wav"));
    const auto sayHello = [&](QProcess& say) {
        say.start(program, {QStringLiteral("--wav"), wav, QStringLiteral("Hello there.")});
        QVERIFY2(say.waitForFinished(60000), "say did not return");
        QCOMPARE(say.exitStatus(), QProcess::NormalExit);
    };

    // Without the module it says why and writes nothing, instead of reporting silence as success.
    QProcess without;
    sayHello(without);
    QCOMPARE(without.exitCode(), 1);
    QVERIFY2(QString::fromUtf8(without.readAllStandardError()).contains(QStringLiteral("speech module")),
             "the reason was not given");
    QVERIFY(!QFile::exists(wav));

    const QString moduleDir =
        QDir::cleanPath(QFileInfo(program).path() + QStringLiteral("/" CW_MODULE_DIR_FROM_PROGRAM));
    QVERIFY(QDir().mkpath(moduleDir));
    QVERIFY(
        QFile::copy(QStringLiteral(CW_FLITE_MODULE), moduleDir + QStringLiteral("/" CW_FLITE_MODULE_NAME)));
    QProcess with;
    sayHello(with);
    QCOMPARE(with.exitCode(), 0);
    QCOMPARE(words(QString::fromUtf8(with.readAllStandardOutput())), (QStringList{"Hello", "there."}));
    QVERIFY(QFileInfo(wav).size() > 16000); // more than half a second of 16-bit speech at 16 kHz
}

void TestTtsSay::choosesEitherVoiceAndFallsBackWithoutTheNaturalOne() {
    QTemporaryDir dir;
    const auto rateOfWav = [&](const QStringList& args, const QProcessEnvironment& env, QString* errors) {
        const QString wav = dir.filePath(QStringLiteral("voice.wav"));
        QFile::remove(wav);
        QProcess say;
        say.setProcessEnvironment(env);
        say.start(QStringLiteral(CW_SAY_PROGRAM), args + QStringList{"--wav", wav, "Hello."});
        if (!say.waitForFinished(60000) || say.exitCode() != 0) {
            return quint32(0);
        }
        *errors = QString::fromUtf8(say.readAllStandardError());
        QFile file(wav);
        if (!file.open(QIODevice::ReadOnly)) {
            return quint32(0);
        }
        const QByteArray bytes = file.read(28);
        return quint32(quint8(bytes[24])) | quint32(quint8(bytes[25])) << 8 |
               quint32(quint8(bytes[26])) << 16;
    };
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("CHATTERWISP_HTS_VOICE"));
    QString errors;
    // The natural voice (32 kHz) by default, flite's (16 kHz) when asked for.
    QCOMPARE(rateOfWav({}, env, &errors), quint32(32000));
    QVERIFY2(errors.isEmpty(), qPrintable(errors));
    QCOMPARE(rateOfWav({"--voice", "kal16"}, env, &errors), quint32(16000));
    // Without the natural voice's file, kal16 speaks, and the log says why, once.
    env.insert(QStringLiteral("CHATTERWISP_HTS_VOICE"), dir.filePath(QStringLiteral("missing.htsvoice")));
    QCOMPARE(rateOfWav({}, env, &errors), quint32(16000));
    QCOMPARE(
        errors.count(QStringLiteral("is not installed (package festvox-us-slt-hts): speaking with kal16")),
        1);
    QCOMPARE(rateOfWav({"--voice", "slt-hts"}, env, &errors), quint32(16000));
}

QTEST_GUILESS_MAIN(TestTtsSay)
#include "tst_tts_say.moc"
