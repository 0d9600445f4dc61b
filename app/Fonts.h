#pragma once

#include <QFont>

namespace cw {

/// Maps the classic dialog font names ("MS Sans Serif", "Arial") to installed look-alikes. Call once at
/// start.
void installFontSubstitutes();

/// The dialog font: "MS Sans Serif" 8.25 pt, normal weight.
QFont dialogFont();

/// Converts twips (1/1440 inch) to logical pixels at 15 twips per pixel.
constexpr int twips(int value) {
    return (value + 7) / 15;
}

} // namespace cw
