#include "ReadableColor.h"

#include <cmath>

namespace {

double luminance(const QColor &color) {
    const auto channel = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = color.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) +
           0.0722 * channel(rgb.blueF());
}

} // namespace

double ReadableColor::contrast(const QColor &a, const QColor &b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableColor::readableOn(const QColor &wanted, const QColor &background, double ratio) {
    if (contrast(wanted, background) >= ratio)
        return wanted;
    // Away from the background's lightness: lighter on a dark background, darker on a light one.
    const bool lighter = luminance(background) < 0.18;
    const QColor hsl = wanted.toHsl();
    const double hue = hsl.hslHueF(), saturation = hsl.hslSaturationF();
    for (int step = 1; step <= 20; ++step) {
        const double l =
            hsl.lightnessF() + (lighter ? 1.0 - hsl.lightnessF() : -hsl.lightnessF()) * step / 20.0;
        const QColor candidate = QColor::fromHslF(hue, saturation, l).toRgb();
        if (contrast(candidate, background) >= ratio)
            return candidate;
    }
    return lighter ? QColor(Qt::white) : QColor(Qt::black);
}
