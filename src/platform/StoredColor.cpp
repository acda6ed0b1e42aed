#include "StoredColor.h"

namespace StoredColor {

QPalette::ColorRole roleForSystemIndex(int index) {
    switch (index) {
    case 5:
        return QPalette::Base;
    case 8:
        return QPalette::Text;
    case 13:
        return QPalette::Highlight;
    case 14:
        return QPalette::HighlightedText;
    case 15:
        return QPalette::Button;
    case 18:
        return QPalette::ButtonText;
    case 6:  // window frame
    case 9:  // caption text
    case 19: // inactive caption text
    case 23: // tooltip text
        return QPalette::WindowText;
    default:
        return QPalette::Window;
    }
}

QColor toQColor(std::uint32_t value, const QPalette &palette) {
    if (value & SystemBit)
        return palette.color(roleForSystemIndex(static_cast<int>(value & 0xffu)));
    return QColor(static_cast<int>(value & 0xffu), static_cast<int>((value >> 8) & 0xffu),
                  static_cast<int>((value >> 16) & 0xffu));
}

std::uint32_t fromQColor(const QColor &color) {
    return fromRgb(color.red(), color.green(), color.blue());
}

} // namespace StoredColor
