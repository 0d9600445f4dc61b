#pragma once

#include "core/Result.h"

#include <QByteArray>
#include <QString>

namespace cw::files {

/// Why a file was not read.
enum class ReadFailure {
    Missing,    ///< nothing at the path (or a dangling link)
    NotRegular, ///< a folder, FIFO, socket or device
    TooLarge,   ///< more bytes than the bound
    Unreadable, ///< no permission, or an error while reading
};

/// Why a file was not read: the kind, for the caller to tell cases apart, and the message for the log and the
/// user, which names the path and says what it holds or what went wrong.
struct ReadError {
    ReadFailure failure = ReadFailure::Unreadable;
    QString message;
};

/// The bytes of a file, or why there are none.
using FileContents = Result<QByteArray, ReadError>;

/// Reads a whole regular file of at most `maxBytes` bytes. The path is opened without blocking, so a FIFO
/// or a device at the path can never hold the caller up; anything but a regular file is refused before a byte
/// is read, and reading stops one byte past the bound, so a file that grows while it is read is refused too.
/// Never throws.
[[nodiscard]] FileContents readRegularFile(const QString& path, qint64 maxBytes);

} // namespace cw::files
