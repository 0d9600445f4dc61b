#pragma once

#include <QString>
#include <QtGlobal>

namespace cw {

/// The longest text the program takes in, in bytes: what the clipboard may hand to the main window's text
/// box, and so also the longest request file the developer tools read.
inline constexpr qsizetype kMaxTextBytes = 256 * 1024 * 1024;

/// Whether a text is longer than kMaxTextBytes once written as UTF-8.
inline bool overTheTextLimit(const QString& text) {
    // At most three UTF-8 bytes per UTF-16 unit: most texts need no conversion to know.
    return text.size() > kMaxTextBytes / 3 && text.toUtf8().size() > kMaxTextBytes;
}

} // namespace cw
