#pragma once

#include "platform/Shell.h"

namespace cw {

/// The desktop's shell: links go to the desktop's handler (QDesktopServices), programs are started directly,
/// never through a command interpreter.
class QtShell : public IShell {
public:
    Status open(const QString& link) override;
    Result<bool> fileExists(const QString& path) override;
    Status startProgram(const QString& path) override;

    /// The path with backslashes turned into folder separators.
    static QString nativePath(const QString& path);
};

} // namespace cw
