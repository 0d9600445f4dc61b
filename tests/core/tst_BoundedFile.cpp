// Reading a path that may hold anything: only a regular file within the bound is read, and nothing at the
// path (a FIFO with no writer, a device that never ends, a folder) can hold the reader up.
#include "core/BoundedFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

using namespace cw::files;

class TestBoundedFile : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString write(const QString& name, const QByteArray& contents) {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size()) {
            qFatal("cannot write %s", qPrintable(path));
        }
        return path;
    }

private slots:
    void readsRegularFilesUpToTheBound_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("small") << QByteArray("Windows Registry Editor Version 5.00\r\n");
        QTest::newRow("exactly the bound") << QByteArray(4096, 'x');
        QTest::newRow("binary with zero bytes") << QByteArray("a\0b\0\xff", 5);
    }
    void readsRegularFilesUpToTheBound() {
        QFETCH(QByteArray, contents);
        const FileContents read = readRegularFile(write(QStringLiteral("plain"), contents), 4096);
        QVERIFY2(read.ok(), qPrintable(read.message()));
        QCOMPARE(read.value(), contents);
    }

    void refusesAFileOneBytePastTheBound() {
        const QString path = write(QStringLiteral("big"), QByteArray(4097, 'x'));
        const FileContents read = readRegularFile(path, 4096);
        QVERIFY(!read.ok());
        QCOMPARE(read.error().failure, ReadFailure::TooLarge);
        QVERIFY(read.message().contains(path));
        QVERIFY(read.message().contains(QStringLiteral("4096")));
    }

    void refusesAFifoWithNoWriterAtOnce() {
        const QString path = dir.filePath(QStringLiteral("fifo"));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        // A blocking open would wait here for a writer that never comes, and the test would time out.
        const FileContents read = readRegularFile(path, 4096);
        QCOMPARE(read.error().failure, ReadFailure::NotRegular);
        QVERIFY(read.message().contains(QStringLiteral("FIFO")));
    }

    void refusesADeviceThatNeverEnds() {
        const FileContents read = readRegularFile(QStringLiteral("/dev/zero"), 4096);
        QCOMPARE(read.error().failure, ReadFailure::NotRegular);
        QVERIFY(read.message().contains(QStringLiteral("device")));
    }

    void refusesAFolder() {
        const QString path = dir.filePath(QStringLiteral("folder"));
        QVERIFY(QDir().mkpath(path));
        const FileContents read = readRegularFile(path, 4096);
        QCOMPARE(read.error().failure, ReadFailure::NotRegular);
        QVERIFY(read.message().contains(QStringLiteral("folder")));
    }

    void followsALinkToARegularFileButNotToAFifo() {
        const QString target = write(QStringLiteral("target"), "text");
        const QString link = dir.filePath(QStringLiteral("link"));
        QVERIFY(QFile::link(target, link));
        QCOMPARE(readRegularFile(link, 100).value(), QByteArray("text"));

        const QString fifo = dir.filePath(QStringLiteral("fifo2"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QString fifoLink = dir.filePath(QStringLiteral("fifolink"));
        QVERIFY(QFile::link(fifo, fifoLink));
        QCOMPARE(readRegularFile(fifoLink, 100).error().failure, ReadFailure::NotRegular);
    }

    void tellsAMissingFileFromAnUnreadableOne() {
        QCOMPARE(readRegularFile(dir.filePath(QStringLiteral("nothing")), 100).error().failure,
                 ReadFailure::Missing);
        QCOMPARE(readRegularFile(dir.filePath(QStringLiteral("nothing/below")), 100).error().failure,
                 ReadFailure::Missing);
        if (::geteuid() == 0) {
            return; // root reads a file whatever its mode says; the rest of this case needs an ordinary user
        }
        const QString locked = write(QStringLiteral("locked"), "secret");
        QVERIFY(QFile::setPermissions(locked, QFileDevice::WriteOwner));
        QCOMPARE(readRegularFile(locked, 100).error().failure, ReadFailure::Unreadable);
    }
};

QTEST_GUILESS_MAIN(TestBoundedFile)
#include "tst_BoundedFile.moc"
