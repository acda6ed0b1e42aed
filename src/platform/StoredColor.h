#pragma once

#include <QColor>
#include <QPalette>

#include <cstdint>

/// Colours as the program stores them: a 32-bit value laid out 0x00BBGGRR, where a value with
/// the top bit set names a system colour by its index in the low byte.
namespace StoredColor {

constexpr std::uint32_t SystemBit = 0x80000000u;

/// Palette role standing for a system colour index.
QPalette::ColorRole roleForSystemIndex(int index);

/// The colour a stored value means, system colours resolved against `palette`.
QColor toQColor(std::uint32_t value, const QPalette &palette = QPalette());

/// The stored value of a plain colour (alpha dropped).
constexpr std::uint32_t fromRgb(int r, int g, int b) {
    return static_cast<std::uint32_t>((r & 0xff) | ((g & 0xff) << 8) | ((b & 0xff) << 16));
}
std::uint32_t fromQColor(const QColor &color);

} // namespace StoredColor
