#pragma once

#include <QByteArray>
#include <QString>

namespace cw::files {

/// Why a file was not read.
enum class ReadFailure {
    None,
    Missing,    ///< nothing at the path (or a dangling link)
    NotRegular, ///< a folder, FIFO, socket or device
    TooLarge,   ///< more bytes than the bound
    Unreadable, ///< no permission, or an error while reading
};

/// The bytes of a file, or why there are none.
struct FileContents {
    QByteArray bytes;
    ReadFailure failure = ReadFailure::None;
    QString
        reason; ///< for the log and the user: says what the path holds or what went wrong; empty on success

    bool ok() const { return failure == ReadFailure::None; }
};

/// Reads a whole regular file of at most `maxBytes` bytes. The path is opened without blocking, so a FIFO
/// or a device at the path can never hold the caller up; anything but a regular file is refused before a byte
/// is read, and reading stops one byte past the bound, so a file that grows while it is read is refused too.
/// Never throws.
FileContents readRegularFile(const QString& path, qint64 maxBytes);

} // namespace cw::files
