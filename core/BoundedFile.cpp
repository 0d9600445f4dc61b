#include "BoundedFile.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cw::files {

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

FileContents failed(ReadFailure failure, QString message) {
    return ReadError{failure, std::move(message)};
}

QString errorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString kindOf(mode_t mode) {
    if (S_ISDIR(mode)) {
        return QStringLiteral("a folder");
    }
    if (S_ISFIFO(mode)) {
        return QStringLiteral("a FIFO");
    }
    if (S_ISSOCK(mode)) {
        return QStringLiteral("a socket");
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return QStringLiteral("a device");
    }
    return QStringLiteral("not a regular file");
}

} // namespace

FileContents readRegularFile(const QString& path, qint64 maxBytes) {
    const QByteArray name = QFile::encodeName(path);
    int opened = -1;
    do {
        // O_NONBLOCK: opening a FIFO with no writer, or a device, returns at once instead of waiting.
        opened = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (opened < 0 && errno == EINTR);
    if (opened < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) {
            return failed(ReadFailure::Missing, QStringLiteral("%1 does not exist").arg(path));
        }
        return failed(ReadFailure::Unreadable,
                      QStringLiteral("%1 cannot be opened: %2").arg(path, errorText(error)));
    }
    const FileDescriptor fd(opened);

    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) {
        return failed(ReadFailure::Unreadable,
                      QStringLiteral("%1 cannot be examined: %2").arg(path, errorText(errno)));
    }
    if (!S_ISREG(status.st_mode)) {
        return failed(ReadFailure::NotRegular, QStringLiteral("%1 is %2").arg(path, kindOf(status.st_mode)));
    }
    const auto tooLarge = [&] {
        return failed(ReadFailure::TooLarge,
                      QStringLiteral("%1 is larger than %2 bytes").arg(path).arg(maxBytes));
    };
    if (status.st_size > maxBytes) {
        return tooLarge();
    }

    // The size can change between fstat and read: read at most one byte past the bound, whatever fstat said.
    QByteArray bytes;
    bytes.resize(static_cast<qsizetype>(status.st_size) + 1);
    qint64 total = 0;
    while (total <= maxBytes) {
        if (total == bytes.size()) {
            bytes.resize(static_cast<qsizetype>(std::min<qint64>(maxBytes + 1, total * 2 + 4096)));
        }
        const ssize_t got = ::read(fd.get(), bytes.data() + total, static_cast<size_t>(bytes.size() - total));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return failed(ReadFailure::Unreadable,
                          QStringLiteral("%1 cannot be read: %2").arg(path, errorText(errno)));
        }
        if (got == 0) {
            break;
        }
        total += got;
    }
    if (total > maxBytes) {
        return tooLarge();
    }
    bytes.truncate(static_cast<qsizetype>(total));
    return bytes;
}

} // namespace cw::files
