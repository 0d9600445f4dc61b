#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>
#include <sys/stat.h>

namespace cw::test {

/// Writes a file into a test's temporary folder and returns its path; the test cannot go on without it.
inline QString writeTestFile(const QTemporaryDir& dir, const QString& name, const QByteArray& contents) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size()) {
        qFatal("cannot write %s", qPrintable(path));
    }
    return path;
}

/// Makes at `path` a place that a reader of files must refuse without blocking and without reading it whole:
/// "fifo" (a FIFO nobody writes to), "folder", "device" (a link to the endless /dev/zero) or "huge" (a sparse
/// file of `hugeBytes` bytes that starts with `head`). False when it could not be made.
inline bool makeUnreadablePlace(const QString& kind, const QString& path, qint64 hugeBytes = 0,
                                const QByteArray& head = {}) {
    if (!QDir().mkpath(QFileInfo(path).path())) {
        return false;
    }
    if (kind == QLatin1String("fifo")) {
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    }
    if (kind == QLatin1String("folder")) {
        return QDir().mkpath(path);
    }
    if (kind == QLatin1String("device")) {
        return QFile::link(QStringLiteral("/dev/zero"), path);
    }
    if (kind == QLatin1String("huge")) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(head) == head.size() && file.resize(hugeBytes);
    }
    return false;
}

} // namespace cw::test
