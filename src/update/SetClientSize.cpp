#include "SetClientSize.h"

#include <QWidget>

#include <cmath>

int twipsToPixels(const QWidget *widget, int twips) {
    const int dpi = widget->logicalDpiX();
    return static_cast<int>(std::lround(twips * (dpi > 0 ? dpi : 96) / 1440.0));
}

void SetClientSize(QWidget *form, int width, int height) {
    form->resize(twipsToPixels(form, width), twipsToPixels(form, height));
}
