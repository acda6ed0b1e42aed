#pragma once

#include <QColor>

/// Colours chosen so text reads against its background, in light and dark palettes alike.
namespace ReadableColor {

/// The contrast ratio of two colours as the WCAG defines it: from 1 (the same) to 21 (black on
/// white). Alpha is ignored.
double contrast(const QColor &a, const QColor &b);

/// `wanted` made lighter or darker, keeping its hue, until it reaches `ratio` against
/// `background`; unchanged when it already does. Black or white when no shade of the hue does.
QColor readableOn(const QColor &wanted, const QColor &background, double ratio = 4.5);

} // namespace ReadableColor
