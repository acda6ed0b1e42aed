// The bars: one group per point, in it one bar per series in series order, standing on a value
// scale that starts at 0 and rises in round steps; with the 3D view each bar is a box.
#include "ChartPainter.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

namespace {

// The round step (1, 2, 2.5 or 5 times a power of ten) that divides `top` into about five.
double roundStep(double top, int *decimals) {
    const double raw = top / 5.0;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    const double f = raw / power;
    const double nice = f <= 1 ? 1 : f <= 2 ? 2 : f <= 2.5 ? 2.5 : f <= 5 ? 5 : 10;
    *decimals = std::max(0, int(-std::floor(std::log10(power * nice) + 1e-9))) + (nice == 2.5);
    return nice * power;
}

} // namespace

ChartPainter::BarGeometry ChartPainter::barGeometry(const QRectF &plot) const {
    BarGeometry g;
    const auto &values = m_content.values;
    const int series = int(values.size());
    int groups = 0;
    for (const auto &points : values)
        groups = std::max(groups, int(points.size()));

    const QFontMetricsF fm(m_font);
    const QLocale locale;
    const bool axisShown = m_content.valueAxisDisplay != 0;
    const bool titleAlong =
        axisShown && m_content.valueAxisDisplay == 2 && !m_content.valueAxisTitle.isEmpty();
    const bool titleAbove =
        axisShown && m_content.valueAxisDisplay == 1 && !m_content.valueAxisTitle.isEmpty();
    const bool categories = m_content.categoryLabelsShown &&
                            std::any_of(m_content.pointLabels.begin(), m_content.pointLabels.end(),
                                        [](const QString &s) { return !s.isEmpty(); });

    // The bars, in order. One bar per series (the node chart's case) uses the whole width,
    // folded as layout() decided: the series that keep their own bar, then the grouped bar.
    const bool onePerSeries = barsPerSeries();
    if (onePerSeries) {
        for (int s : m_folding.own) {
            g.series.append(s);
            g.points.append(0);
            g.values.append(values[s].isEmpty() ? 0.0 : values[s][0]);
        }
        if (m_folding.otherCount > 0) {
            double otherValue = 0;
            for (int s : m_folding.grouped)
                otherValue += values[s].isEmpty() ? 0.0 : std::max(values[s][0], 0.0);
            g.series.append(GroupedSeries);
            g.points.append(0);
            g.values.append(otherValue);
        }
    } else {
        for (int s = 0; s < series; ++s)
            for (int p = 0; p < values[s].size(); ++p) {
                g.series.append(s);
                g.points.append(p);
                g.values.append(values[s][p]);
            }
    }
    double highest = 0;
    for (double v : g.values)
        highest = std::max(highest, v);
    g.step = highest > 0 ? roundStep(highest, &g.decimals) : 0.2;
    if (highest <= 0)
        g.decimals = 1;
    g.top = highest > 0 ? std::ceil(highest / g.step - 1e-9) * g.step : 1.0;

    double tickWidth = 0;
    for (double v = 0; v <= g.top + g.step / 2; v += g.step)
        tickWidth = std::max(tickWidth, fm.horizontalAdvance(locale.toString(v, 'f', g.decimals)));
    double left =
        plot.left() + (axisShown ? tickWidth + 8 : 4) + (titleAlong ? fm.height() + 6 : 0);
    double top = plot.top() + fm.height() / 2 + (titleAbove ? fm.height() + 4 : 0);
    if (!m_content.labels.isEmpty())
        top = std::max(top, plot.top() + fm.height() + 4 + m_content.labels.first().style.offset);
    const double bottom = plot.bottom() - (categories ? fm.height() + 6 : fm.height() / 2);
    g.axisArea = QRectF(plot.left(), top, left - plot.left(), bottom - top);

    // The box depth follows the bar width, so many thin bars stay thin boxes.
    const int bars = int(g.series.size());
    const double groupWidth = (plot.right() - left) / std::max(onePerSeries ? 1 : groups, 1);
    const double slot =
        onePerSeries ? groupWidth / std::max(bars, 1)
                     : groupWidth * (groups > 1 || series > 1 ? 0.8 : 0.5) / std::max(series, 1);
    const double barWidth = slot >= 4 ? slot * 0.8 : slot;
    if (m_content.depth3D > 0) {
        const double depth = std::clamp(barWidth * m_content.depth3D / 25.0, 1.0, 24.0);
        const double angle = std::clamp(m_content.elevation3D + m_content.rotation3D, 0, 80);
        g.dx = depth * std::cos(angle * std::numbers::pi / 180.0);
        g.dy = depth * std::sin(angle * std::numbers::pi / 180.0);
    }
    g.bars = QRectF(QPointF(left, top + g.dy), QPointF(plot.right() - g.dx - 4, bottom));
    g.axisArea.setTop(g.bars.top());

    const double scale = std::max(g.bars.height(), 0.0) / g.top;
    g.rects.reserve(bars);
    if (onePerSeries) {
        const double pitch = g.bars.width() / std::max(bars, 1);
        for (int i = 0; i < bars; ++i) {
            const double h = std::max(g.values[i], 0.0) * scale;
            const double x = g.bars.left() + i * pitch + (pitch - std::min(barWidth, pitch)) / 2;
            g.rects.append(QRectF(x, g.bars.bottom() - h, std::min(barWidth, pitch), h));
        }
        return g;
    }
    const double group = g.bars.width() / std::max(groups, 1);
    const double inset = (group - slot * series) / 2;
    for (int i = 0; i < bars; ++i) {
        const double h = std::max(g.values[i], 0.0) * scale;
        const double x = g.bars.left() + g.points[i] * group + inset + g.series[i] * slot +
                         (slot - barWidth) / 2;
        g.rects.append(QRectF(x, g.bars.bottom() - h, barWidth, h));
    }
    return g;
}

void ChartPainter::paintValueAxis(QPainter &painter, const BarGeometry &g) const {
    const QFontMetricsF fm(m_font);
    const QLocale locale;
    const double scale = g.bars.height() / g.top;
    QColor grid = m_content.textColor;
    grid.setAlpha(45);
    for (int i = 0; i * g.step <= g.top + g.step / 2; ++i) {
        const double v = i * g.step;
        const double y = g.bars.bottom() - v * scale;
        painter.setPen(QPen(grid, 1));
        if (g.dx > 0)
            painter.drawPolyline(
                QPolygonF({QPointF(g.bars.left(), y), QPointF(g.bars.left() + g.dx, y - g.dy),
                           QPointF(g.bars.right() + g.dx, y - g.dy)}));
        else
            painter.drawLine(QPointF(g.bars.left(), y), QPointF(g.bars.right(), y));
        if (m_content.valueAxisDisplay == 0)
            continue;
        painter.setPen(m_content.textColor);
        const QRectF cell(g.axisArea.left(), y - fm.height() / 2,
                          g.bars.left() - 6 - g.axisArea.left(), fm.height());
        painter.drawText(cell, Qt::AlignRight | Qt::AlignVCenter,
                         locale.toString(v, 'f', g.decimals));
    }
    painter.setPen(QPen(m_content.textColor, 1));
    painter.drawLine(QPointF(g.bars.left(), g.bars.top() - g.dy), g.bars.bottomLeft());
    if (m_content.categoryAxisDisplay != 0)
        painter.drawLine(g.bars.bottomLeft(), g.bars.bottomRight() + QPointF(g.dx, 0));

    if (m_content.valueAxisTitle.isEmpty() || m_content.valueAxisDisplay == 0)
        return;
    painter.setPen(m_content.textColor);
    if (m_content.valueAxisDisplay == 2) {
        // Read bottom to top along the scale, as report charts usually do.
        painter.save();
        painter.translate(g.axisArea.left() + fm.height() / 2, g.bars.center().y());
        painter.rotate(-90);
        const QRectF along(-g.bars.height() / 2, -fm.height() / 2, g.bars.height(), fm.height());
        painter.drawText(along, Qt::AlignCenter | Qt::TextSingleLine,
                         fm.elidedText(m_content.valueAxisTitle, Qt::ElideRight, along.width()));
        painter.restore();
    } else {
        const QRectF above(g.axisArea.left(), g.bars.top() - g.dy - fm.height() * 1.6,
                           g.bars.width(), fm.height());
        painter.drawText(above, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         m_content.valueAxisTitle);
    }
}

void ChartPainter::paintBars(QPainter &painter, const BarGeometry &g) const {
    paintValueAxis(painter, g);

    // Sub-pixel bars look better without seams or smoothing.
    const bool thin = !g.rects.isEmpty() && g.rects.first().width() < 3;
    painter.setRenderHint(QPainter::Antialiasing, !thin);
    const QPointF back(g.dx, -g.dy);
    for (int i = 0; i < g.rects.size(); ++i) {
        const QColor color = seriesColor(g.series[i]);
        const QPen outline = thin ? QPen(Qt::NoPen) : QPen(color.darker(170), 0.8);
        const QRectF r = g.rects[i];
        painter.setPen(outline);
        if (g.dx > 0 || g.dy > 0) {
            painter.setBrush(color.lighter(125));
            painter.drawPolygon(
                QPolygonF({r.topLeft(), r.topLeft() + back, r.topRight() + back, r.topRight()}));
            painter.setBrush(color.darker(135));
            painter.drawPolygon(QPolygonF(
                {r.topRight(), r.topRight() + back, r.bottomRight() + back, r.bottomRight()}));
        }
        painter.setBrush(color);
        painter.drawRect(r);
    }
    painter.setRenderHint(QPainter::Antialiasing, true);
    paintCategoryLabels(painter, g);
}

void ChartPainter::paintCategoryLabels(QPainter &painter, const BarGeometry &g) const {
    if (!m_content.categoryLabelsShown || m_content.pointLabels.isEmpty())
        return;
    int points = 0;
    for (const auto &v : m_content.values)
        points = std::max(points, int(v.size()));
    const QFontMetricsF fm(m_font);
    const double group = g.bars.width() / std::max(points, 1);
    painter.setPen(m_content.textColor);
    for (int p = 0; p < std::min(int(m_content.pointLabels.size()), points); ++p) {
        const QRectF cell(g.bars.left() + p * group, g.bars.bottom() + 3, group, fm.height());
        painter.drawText(cell, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine,
                         fm.elidedText(m_content.pointLabels[p], Qt::ElideRight, group));
    }
}

QList<ChartPainter::Mark> ChartPainter::barMarks(const BarGeometry &g) const {
    // A bar's label stands above the middle of its top face; a bar of nothing has none, or the
    // labels of every empty bar would crowd the axis.
    QList<Mark> marks;
    marks.reserve(g.rects.size());
    for (int i = 0; i < g.rects.size(); ++i) {
        if (g.values[i] <= 0)
            continue;
        const QRectF &r = g.rects[i];
        marks.append({g.series[i], g.points[i],
                      QPointF(r.center().x() + g.dx / 2, r.top() - g.dy / 2), QPointF(0, -1),
                      r.adjusted(0, -g.dy, g.dx, 0)});
    }
    return marks;
}

int ChartPainter::barSeriesAt(const QRectF &plot, const QPointF &pos) const {
    const BarGeometry g = barGeometry(plot);
    for (int i = 0; i < g.rects.size(); ++i) {
        if (g.rects[i].adjusted(0, -g.dy, g.dx, 0).contains(pos))
            return g.series[i];
    }
    return -1;
}
