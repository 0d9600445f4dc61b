#pragma once

#include <QRect>
#include <QStringList>

namespace cw {

/// Twips (1/1440 inch) per logical pixel at 96 dots per inch: the unit the program's fixed window layouts are
/// drawn in.
inline constexpr int kTwipsPerPixel = 15;

/// Converts twips to logical pixels, to the nearest pixel.
constexpr int twips(int value) {
    return (value + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

/// A rectangle given in twips, in logical pixels.
inline QRect twipsRect(int left, int top, int width, int height) {
    return {twips(left), twips(top), twips(width), twips(height)};
}

/// Installed families that draw like the classic dialog fonts, best first: Liberation Sans and Arimo have
/// Arial's metrics, so captions laid out for those fonts fit their controls; DejaVu Sans is the last resort.
inline QStringList classicFontLookAlikes() {
    return {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("DejaVu Sans")};
}

} // namespace cw
