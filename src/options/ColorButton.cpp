#include "ColorButton.h"

#include "StoredColor.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

ColorButton::ColorButton(QWidget *parent) : QPushButton(parent) {
    setToolTip(QStringLiteral("Click here to change"));
    setAutoDefault(false);
}

void ColorButton::setColor(std::uint32_t color) {
    if (color == m_color)
        return;
    m_color = color;
    update();
    Q_EMIT colorChanged(color);
}

QColor ColorButton::faceColor() const {
    return StoredColor::toQColor(m_color, palette());
}

QSize ColorButton::sizeHint() const {
    // Wide enough to read as a swatch, as tall as a button with text.
    const int h = QPushButton::sizeHint().height();
    return {std::max(h * 2, fontMetrics().horizontalAdvance(u'M') * 5), h};
}

QSize ColorButton::minimumSizeHint() const {
    return sizeHint();
}

void ColorButton::paintEvent(QPaintEvent *event) {
    QPushButton::paintEvent(event);
    QStyleOptionButton option;
    initStyleOption(&option);
    const int inset = std::max(2, fontMetrics().height() / 6);
    const QRect swatch = style()
                             ->subElementRect(QStyle::SE_PushButtonContents, &option, this)
                             .adjusted(inset, inset, -inset, -inset);
    QPainter p(this);
    QColor face = faceColor();
    QColor edge = palette().color(QPalette::ButtonText);
    if (!isEnabled()) {
        // A disabled button keeps a hint of its colour, washed out like its text would be.
        face.setAlphaF(0.3f);
        edge = palette().color(QPalette::Disabled, QPalette::ButtonText);
    }
    p.fillRect(swatch, face);
    p.setPen(edge);
    p.drawRect(swatch.adjusted(0, 0, -1, -1));
}
