#pragma once

#include <QtGlobal>

namespace cw {

/// The longest text the program takes in, in bytes: what the clipboard may hand to the main window's text
/// box, and so also the longest request file the developer tools read.
inline constexpr qsizetype kMaxTextBytes = 256 * 1024 * 1024;

} // namespace cw
