#include "ChartPicture.h"

#include "ChartPainter.h"

#include <QPainter>

bool ChartPicture::savePng(const QString &path) const {
    return chart && ChartPainter(*chart, font, dpi).savePng(path, size);
}

bool ChartPicture::savePng(QIODevice &out) const {
    return chart && ChartPainter(*chart, font, dpi).savePng(out, size);
}

void ChartPicture::draw(QPainter &painter, const QRect &target) const {
    if (!chart || target.isEmpty() || size.isEmpty())
        return;
    painter.save();
    painter.translate(target.topLeft());
    painter.scale(double(target.width()) / size.width(), double(target.height()) / size.height());
    ChartPainter(*chart, font, dpi).paint(painter, QRectF(QPointF(), size));
    painter.restore();
}
