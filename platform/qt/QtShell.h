#pragma once

#include "platform/Shell.h"

namespace cw {

/// The desktop's shell: links go to the desktop's handler (QDesktopServices), programs are started directly,
/// never through a command interpreter. The window style of a start is left to the window manager.
class QtShell : public IShell {
public:
    bool open(const QString& link) override;
    bool fileExists(const QString& path) override;
    void startProgram(const QString& path, int windowStyle) override;

    /// The path with backslashes turned into folder separators.
    static QString nativePath(const QString& path);
};

} // namespace cw
