#pragma once

#include "core/Result.h"

#include <QString>

namespace cw {

/// Opening documents and links, testing files and starting programs.
class IShell {
public:
    virtual ~IShell() = default;

    /// Hands a web or mailto: link to the desktop's handler; an error when it is no link or nothing handles
    /// it. Never blocks on the program that opens it.
    virtual Status open(const QString& link) = 0;
    /// Whether an ordinary file (not a folder, not hidden) of that path exists. Backslashes separate folders.
    /// An error when the path cannot be searched at all (for instance an empty path or a link loop).
    virtual Result<bool> fileExists(const QString& path) = 0;
    /// Starts the whole path as one program, without arguments and without a shell, and does not wait for it.
    /// An error when it cannot be started (for instance an empty or missing path).
    virtual Status startProgram(const QString& path) = 0;
};

} // namespace cw
