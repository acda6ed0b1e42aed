// The pie: slices clockwise from the top in series order, the grouped slice last, seen from
// above or, with the 3D view, as a tilted disc standing on a side wall.
#include "ChartPainter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

namespace {

double radians(double degrees) {
    return degrees * std::numbers::pi / 180.0;
}

// Qt counts angles counter-clockwise from three o'clock, the pie clockwise from the top.
double qtAngle(double clockwiseFromTop) {
    return 90.0 - clockwiseFromTop;
}

} // namespace

ChartPainter::PieGeometry ChartPainter::pieGeometry(const QRectF &plot) const {
    PieGeometry pie;
    // Elevation tilts the disc away from the viewer; depth gives it a wall.
    const double tilt = std::clamp(m_content.elevation3D * 3.5, 0.0, 70.0);
    pie.squash = std::cos(radians(tilt));
    const double wallFactor =
        std::clamp(m_content.depth3D, 0, 100) / 100.0 * 1.6 * std::sin(radians(tilt));

    const QFontMetricsF fm(m_font);
    double margin = m_content.plotMargin;
    double side = margin;
    if (!m_content.labels.isEmpty()) {
        const double offset = m_content.labels.first().style.offset;
        margin = std::max(margin, fm.height() + 6 + offset);
        side = margin + std::min(plot.width() * 0.15, fm.averageCharWidth() * 10);
    }
    // In a small chart the pie matters more than room for its labels.
    margin = std::min(margin, plot.height() * 0.18);
    side = std::min(side, plot.width() * 0.22);
    const double width = std::max(plot.width() - 2 * side, 10.0);
    const double height = std::max(plot.height() - 2 * margin, 10.0);
    const double radius =
        std::max(2.0, std::min(width / 2, height / (2 * pie.squash + wallFactor)));
    pie.wall = radius * wallFactor;
    const double top = plot.center().y() - (2 * radius * pie.squash + pie.wall) / 2;
    pie.top = QRectF(plot.center().x() - radius, top, 2 * radius, 2 * radius * pie.squash);

    const double total =
        std::accumulate(m_folding.own.begin(), m_folding.own.end(), m_folding.otherValue,
                        [&](double sum, int s) { return sum + seriesTotal(s); });
    if (total <= 0)
        return pie;
    double start = m_content.rotation3D;
    for (int series : m_folding.own) {
        const double span = seriesTotal(series) / total * 360.0;
        pie.slices.append({series, seriesTotal(series), start, span});
        start += span;
    }
    if (m_folding.otherCount > 0)
        pie.slices.append(
            {GroupedSeries, m_folding.otherValue, start, m_folding.otherValue / total * 360.0});
    return pie;
}

QRectF ChartPainter::sliceTop(const PieGeometry &pie, const Slice &slice) const {
    if (slice.series != GroupedSeries || m_content.grouping.pullOut <= 0)
        return pie.top;
    const double mid = radians(slice.start + slice.span / 2);
    const double out = pie.top.width() / 2 * std::min(m_content.grouping.pullOut, 50.0) / 100.0;
    return pie.top.translated(out * std::sin(mid), -out * std::cos(mid) * pie.squash);
}

QRectF ChartPainter::sliceBounds(const PieGeometry &pie, const Slice &slice) const {
    const QRectF top = sliceTop(pie, slice);
    if (slice.span >= 359.99)
        return top.adjusted(0, 0, 0, pie.wall);
    QPainterPath path;
    path.moveTo(top.center());
    path.arcTo(top, qtAngle(slice.start), -slice.span);
    path.closeSubpath();
    return path.boundingRect();
}

QBrush ChartPainter::sliceBrush(const Slice &slice, const QColor &color) const {
    if (slice.series != GroupedSeries)
        return color;
    const int style = m_content.grouping.style;
    if (style < Qt::Dense1Pattern || style > Qt::DiagCrossPattern)
        return Qt::NoBrush;
    return QBrush(color.lighter(115), Qt::BrushStyle(style));
}

void ChartPainter::paintPieWalls(QPainter &painter, const PieGeometry &pie) const {
    // Only the front half of the wall, from three o'clock through six to nine, faces the
    // viewer; each slice draws the part of its rim that falls there.
    for (const Slice &slice : pie.slices) {
        const QRectF top = sliceTop(pie, slice);
        const QRectF bottom = top.translated(0, pie.wall);
        const QColor color = seriesColor(slice.series).darker(145);
        const double from = std::fmod(slice.start, 360.0) + (slice.start < 0 ? 360.0 : 0.0);
        const double to = from + slice.span;
        for (double front : {90.0, 450.0}) {
            const double a = std::max(from, front), b = std::min(to, front + 180.0);
            if (b - a <= 0.01)
                continue;
            QPainterPath wall;
            wall.arcMoveTo(top, qtAngle(a));
            wall.arcTo(top, qtAngle(a), -(b - a));
            wall.arcTo(bottom, qtAngle(b), b - a);
            wall.closeSubpath();
            painter.setPen(QPen(color.darker(130), 0.8));
            painter.setBrush(color);
            painter.drawPath(wall);
            if (slice.series == GroupedSeries)
                painter.fillPath(wall, sliceBrush(slice, color));
        }
    }
}

void ChartPainter::paintPie(QPainter &painter, const PieGeometry &pie) const {
    if (pie.slices.isEmpty()) {
        // Nothing to divide (every value 0): an empty disc says so better than a blank.
        painter.setPen(QPen(QColor(0, 0, 0, 120), 1, Qt::DashLine));
        painter.setBrush(QColor(255, 255, 255, 60));
        painter.drawEllipse(pie.top);
        return;
    }
    if (pie.wall > 0.5)
        paintPieWalls(painter, pie);

    // Thin white seams part the slices; with very many slices they would wash the pie out.
    const QPen edge =
        pie.slices.size() > 60 ? QPen(Qt::NoPen) : QPen(QColor(255, 255, 255, 170), 1);
    for (const Slice &slice : pie.slices) {
        if (slice.span <= 0)
            continue;
        const QRectF top = sliceTop(pie, slice);
        const QColor color = seriesColor(slice.series);
        QPainterPath path;
        if (slice.span >= 359.99) {
            path.addEllipse(top);
        } else {
            path.moveTo(top.center());
            path.arcTo(top, qtAngle(slice.start), -slice.span);
            path.closeSubpath();
        }
        painter.setPen(edge);
        painter.setBrush(color);
        painter.drawPath(path);
        if (slice.series == GroupedSeries)
            painter.fillPath(path, sliceBrush(slice, color));
    }
}

QList<ChartPainter::Mark> ChartPainter::pieMarks(const PieGeometry &pie) const {
    // Each slice's label hangs off the middle of its rim, on the wall's lower edge in front.
    QList<Mark> marks;
    for (const Slice &slice : pie.slices) {
        if (slice.span <= 0)
            continue;
        const QRectF top = sliceTop(pie, slice);
        const double mid = radians(slice.start + slice.span / 2);
        const QPointF direction(std::sin(mid), -std::cos(mid));
        QPointF anchor(top.center().x() + top.width() / 2 * direction.x(),
                       top.center().y() + top.height() / 2 * direction.y());
        if (direction.y() > 0)
            anchor.ry() += pie.wall;
        marks.append({slice.series, 0, anchor, direction, QRectF()});
    }
    return marks;
}

int ChartPainter::pieSeriesAt(const QRectF &plot, const QPointF &pos) const {
    const PieGeometry pie = pieGeometry(plot);
    for (const Slice &slice : pie.slices) {
        const QRectF top = sliceTop(pie, slice);
        const double rx = top.width() / 2, ry = top.height() / 2;
        const double x = (pos.x() - top.center().x()) / rx;
        const double y = (pos.y() - top.center().y()) / ry;
        if (x * x + y * y > 1.0)
            continue;
        double angle = std::atan2(x, -y) * 180.0 / std::numbers::pi - slice.start;
        angle = std::fmod(angle, 360.0);
        if (angle < 0)
            angle += 360.0;
        if (angle < slice.span)
            return slice.series;
    }
    return -1;
}
