// The say developer tool: it writes what it would speak to a WAV file with the timeline, speaks on its
// silent clock with the same words, and reads its request only from a regular file of a text's size.
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

QTEST_GUILESS_MAIN(TestTtsSay)
#include "tst_tts_say.moc"
