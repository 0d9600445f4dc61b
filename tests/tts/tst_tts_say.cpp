// The say developer tool: it writes what it would speak to a WAV file with the timeline, and speaks on its
// silent clock with the same words.
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

QTEST_GUILESS_MAIN(TestTtsSay)
#include "tst_tts_say.moc"
