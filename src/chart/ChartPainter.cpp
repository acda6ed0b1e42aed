#include "ChartPainter.h"

#include "TreeChartSource.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr double Pad = 8;

// A readable set for series the program gave no colour of its own.
const QColor Palette[] = {
    QColor(0x4e, 0x79, 0xa7), QColor(0xf2, 0x8e, 0x2b), QColor(0xe1, 0x57, 0x59),
    QColor(0x76, 0xb7, 0xb2), QColor(0x59, 0xa1, 0x4f), QColor(0xed, 0xc9, 0x48),
    QColor(0xb0, 0x7a, 0xa1), QColor(0xff, 0x9d, 0xa7), QColor(0x9c, 0x75, 0x5f),
    QColor(0xba, 0xb0, 0xac), QColor(0x86, 0xbc, 0xb6), QColor(0xd3, 0x72, 0x95),
};

} // namespace

ChartPainter::ChartPainter(const Chart &chart, const QFont &font, double dpi)
    : m_content(chart.shownContent()), m_dpi(dpi) {
    m_font = pixelFont(font);
    m_totals.reserve(m_content.values.size());
    for (const auto &points : m_content.values) {
        double sum = 0;
        for (double v : points)
            sum += std::max(v, 0.0);
        m_totals.append(sum);
    }
    if (m_content.type != Chart::Type::Bar) {
        // A treemap's or rings' legend names the centre's children as a pie's does.
        m_folding = PieFolding::fold(m_totals, m_content.grouping);
        m_folding.dropEmpty(m_totals);
    }
}

bool ChartPainter::barsPerSeries() const {
    if (m_content.type != Chart::Type::Bar || m_content.values.size() < 2)
        return false;
    return std::all_of(m_content.values.begin(), m_content.values.end(),
                       [](const QList<double> &points) { return points.size() <= 1; });
}

void ChartPainter::foldFor(const QRectF &rect) const {
    // One bar per series folds like the slices of a pie, down to as many bars as the width
    // gives room for with a readable label over each; how many depends on the chart's size.
    if (!barsPerSeries() || rect == m_foldedFor)
        return;
    m_foldedFor = rect;
    const QFontMetricsF fm(m_font);
    double width = rect.width() - 2 * Pad;
    if (legendBeside(rect))
        width *= 0.62;
    width -= fm.horizontalAdvance(QStringLiteral("00000")) + fm.height() + 8;
    const double pitch = std::max(fm.averageCharWidth() * 4, 20.0);
    const int maxBars = std::clamp(int(width / pitch), 2, MaxBars);
    m_folding = PieFolding::foldBars(m_totals, maxBars);
    m_folding.dropEmpty(m_totals);
}

PieFolding ChartPainter::folding(const QRectF &rect) const {
    foldFor(rect);
    return m_folding;
}

QFont ChartPainter::pixelFont(QFont font) const {
    if (font.pixelSize() <= 0)
        font.setPixelSize(std::max(1, int(std::lround(font.pointSizeF() * m_dpi / 72.0))));
    return font;
}

QColor ChartPainter::defaultColor(int series) {
    return Palette[std::abs(series) % std::size(Palette)];
}

QColor ChartPainter::groupedColor() {
    return QColor(150, 150, 150);
}

QColor ChartPainter::seriesColor(int series) const {
    if (series == GroupedSeries)
        return groupedColor();
    if (series >= 0 && series < m_content.styles.size() && m_content.styles[series].isValid())
        return m_content.styles[series];
    return defaultColor(series);
}

double ChartPainter::seriesTotal(int series) const {
    return series >= 0 && series < m_totals.size() ? m_totals[series] : 0.0;
}

bool ChartPainter::isEmpty() const {
    if (drawsSubtree())
        return !m_content.subtree || m_content.subtree->rootId() < 0;
    return std::all_of(m_content.values.begin(), m_content.values.end(),
                       [](const QList<double> &points) { return points.isEmpty(); });
}

QList<ChartPainter::LegendEntry> ChartPainter::legendEntries() const {
    QList<LegendEntry> entries;
    const auto &texts = m_content.legendTexts;
    if (m_content.type != Chart::Type::Bar) {
        for (int series : m_folding.own) {
            if (series < texts.size())
                entries.append({seriesColor(series), texts[series], false});
        }
        if (m_folding.otherCount > 0) {
            entries.append({groupedColor(), m_content.grouping.shownLabel(), true});
        }
    } else if (barsPerSeries()) {
        for (int series : m_folding.own) {
            if (series < texts.size())
                entries.append({seriesColor(series), texts[series], false});
        }
        if (m_folding.otherCount > 0)
            entries.append({groupedColor(), m_content.grouping.shownLabel(), false});
    } else {
        const qsizetype n = std::min(texts.size(), m_content.values.size());
        for (int series = 0; series < n; ++series)
            entries.append({seriesColor(series), texts[series], false});
    }
    return entries;
}

bool ChartPainter::legendBeside(const QRectF &rect) const {
    // Beside the plot in a wide pane, below it in a tall or narrow one.
    return rect.width() >= 300 && rect.width() >= rect.height() * 1.1;
}

ChartPainter::Layout ChartPainter::layout(const QRectF &rect) const {
    Layout result;
    if (isEmpty()) {
        result.plot = rect;
        return result;
    }
    foldFor(rect);
    QRectF inner = rect.adjusted(Pad, Pad, -Pad, -Pad);
    if (!m_content.title.isEmpty()) {
        const QFontMetricsF fm(pixelFont(m_content.titleFont));
        result.title = QRectF(inner.left(), inner.top(), inner.width(), fm.height());
        inner.setTop(result.title.bottom() + Pad);
    }
    const QList<LegendEntry> entries = m_content.legendPlacement == Chart::LegendPlacement::Right
                                           ? legendEntries()
                                           : QList<LegendEntry>();
    if (!entries.isEmpty() && inner.width() > 60 && inner.height() > 60) {
        const bool beside = legendBeside(rect);
        const QFontMetricsF fm(m_font);
        const double line = std::ceil(fm.height() + 4);
        // Below the plot the legend takes at most two fifths of the height.
        const double room = beside ? inner.height() : inner.height() * 0.4;
        const int fit = std::max(1, int((room - 2 * Pad) / line));
        const int shown = std::min<int>(fit, int(entries.size()));
        double textWidth = 0;
        for (int i = 0; i < shown; ++i)
            textWidth = std::max(textWidth, fm.horizontalAdvance(entries[i].text));
        if (shown < entries.size())
            textWidth =
                std::max(textWidth, fm.horizontalAdvance(QStringLiteral("and 00,000 more")));
        const double natural = textWidth + fm.height() + 6 + 2 * Pad;
        const double height = shown * line + 2 * Pad;
        if (beside) {
            const double width = std::clamp(natural, 90.0, inner.width() * 0.38);
            result.legend =
                QRectF(inner.right() - width, inner.center().y() - height / 2, width, height);
            inner.setRight(result.legend.left() - Pad);
        } else {
            // Below the plot, in as many columns as the width holds and the entries need.
            const double gap = 2 * Pad;
            const double cell = std::min(natural - 2 * Pad, inner.width() - 2 * Pad);
            const int maxColumns = std::max(1, int((inner.width() - 2 * Pad + gap) / (cell + gap)));
            const int rows =
                std::max(1, std::min(fit, int((entries.size() + maxColumns - 1) / maxColumns)));
            const int columns =
                std::max(1, std::min(maxColumns, int((entries.size() + rows - 1) / rows)));
            const double width = columns * cell + (columns - 1) * gap + 2 * Pad;
            const double tall = rows * line + 2 * Pad;
            result.legend =
                QRectF(inner.center().x() - width / 2, inner.bottom() - tall, width, tall);
            result.legendColumns = columns;
            inner.setBottom(result.legend.top() - Pad);
        }
    }
    result.plot = inner;
    return result;
}

void ChartPainter::paint(QPainter &painter, const QRectF &rect) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setClipRect(rect, Qt::IntersectClip);
    painter.fillRect(rect, m_content.background);
    if (isEmpty()) {
        painter.restore();
        return;
    }
    const Layout parts = layout(rect);
    if (m_content.plotBackground != m_content.background)
        painter.fillRect(parts.plot, m_content.plotBackground);
    if (m_content.plotFrameWidth > 0) {
        painter.setPen(QPen(m_content.plotBackground.darker(160), m_content.plotFrameWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(parts.plot);
    }
    painter.setFont(m_font);
    QList<Mark> marks;
    if (m_content.type == Chart::Type::Treemap) {
        paintTreemap(painter, parts.plot);
    } else if (m_content.type == Chart::Type::Rings) {
        paintRings(painter, parts.plot);
    } else if (m_content.type == Chart::Type::Pie) {
        const PieGeometry pie = pieGeometry(parts.plot);
        paintPie(painter, pie);
        marks = pieMarks(pie);
    } else {
        const BarGeometry bars = barGeometry(parts.plot);
        paintBars(painter, bars);
        marks = barMarks(bars);
    }
    paintTitle(painter, parts.title);
    paintLegend(painter, parts.legend, parts.legendColumns);
    paintLabels(painter, placeLabels(rect, parts, marks));
    if (m_content.borderShown) {
        painter.setPen(QPen(m_content.background.darker(170), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect.adjusted(0.5, 0.5, -0.5, -0.5));
    }
    painter.restore();
}

int ChartPainter::seriesAt(const QRectF &rect, const QPointF &pos) const {
    if (isEmpty() || drawsSubtree())
        return -1;
    const QRectF plot = layout(rect).plot;
    return m_content.type == Chart::Type::Pie ? pieSeriesAt(plot, pos) : barSeriesAt(plot, pos);
}

QList<ChartPainter::Item> ChartPainter::items(const QRectF &rect) const {
    QList<Item> result;
    if (isEmpty())
        return result;
    const QRectF plot = layout(rect).plot;
    if (drawsSubtree())
        return treeItems(plot);
    if (m_content.type == Chart::Type::Pie) {
        const PieGeometry pie = pieGeometry(plot);
        for (const Slice &slice : pie.slices) {
            if (slice.span > 0)
                result.append({slice.series, sliceBounds(pie, slice)});
        }
    } else {
        const BarGeometry g = barGeometry(plot);
        for (int i = 0; i < g.rects.size(); ++i)
            result.append({g.series[i], g.rects[i].adjusted(0, -g.dy, g.dx, 0)});
    }
    return result;
}

void ChartPainter::paintTitle(QPainter &painter, const QRectF &rect) const {
    if (rect.isEmpty())
        return;
    const QFont font = pixelFont(m_content.titleFont);
    painter.setFont(font);
    painter.setPen(m_content.titleColor);
    const QString text =
        QFontMetricsF(font).elidedText(m_content.title, Qt::ElideMiddle, rect.width());
    painter.drawText(rect, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine, text);
    painter.setFont(m_font);
}

namespace {

QString moreLine(qsizetype count) {
    return QStringLiteral("and %1 more").arg(QLocale().toString(count));
}

} // namespace

ChartPainter::LegendCells ChartPainter::legendCells(const QRectF &box, int columns,
                                                    qsizetype entries) const {
    // When not every entry fits, the last cell says how many more there are.
    LegendCells result;
    const QFontMetricsF fm(m_font);
    const double line = std::ceil(fm.height() + 4);
    const double gap = 2 * Pad;
    columns = std::max(columns, 1);
    const int rows = std::max(1, int((box.height() - 2 * Pad + 0.5) / line));
    const int capacity = rows * columns;
    result.shown = capacity < entries ? std::max(capacity - 1, 0) : int(entries);
    const double width = (box.width() - 2 * Pad - (columns - 1) * gap) / columns;
    result.textWidth = width - std::round(fm.height() * 0.7) - 6;
    const int cells = std::min<qsizetype>(capacity, entries);
    for (int i = 0; i < cells; ++i)
        result.cells.append(QRectF(box.left() + Pad + (i / rows) * (width + gap),
                                   box.top() + Pad + (i % rows) * line, width, line));
    return result;
}

QStringList ChartPainter::legendLines(const QRectF &rect) const {
    QStringList lines;
    const Layout parts = layout(rect);
    if (parts.legend.isEmpty())
        return lines;
    const QList<LegendEntry> entries = legendEntries();
    const QFontMetricsF fm(m_font);
    const LegendCells cells = legendCells(parts.legend, parts.legendColumns, entries.size());
    for (int i = 0; i < cells.shown; ++i)
        lines.append(fm.elidedText(entries[i].text, Qt::ElideRight, cells.textWidth));
    if (cells.shown < entries.size())
        lines.append(
            fm.elidedText(moreLine(entries.size() - cells.shown), Qt::ElideRight, cells.textWidth));
    return lines;
}

void ChartPainter::paintLegend(QPainter &painter, const QRectF &rect, int columns) const {
    if (rect.isEmpty())
        return;
    const QList<LegendEntry> entries = legendEntries();
    const QFontMetricsF fm(m_font);
    const LegendCells cells = legendCells(rect, columns, entries.size());

    QColor frame = m_content.textColor;
    frame.setAlpha(90);
    painter.setPen(QPen(frame, 1));
    painter.setBrush(m_content.legendBackground);
    painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);

    const double swatch = std::round(fm.height() * 0.7);
    for (int i = 0; i < cells.shown; ++i) {
        const LegendEntry &entry = entries[i];
        const QRectF &cell = cells.cells[i];
        const QRectF box(cell.left(), cell.top() + (cell.height() - swatch) / 2, swatch, swatch);
        painter.setPen(QPen(entry.color.darker(150), 1));
        painter.setBrush(entry.color);
        painter.drawRect(box);
        if (entry.hatched)
            painter.fillRect(box, sliceBrush({GroupedSeries, 0, 0, 0}, entry.color));
        painter.setPen(m_content.textColor);
        painter.drawText(
            QRectF(cell.left() + swatch + 6, cell.top(), cells.textWidth, cell.height()),
            Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
            fm.elidedText(entry.text, Qt::ElideRight, cells.textWidth));
    }
    if (cells.shown < entries.size() && cells.shown < cells.cells.size()) {
        const QRectF &cell = cells.cells[cells.shown];
        QFont italic = m_font;
        italic.setItalic(true);
        painter.setFont(italic);
        painter.setPen(m_content.textColor);
        painter.drawText(
            QRectF(cell.left() + swatch + 6, cell.top(), cells.textWidth, cell.height()),
            Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
            fm.elidedText(moreLine(entries.size() - cells.shown), Qt::ElideRight, cells.textWidth));
        painter.setFont(m_font);
    }
}

QImage ChartPainter::render(const QSize &size) const {
    QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    image.fill(m_content.background);
    QPainter painter(&image);
    paint(painter, QRectF(QPointF(0, 0), QSizeF(image.size())));
    painter.end();
    return image;
}

bool ChartPainter::savePng(const QString &path, const QSize &size) const {
    return render(size).save(path, "PNG");
}

bool ChartPainter::savePng(QIODevice &out, const QSize &size) const {
    return render(size).save(&out, "PNG");
}
