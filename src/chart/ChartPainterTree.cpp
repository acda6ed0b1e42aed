// The whole subtree at once: a treemap (flat or cushion-shaded tiles) or rings, each item
// coloured by the child of the centre it lies in. Layouts and the cushion picture are cached
// in the chart until its subtree, size or font changes.
#include "ChartPainter.h"

#include "TreeChartLayout.h"
#include "TreeChartSource.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

using Kind = TreeChartSource::Kind;

constexpr int MaxTexts = 300; // names drawn on tiles or segments, the first (largest) ones

double lightness(const QColor &c) {
    return 0.2126 * c.redF() + 0.7152 * c.greenF() + 0.0722 * c.blueF();
}

QColor textOn(const QColor &fill) {
    return lightness(fill) > 0.5 ? QColor(Qt::black) : QColor(Qt::white);
}

// The name elided to `width`, or nothing when too little of it would be left to read.
QString readableName(const QFontMetricsF &fm, const QString &name, double width) {
    const QString text = fm.elidedText(name, Qt::ElideMiddle, width);
    return text == name || text.size() >= 9 ? text : QString();
}

double qtAngle(double clockwiseFromTop) {
    return 90.0 - clockwiseFromTop;
}

} // namespace

bool ChartPainter::drawsSubtree() const {
    return Chart::drawsSubtree(m_content.type);
}

QRectF ChartPainter::treemapBounds(const QRectF &plot) {
    return QRectF(
        QRect(QPoint(int(std::ceil(plot.left())), int(std::ceil(plot.top()))),
              QPoint(int(std::floor(plot.right())) - 1, int(std::floor(plot.bottom())) - 1)));
}

double ChartPainter::headerHeight() const {
    return std::ceil(QFontMetricsF(m_font).height() + 2);
}

const TreemapLayout *ChartPainter::treemapFor(const QRectF &plot) const {
    if (!m_content.subtree || !m_content.treeCache)
        return nullptr;
    TreeChartCache &cache = *m_content.treeCache;
    const std::uint64_t stamp = m_content.subtree->stamp();
    const double header = headerHeight();
    if (cache.rings || cache.source != m_content.subtree.get() || cache.stamp != stamp ||
        cache.bounds != plot || cache.header != header) {
        cache = TreeChartCache();
        cache.source = m_content.subtree.get();
        cache.stamp = stamp;
        cache.bounds = plot;
        cache.header = header;
        cache.treemap = TreemapLayout::build(*m_content.subtree, plot, header);
    }
    return &cache.treemap;
}

const RingsLayout *ChartPainter::ringsFor(const QRectF &plot) const {
    if (!m_content.subtree || !m_content.treeCache)
        return nullptr;
    TreeChartCache &cache = *m_content.treeCache;
    const std::uint64_t stamp = m_content.subtree->stamp();
    if (!cache.rings || cache.source != m_content.subtree.get() || cache.stamp != stamp ||
        cache.bounds != plot) {
        cache = TreeChartCache();
        cache.rings = true;
        cache.source = m_content.subtree.get();
        cache.stamp = stamp;
        cache.bounds = plot;
        cache.ringsLayout = RingsLayout::build(*m_content.subtree, plot);
    }
    return &cache.ringsLayout;
}

QColor ChartPainter::tileColor(int series, int kindCode, bool inner) const {
    QColor c = series < 0 ? groupedColor() : seriesColor(series);
    if (kindCode == int(Kind::Files))
        c = c.lighter(118); // the files of a folder beside its subfolders
    if (inner)
        c = c.darker(125); // a folder's own room around its children
    return c;
}

// Treemap -------------------------------------------------------------------------------------

// The colours of tiles by series, kind and role, each worked out once per picture: tens of
// thousands of tiles share a handful of colours.
class ChartPainter::TileColors {
public:
    explicit TileColors(const ChartPainter &painter) : m_painter(painter) {}
    QColor of(int series, int kind, bool inner) {
        const std::size_t key = std::size_t(series + 1) * 8 + std::size_t(kind) * 2 + inner;
        if (key >= m_colors.size())
            m_colors.resize(key + 1);
        if (!m_colors[key].isValid())
            m_colors[key] = m_painter.tileColor(series, kind, inner);
        return m_colors[key];
    }

private:
    const ChartPainter &m_painter;
    std::vector<QColor> m_colors;
};

const QImage &ChartPainter::cushionImage(const TreemapLayout &map, const QRectF &plot,
                                         double scale) const {
    TreeChartCache &cache = *m_content.treeCache;
    std::vector<QRgb> colours;
    colours.reserve(m_content.styles.size() + 1);
    for (int s = -1; s < int(m_content.values.size()); ++s)
        colours.push_back(tileColor(s, 0, false).rgb());
    if (!cache.cushions.isNull() && cache.cushionScale == scale && cache.cushionColours == colours)
        return cache.cushions;
    const int width = std::max(1, int(std::ceil(plot.width() * scale)));
    const int height = std::max(1, int(std::ceil(plot.height() * scale)));
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(m_content.plotBackground);
    // Light from the upper left, a little in front (the paper's choice).
    const float len = std::sqrt(1.0f + 4.0f + 100.0f);
    const float lx = -1.0f / len, ly = -2.0f / len, lz = 10.0f / len;
    constexpr float Ambient = 40.0f / 255.0f, Diffuse = 215.0f / 255.0f;
    TileColors tileColors(*this);
    for (const TreemapLayout::Own &own : map.own) {
        const TreemapLayout::Tile &t = map.tiles[std::size_t(own.tile)];
        const bool inner = t.end > own.tile + 1;
        const QColor c = tileColors.of(t.series, int(t.kind), inner);
        const float red = float(c.red()), green = float(c.green()), blue = float(c.blue());
        // Pixels whose centres fall in the rectangle: tiles share no pixel and leave none out.
        const auto first = [&](double v, double origin) {
            return int(std::ceil((v - origin) * scale - 0.5));
        };
        const int x0 = std::clamp(first(own.rect.left(), plot.left()), 0, width);
        const int x1 = std::clamp(first(own.rect.right(), plot.left()), 0, width);
        const int y0 = std::clamp(first(own.rect.top(), plot.top()), 0, height);
        const int y1 = std::clamp(first(own.rect.bottom(), plot.top()), 0, height);
        const double step = 1 / scale;
        const float dnx = float(-2 * t.ax * step);
        for (int py = y0; py < y1; ++py) {
            const double y = plot.top() + (py + 0.5) * step;
            const float ny = float(-(2 * t.ay * y + t.by));
            const float nyy = ny * ny + 1, lighty = ny * ly + lz;
            float nx = float(-(2 * t.ax * (plot.left() + (x0 + 0.5) * step) + t.bx));
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(py));
            for (int px = x0; px < x1; ++px, nx += dnx) {
                const float cosine = (nx * lx + lighty) / std::sqrt(nx * nx + nyy);
                const float light = Ambient + Diffuse * std::max(cosine, 0.0f);
                line[px] = qRgb(std::min(255, int(red * light)), std::min(255, int(green * light)),
                                std::min(255, int(blue * light)));
            }
        }
    }
    cache.cushions = image;
    cache.cushionScale = scale;
    cache.cushionColours = std::move(colours);
    return cache.cushions;
}

void ChartPainter::paintTreemap(QPainter &painter, const QRectF &area) const {
    // On whole pixels, so the cushion picture is copied rather than resampled.
    const QRectF plot = treemapBounds(area);
    const TreemapLayout *map = treemapFor(plot);
    if (!map || map->tiles.empty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (m_content.cushions) {
        // Sharp on the screen, and not needlessly large on a printer's page.
        const double scale = std::clamp(painter.deviceTransform().m11(), 1.0, 3.0);
        painter.drawImage(plot, cushionImage(*map, plot, scale));
    } else {
        TileColors tileColors(*this);
        for (std::size_t k = 0; k < map->tiles.size(); ++k) {
            const TreemapLayout::Tile &t = map->tiles[k];
            painter.fillRect(t.rect, tileColors.of(t.series, int(t.kind), t.end > int(k) + 1));
        }
    }
    // A thin frame round every folder, and in the flat style round every tile, so tiles of one
    // colour stay apart.
    QList<QRectF> frames;
    for (std::size_t k = 1; k < map->tiles.size(); ++k) {
        const TreemapLayout::Tile &t = map->tiles[k];
        if (t.rect.width() < 4 || t.rect.height() < 4)
            continue;
        if (t.end > int(k) + 1 || !m_content.cushions)
            frames.append(t.rect.adjusted(0, 0, -1, -1));
    }
    QColor frame(0, 0, 0, m_content.cushions ? 90 : 110);
    painter.setPen(QPen(frame, 0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRects(frames);
    painter.restore();
    paintTreemapTexts(painter, *map);
    const int highlighted = map->tileOf(m_content.highlighted);
    if (highlighted > 0) {
        QPainterPath shape;
        shape.addRect(map->tiles[std::size_t(highlighted)].rect);
        paintHighlight(painter, shape);
    }
}

void ChartPainter::paintTreemapTexts(QPainter &painter, const TreemapLayout &map) const {
    // Folder names over their children, and the names of leaves big enough to hold them.
    const QFontMetricsF fm(m_font);
    const double header = headerHeight();
    painter.save();
    painter.setFont(m_font);
    int drawn = 0;
    for (std::size_t k = 1; k < map.tiles.size() && drawn < MaxTexts; ++k) {
        const TreemapLayout::Tile &t = map.tiles[k];
        const bool leaf = t.end == int(k) + 1;
        QRectF box;
        if (t.header)
            box = QRectF(t.rect.left() + 4, t.rect.top() + 1, t.rect.width() - 8, header);
        else if (leaf && t.rect.width() >= 48 && t.rect.height() >= fm.height() + 6)
            box = t.rect.adjusted(3, 2, -3, -2);
        else
            continue;
        const QString text = readableName(fm, m_content.subtree->name(t.id), box.width());
        if (text.isEmpty())
            continue;
        painter.setPen(textOn(tileColor(t.series, int(t.kind), !leaf)));
        painter.drawText(box,
                         (t.header ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter) |
                             Qt::TextSingleLine,
                         text);
        ++drawn;
    }
    painter.restore();
}

void ChartPainter::paintHighlight(QPainter &painter, const QPainterPath &shape) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0, 0, 0, 200), 4));
    painter.drawPath(shape);
    painter.setPen(QPen(Qt::white, 2));
    painter.drawPath(shape);
    painter.restore();
}

// Rings ---------------------------------------------------------------------------------------

QPainterPath ChartPainter::segmentPath(const RingsLayout &rings, int index) const {
    const RingsLayout::Segment &seg = rings.segments[std::size_t(index)];
    const double inner = rings.innerRadius(seg.ring), outer = inner + rings.ringWidth;
    const QRectF o(rings.centre.x() - outer, rings.centre.y() - outer, 2 * outer, 2 * outer);
    const QRectF i(rings.centre.x() - inner, rings.centre.y() - inner, 2 * inner, 2 * inner);
    QPainterPath path;
    if (seg.span >= 359.99) {
        path.addEllipse(o);
        path.addEllipse(i);
        return path;
    }
    path.arcMoveTo(o, qtAngle(seg.start));
    path.arcTo(o, qtAngle(seg.start), -seg.span);
    path.arcTo(i, qtAngle(seg.start + seg.span), seg.span);
    path.closeSubpath();
    return path;
}

void ChartPainter::paintRings(QPainter &painter, const QRectF &plot) const {
    const RingsLayout *rings = ringsFor(plot);
    if (!rings || rings->centreId < 0)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QPen edge(m_content.plotBackground, 1);
    for (int k = 0; k < int(rings->segments.size()); ++k) {
        const RingsLayout::Segment &seg = rings->segments[std::size_t(k)];
        const QPainterPath path = segmentPath(*rings, k);
        painter.setPen(edge);
        if (seg.id < 0) {
            const QColor grey = groupedColor();
            painter.setBrush(grey);
            painter.drawPath(path);
            painter.fillPath(path, sliceBrush({GroupedSeries, 0, 0, 0}, grey));
            continue;
        }
        // Deeper rings paler, so each level reads as one band.
        QColor c = tileColor(seg.series, int(seg.kind), false);
        c = QColor::fromHsvF(c.hsvHueF(), c.hsvSaturationF() * std::pow(0.86, seg.ring - 1),
                             std::min(1.0, c.valueF() * (1 + 0.04 * (seg.ring - 1))));
        painter.setBrush(c);
        painter.drawPath(path);
    }

    // The centre: the chart's own node.
    QColor disc = m_content.textColor;
    disc.setAlpha(28);
    const QRectF hole(rings->centre.x() - rings->hole, rings->centre.y() - rings->hole,
                      2 * rings->hole, 2 * rings->hole);
    painter.setPen(QPen(disc.darker(), 1));
    painter.setBrush(disc);
    painter.drawEllipse(hole);

    const QFontMetricsF fm(m_font);
    painter.setFont(m_font);
    painter.setPen(m_content.textColor);
    const double side = rings->hole * 1.4;
    painter.drawText(
        QRectF(rings->centre.x() - side / 2, rings->centre.y() - fm.height() / 2, side,
               fm.height()),
        Qt::AlignCenter | Qt::TextSingleLine,
        fm.elidedText(m_content.subtree->name(rings->centreId), Qt::ElideMiddle, side));
    // Names where a segment has room for them, written across it.
    if (rings->ringWidth >= fm.height() + 2) {
        int drawn = 0;
        for (const RingsLayout::Segment &seg : rings->segments) {
            if (seg.id < 0 || drawn >= MaxTexts)
                continue;
            const double mid = rings->innerRadius(seg.ring) + rings->ringWidth / 2;
            const double arc = seg.span * std::numbers::pi / 180.0 * mid;
            const QString name = m_content.subtree->name(seg.id);
            const double room = std::min(arc, rings->ringWidth * 1.9) - 6;
            if (room < fm.horizontalAdvance(QStringLiteral("Abc")))
                continue;
            const QString text = readableName(fm, name, room);
            if (text.isEmpty())
                continue;
            const double angle = (seg.start + seg.span / 2) * std::numbers::pi / 180.0;
            const QPointF at(rings->centre.x() + mid * std::sin(angle),
                             rings->centre.y() - mid * std::cos(angle));
            QColor c = tileColor(seg.series, int(seg.kind), false);
            painter.setPen(textOn(c));
            painter.drawText(QRectF(at.x() - room / 2, at.y() - fm.height() / 2, room, fm.height()),
                             Qt::AlignCenter | Qt::TextSingleLine, text);
            ++drawn;
        }
    }
    painter.restore();
    const QPainterPath highlighted = treeItemShape(QRectF(), m_content.highlighted);
    if (!highlighted.isEmpty() && m_content.highlighted != rings->centreId)
        paintHighlight(painter, highlighted);
}

// Hit-testing ---------------------------------------------------------------------------------

ChartPainter::TreeHit ChartPainter::treeItemAt(const QRectF &rect, const QPointF &pos) const {
    TreeHit hit;
    if (!drawsSubtree() || isEmpty())
        return hit;
    const QRectF plot = layout(rect).plot;
    if (m_content.type == Chart::Type::Treemap) {
        const TreemapLayout *map = treemapFor(treemapBounds(plot));
        const int at = map ? map->tileAt(pos) : -1;
        if (at < 0)
            return hit;
        const TreemapLayout::Tile &t = map->tiles[std::size_t(at)];
        hit.id = t.id;
        hit.centre = at == 0;
        hit.value = t.value;
        hit.shape.addRect(t.rect);
        return hit;
    }
    const RingsLayout *rings = ringsFor(plot);
    const int at = rings ? rings->segmentAt(pos) : -1;
    if (at == RingsLayout::CentreHit) {
        hit.id = rings->centreId;
        hit.centre = true;
        hit.value = rings->centreValue;
        hit.shape.addEllipse(rings->centre, rings->hole, rings->hole);
    } else if (at >= 0) {
        const RingsLayout::Segment &seg = rings->segments[std::size_t(at)];
        hit.id = seg.id;
        hit.foldedCount = seg.foldedCount;
        hit.value = seg.value;
        hit.shape = segmentPath(*rings, at);
    }
    return hit;
}

QPainterPath ChartPainter::treeItemShape(const QRectF &rect, int id) const {
    // An empty rect: the layout last drawn, whatever its size.
    QPainterPath shape;
    if (id < 0 || !drawsSubtree() || isEmpty())
        return shape;
    const QRectF plot =
        rect.isNull() && m_content.treeCache ? m_content.treeCache->bounds : layout(rect).plot;
    if (m_content.type == Chart::Type::Treemap) {
        const TreemapLayout *map = treemapFor(treemapBounds(plot));
        const int at = map ? map->tileOf(id) : -1;
        if (at >= 0)
            shape.addRect(map->tiles[std::size_t(at)].rect);
        return shape;
    }
    const RingsLayout *rings = ringsFor(plot);
    if (!rings)
        return shape;
    if (id == rings->centreId) {
        shape.addEllipse(rings->centre, rings->hole, rings->hole);
        return shape;
    }
    for (int k = 0; k < int(rings->segments.size()); ++k)
        if (rings->segments[std::size_t(k)].id == id)
            return segmentPath(*rings, k);
    return shape;
}

QList<ChartPainter::Item> ChartPainter::treeItems(const QRectF &plot) const {
    // The centre's children as drawn: what a screen reader lists.
    QList<Item> result;
    if (m_content.type == Chart::Type::Treemap) {
        const TreemapLayout *map = treemapFor(treemapBounds(plot));
        if (!map || map->tiles.empty())
            return result;
        for (int k = 1; k < int(map->tiles.size()); k = map->tiles[std::size_t(k)].end)
            result.append({map->tiles[std::size_t(k)].series, map->tiles[std::size_t(k)].rect});
        return result;
    }
    const RingsLayout *rings = ringsFor(plot);
    if (!rings || rings->ringStart.size() < 2)
        return result;
    for (int k = rings->ringStart[0]; k < rings->ringStart[1]; ++k) {
        const RingsLayout::Segment &seg = rings->segments[std::size_t(k)];
        result.append(
            {seg.id < 0 ? GroupedSeries : seg.series, segmentPath(*rings, k).boundingRect()});
    }
    return result;
}
