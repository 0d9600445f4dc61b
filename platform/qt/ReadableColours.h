#pragma once

#include <QColor>
#include <algorithm>
#include <cmath>
#include <optional>

namespace cw {

/// The contrast that text needs against what is drawn behind it to be read comfortably (WCAG 2, level AA).
inline constexpr double kReadableContrast = 4.5;

/// The relative luminance of an sRGB colour, 0 for black to 1 for white (WCAG 2).
inline double relativeLuminance(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

/// The contrast ratio of two colours, from 1 (the same) to 21 (black and white).
inline double contrastRatio(const QColor& a, const QColor& b) {
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

/// `colour` itself when it reads on `background`; otherwise the colour of the same hue and saturation whose
/// lightness is the nearest to its own that does. Serves a background too: contrast works both ways.
inline QColor readableOn(const QColor& colour, const QColor& background, double minimum = kReadableContrast) {
    if (contrastRatio(colour, background) >= minimum) {
        return colour;
    }
    const QColor hsl = colour.toHsl();
    const double hue = hsl.hslHueF();
    const double saturation = hsl.hslSaturationF();
    const double lightness = hsl.lightnessF();
    auto withLightness = [&](double l) { return QColor::fromHslF(hue, saturation, std::clamp(l, 0.0, 1.0)); };
    // A little above the minimum, so the colour still reads once rounded to 8 bits a channel on screen.
    auto reads = [&](double l) { return contrastRatio(withLightness(l), background) >= minimum + 0.05; };
    // The nearest lightness that reads, searched towards black (end 0) or towards white (end 1).
    auto nearest = [&](double end) -> std::optional<double> {
        if (!reads(end)) {
            return std::nullopt;
        }
        double unreadable = lightness;
        double readable = end;
        for (int step = 0; step < 30; ++step) {
            const double middle = (unreadable + readable) / 2;
            (reads(middle) ? readable : unreadable) = middle;
        }
        return readable;
    };
    const std::optional<double> darker = nearest(0.0);
    const std::optional<double> lighter = nearest(1.0);
    if (darker && (!lighter || lightness - *darker <= *lighter - lightness)) {
        return withLightness(*darker).toRgb();
    }
    if (lighter) {
        return withLightness(*lighter).toRgb();
    }
    // No lightness reads (a background too near the middle grey for the minimum): the end that reads best.
    return contrastRatio(Qt::black, background) >= contrastRatio(Qt::white, background) ? QColor(Qt::black)
                                                                                        : QColor(Qt::white);
}

} // namespace cw
