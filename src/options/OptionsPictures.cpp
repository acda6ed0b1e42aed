#include "OptionsPictures.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPixmapCache>
#include <QtMath>

namespace OptionsPictures {

namespace {

enum class Picture { Scan, Appearance, Chart, Misc };

// Each picture is drawn in a 16 by 16 box scaled to the requested size.
void drawScan(QPainter &p) {
    // A folder with a magnifying glass over it.
    p.setPen(QPen(QColor(0x9a, 0x6b, 0x12), 0.8));
    p.setBrush(QColor(0xf3, 0xc1, 0x4b));
    QPainterPath folder;
    folder.moveTo(1, 4);
    folder.lineTo(5.5, 4);
    folder.lineTo(7, 5.5);
    folder.lineTo(13, 5.5);
    folder.lineTo(13, 13);
    folder.lineTo(1, 13);
    folder.closeSubpath();
    p.drawPath(folder);
    p.setPen(QPen(QColor(0x33, 0x3d, 0x47), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(QColor(0xd6, 0xec, 0xfb, 220));
    p.drawEllipse(QPointF(9.5, 8.5), 3.2, 3.2);
    p.drawLine(QPointF(11.9, 10.9), QPointF(15, 14));
}

void drawAppearance(QPainter &p) {
    // Three overlapping discs of colour.
    p.setPen(Qt::NoPen);
    const QColor colours[] = {QColor(0xe0, 0x40, 0x40, 210), QColor(0x40, 0xb0, 0x50, 210),
                              QColor(0x40, 0x70, 0xe0, 210)};
    const QPointF centres[] = {{6, 6}, {10, 6}, {8, 10}};
    for (int i = 0; i < 3; ++i) {
        p.setBrush(colours[i]);
        p.drawEllipse(centres[i], 4.6, 4.6);
    }
}

void drawChart(QPainter &p) {
    // A pie with one slice pulled out.
    p.setPen(QPen(Qt::white, 0.7));
    const QRectF box(1, 2, 12, 12);
    p.setBrush(QColor(0x3b, 0x7d, 0xd8));
    p.drawPie(box, 90 * 16, 230 * 16);
    p.setBrush(QColor(0x6c, 0xc0, 0x4a));
    p.drawPie(box, 320 * 16, 80 * 16);
    p.setBrush(QColor(0xf0, 0x9a, 0x2a));
    p.drawPie(box.translated(2, -1.2), 40 * 16, 50 * 16);
}

void drawMisc(QPainter &p) {
    // An information sign.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2f, 0x6f, 0xb8));
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 4.6), 1.25, 1.25);
    p.drawRoundedRect(QRectF(6.9, 6.8, 2.2, 6.2), 0.8, 0.8);
}

class PictureEngine : public QIconEngine {
public:
    explicit PictureEngine(Picture picture) : m_picture(picture) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const qreal side = qMin(rect.width(), rect.height());
        painter->translate(rect.x() + (rect.width() - side) / 2,
                           rect.y() + (rect.height() - side) / 2);
        painter->scale(side / 16.0, side / 16.0);
        if (mode == QIcon::Disabled)
            painter->setOpacity(0.4);
        switch (m_picture) {
        case Picture::Scan:
            drawScan(*painter);
            break;
        case Picture::Appearance:
            drawAppearance(*painter);
            break;
        case Picture::Chart:
            drawChart(*painter);
            break;
        case Picture::Misc:
            drawMisc(*painter);
            break;
        }
        painter->restore();
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paint(&p, QRect(QPoint(), size), mode, state);
        return pm;
    }

    QIconEngine *clone() const override { return new PictureEngine(m_picture); }

private:
    Picture m_picture;
};

} // namespace

QIcon icon(const QString &key) {
    static const std::pair<const char *, Picture> keys[] = {{"scan", Picture::Scan},
                                                            {"appr", Picture::Appearance},
                                                            {"chrt", Picture::Chart},
                                                            {"misc", Picture::Misc}};
    for (const auto &[name, picture] : keys)
        if (key == QLatin1String(name))
            return QIcon(new PictureEngine(picture));
    return QIcon();
}

} // namespace OptionsPictures
