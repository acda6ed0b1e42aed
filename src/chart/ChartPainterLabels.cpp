// Floating labels: each beside its slice or bar, moved clear of the others or left out, so no
// label is ever drawn over another one, the title or the legend.
#include "ChartPainter.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPainter>

#include <algorithm>
#include <cmath>

QList<ChartPainter::Mark> ChartPainter::marks(const Layout &layout) const {
    if (drawsSubtree())
        return {}; // a treemap or rings name their items inside them
    if (m_content.type == Chart::Type::Pie)
        return pieMarks(pieGeometry(layout.plot));
    return barMarks(barGeometry(layout.plot));
}

QList<ChartPainter::PlacedLabel> ChartPainter::placedLabels(const QRectF &rect) const {
    if (isEmpty())
        return {};
    const Layout parts = layout(rect);
    return placeLabels(rect, parts, marks(parts));
}

QList<ChartPainter::PlacedLabel> ChartPainter::placeLabels(const QRectF &rect, const Layout &layout,
                                                           const QList<Mark> &marks) const {
    QList<PlacedLabel> result;
    if (marks.isEmpty() || m_content.labels.isEmpty())
        return result;
    QHash<qint64, int> markAt;
    for (int i = 0; i < marks.size(); ++i)
        markAt.insert((qint64(marks[i].series) << 32) | quint32(marks[i].point), i);

    // Labels are drawn in mark order; the grouped slice, which has no label of its own, gets
    // one with the grouping text in the look of the first label.
    QList<QList<Chart::FloatingLabel>> byMark(marks.size());
    for (const auto &label : m_content.labels) {
        if (label.style.attachMode != 2)
            continue;
        const auto it = markAt.constFind((qint64(label.series) << 32) | quint32(label.point));
        if (it != markAt.constEnd())
            byMark[*it].append(label);
    }
    const auto grouped = markAt.constFind(qint64(GroupedSeries) << 32);
    if (grouped != markAt.constEnd()) {
        Chart::FloatingLabel label = m_content.labels.first();
        label.text = m_content.grouping.shownLabel();
        byMark[*grouped].append(label);
    }

    const QFontMetricsF fm(m_font);
    // A label that would stick out of the plot is left out rather than cut or laid over the
    // title, the legend or the chart's edge.
    Q_UNUSED(rect);
    const QRectF bounds = layout.plot.adjusted(1, 1, -1, -1);
    QList<QRectF> taken;
    if (!layout.title.isEmpty())
        taken.append(layout.title);
    if (!layout.legend.isEmpty())
        taken.append(layout.legend);
    // Labels keep off the bars too, as long as there are few enough bars to read them.
    if (marks.size() <= 100) {
        for (const Mark &mark : marks) {
            if (!mark.body.isEmpty())
                taken.append(mark.body);
        }
    }
    // A label goes where it fits: whole, else shortened in the middle (the tooltip still gives
    // the whole name), else it is left out.
    const double fullWidth = std::max(60.0, layout.plot.width() * 0.45);
    const double leastWidth = fm.horizontalAdvance(QStringLiteral("abcdef")) + 8;
    for (int m = 0; m < marks.size(); ++m) {
        const Mark &mark = marks[m];
        for (const auto &label : byMark[m]) {
            const double whole = std::min(fm.horizontalAdvance(label.text) + 1, fullWidth);
            QList<double> widths{whole};
            for (const double part : {0.7, 0.5}) {
                if (whole * part > leastWidth)
                    widths.append(whole * part);
            }
            if (whole > leastWidth)
                widths.append(leastWidth);
            QString placedText;
            QRectF box;
            for (const double width : widths) {
                const QString text = fm.elidedText(label.text, Qt::ElideMiddle, width);
                if (text.isEmpty())
                    continue;
                if (const auto found = placeLabel(text, mark, label.style.offset, bounds, taken)) {
                    placedText = text;
                    box = *found;
                    break;
                }
            }
            if (placedText.isEmpty())
                continue;
            taken.append(box);
            result.append({placedText, box, mark.anchor, label});
        }
    }
    return result;
}

std::optional<QRectF> ChartPainter::placeLabel(const QString &text, const Mark &mark, int offset,
                                               const QRectF &bounds,
                                               const QList<QRectF> &taken) const {
    const QFontMetricsF fm(m_font);
    const QSizeF size(std::ceil(fm.horizontalAdvance(text) + 8), std::ceil(fm.height() + 4));
    const QPointF base = mark.anchor + mark.direction * offset;
    QRectF box(QPointF(), size);
    if (mark.direction.x() < -0.25)
        box.moveRight(base.x());
    else if (mark.direction.x() > 0.25)
        box.moveLeft(base.x());
    else
        box.moveLeft(base.x() - size.width() / 2);
    if (mark.direction.y() < -0.6)
        box.moveBottom(base.y());
    else if (mark.direction.y() > 0.6)
        box.moveTop(base.y());
    else
        box.moveTop(base.y() - size.height() / 2);

    // Move a label that would cover another one further out, a line at a time, and a label
    // above a bar sideways past what it covers; leave it out when it still collides.
    const double step = (mark.direction.y() < 0 ? -1 : 1) * (size.height() + 2);
    const auto collisions = [&](const QRectF &candidate) {
        QList<QRectF> hits;
        const QRectF spaced = candidate.adjusted(-2, -1, 2, 1);
        for (const QRectF &r : taken) {
            if (r.intersects(spaced))
                hits.append(r);
        }
        return hits;
    };
    const auto inside = [&](QRectF candidate) {
        candidate.moveLeft(std::clamp(candidate.left(), bounds.left(),
                                      std::max(bounds.left(), bounds.right() - size.width())));
        return candidate;
    };
    for (int attempt = 0; attempt < 4; ++attempt) {
        const QRectF candidate = inside(box.translated(0, attempt * step));
        if (candidate.top() < bounds.top() || candidate.bottom() > bounds.bottom() ||
            candidate.width() > bounds.width())
            continue;
        const QList<QRectF> hits = collisions(candidate);
        if (hits.isEmpty())
            return candidate;
        // Only labels standing above their mark go sideways: a label beside a slice moved
        // sideways would land on the pie.
        if (std::abs(mark.direction.x()) >= 0.25)
            continue;
        double right = hits.first().right(), left = hits.first().left();
        for (const QRectF &r : hits) {
            right = std::max(right, r.right());
            left = std::min(left, r.left());
        }
        for (double dx : {right + 3 - candidate.left(), left - 3 - candidate.right()}) {
            const QRectF moved = inside(candidate.translated(dx, 0));
            if (std::abs(moved.center().x() - mark.anchor.x()) <= size.width() &&
                collisions(moved).isEmpty())
                return moved;
        }
    }
    return std::nullopt;
}

void ChartPainter::paintLabels(QPainter &painter, const QList<PlacedLabel> &labels) const {
    for (const PlacedLabel &placed : labels) {
        const QRectF &box = placed.box;
        const auto &style = placed.label.style;
        if (style.leaderLine && style.offset > 0) {
            const QPointF end(std::clamp(placed.anchor.x(), box.left(), box.right()),
                              std::clamp(placed.anchor.y(), box.top(), box.bottom()));
            painter.setPen(QPen(m_content.textColor, 1)); // reads on the chart's background
            painter.drawLine(placed.anchor, end);
        }
        painter.setPen(QPen(QColor(0, 0, 0, 140), 1));
        painter.setBrush(placed.label.background);
        painter.drawRect(box.adjusted(0.5, 0.5, -0.5, -0.5));
        painter.setPen(Qt::black);
        painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, placed.text);
    }
}
