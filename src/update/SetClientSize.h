#pragma once

class QWidget;

/// Gives `form` an inner (client) area of `width` by `height` twips, converted at the form's
/// screen DPI. Qt sizes a window by its inner area already, so the frame needs no allowance.
/// A form whose layout needs more room than that keeps the room it needs.
void SetClientSize(QWidget *form, int width, int height);

/// Pixels for a length in twips on `widget`'s screen (15 twips a pixel at 96 DPI).
int twipsToPixels(const QWidget *widget, int twips);
