#pragma once

#include <QString>

class QWidget;

/// The record of a window's placement in the settings file: section "Positions", key = the
/// form's name, value "Left,Top,Width,Height,Maximized" with lengths in twips of the normal
/// (restored) placement, "-1" where none is known.
namespace FormPosition {

struct Placement {
    double left = 0, top = 0, width = 0, height = 0; ///< twips
    bool maximized = false;
};

enum class WindowState { Normal, Minimized, Maximized };

/// The record to store for a window: its own geometry when in normal state, otherwise the
/// stored record's first four fields kept (or "-1") with the fifth telling whether it was
/// maximized.
QString recordFor(WindowState state, const Placement &normal, const QString &storedRecord);

/// Where the window goes: the record's placement (or centred at its present size when there is
/// none), with the width and height capped at the screen and widths/heights of 149 twips or
/// less replaced by the present ones, then pushed onto the screen. Raises a type mismatch when
/// the fifth field is not a number.
Placement placementFrom(const QString &record, double screenWidth, double screenHeight,
                        const Placement &present);

/// Twips per pixel of the widget's screen (15 at 96 DPI).
double twipsPerPixel(const QWidget *widget);

/// The window's record written to `file`.
void SaveFormPosition(QWidget *form, const QString &file);
/// The window placed and shown state set from the record in `file` (before it is shown).
void LoadFormPosition(QWidget *form, const QString &file);

} // namespace FormPosition
