#include "TreeChartLayout.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <numeric>

namespace {

using Kind = TreeChartSource::Kind;

// Cushion ridges (van Wijk and van de Wetering): each level adds a parabola across its tile,
// lower by `RidgeFall` at every level, so the nesting shows as shading.
constexpr double RidgeHeight = 0.5;
constexpr double RidgeFall = 0.75;
// Deeper than this, tiles fold: no folder tree worth drawing is this deep, and it bounds the
// recursion.
constexpr int MaxDepth = 200;

void addRidges(TreemapLayout::Tile &tile, double height) {
    const QRectF &r = tile.rect;
    if (r.width() > 0) {
        tile.bx += float(4 * height * (r.right() + r.left()) / r.width());
        tile.ax -= float(4 * height / r.width());
    }
    if (r.height() > 0) {
        tile.by += float(4 * height * (r.bottom() + r.top()) / r.height());
        tile.ay -= float(4 * height / r.height());
    }
}

bool visible(const QRectF &r) {
    return r.width() >= TreemapLayout::MinTileSide && r.height() >= TreemapLayout::MinTileSide &&
           r.width() * r.height() >= TreemapLayout::MinTileArea;
}

class TreemapBuilder {
public:
    TreemapBuilder(const TreeChartSource &source, TreemapLayout &out, double header)
        : m_source(source), m_out(out), m_header(header) {}

    void fill(int index) {
        const TreemapLayout::Tile tile = m_out.tiles[std::size_t(index)];
        std::vector<TreeChartSource::Item> items;
        if (tile.depth < MaxDepth)
            m_source.children(tile.id, items);
        QRectF inner = tile.rect;
        if (tile.depth > 0 && !items.empty()) {
            // A frame, and over it the folder's name when the tile is big enough to spare it.
            if (inner.width() >= 10 && inner.height() >= 10)
                inner.adjust(1, 1, -1, -1);
            if (m_header > 0 && inner.width() >= 60 && inner.height() >= 4 * m_header) {
                inner.setTop(inner.top() + m_header);
                m_out.tiles[std::size_t(index)].header = true;
            }
        }
        std::vector<double> values(items.size());
        for (std::size_t k = 0; k < items.size(); ++k)
            values[k] = std::max(items[k].value, 0.0);
        // The single files of a files row are a part of it: the rest of its files take the rest
        // of its tile, which shows as the row's own.
        if (tile.kind == Kind::Files && !items.empty()) {
            const double rest = tile.value - std::accumulate(values.begin(), values.end(), 0.0);
            if (rest > 0)
                values.push_back(rest);
        }
        // Squarifying needs the largest first: in any other order (by name, say) small tiles
        // ahead of big ones come out as slivers. The items keep their order otherwise, so the
        // top-level ones keep their colours.
        std::vector<std::size_t> order(values.size());
        std::iota(order.begin(), order.end(), std::size_t(0));
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return values[a] > values[b]; });
        std::vector<double> sorted(values.size());
        for (std::size_t k = 0; k < order.size(); ++k)
            sorted[k] = values[order[k]];
        const std::vector<QRectF> placed = TreemapLayout::squarify(sorted, inner);
        std::vector<QRectF> rects(values.size());
        for (std::size_t k = 0; k < order.size(); ++k)
            rects[order[k]] = placed[k];
        bool any = false;
        std::vector<TreemapLayout::Own> folded;
        if (values.size() > items.size() && rects.back().width() > 1e-9 &&
            rects.back().height() > 1e-9)
            folded.push_back({rects.back(), index});
        for (std::size_t k = 0; k < items.size(); ++k) {
            const QRectF &r = rects[k];
            if (values[k] <= 0 || !visible(r)) {
                if (r.width() > 1e-9 && r.height() > 1e-9)
                    folded.push_back({r, index});
                continue;
            }
            any = true;
            TreemapLayout::Tile child = tile;
            child.rect = r;
            child.id = items[k].id;
            child.parent = index;
            child.series = tile.depth == 0 ? int(k) : tile.series;
            child.depth = tile.depth + 1;
            child.kind = items[k].kind;
            child.value = values[k];
            child.header = false;
            addRidges(child, RidgeHeight * std::pow(RidgeFall, child.depth));
            const int at = int(m_out.tiles.size());
            m_out.tiles.push_back(child);
            fill(at);
        }
        if (!any) {
            // Nothing drawn inside: the whole tile shows itself.
            m_out.own.push_back({tile.rect, index});
        } else {
            m_out.own.insert(m_out.own.end(), folded.begin(), folded.end());
            // The frame and header around the children.
            const QRectF &o = tile.rect;
            const QRectF parts[] = {
                QRectF(o.left(), o.top(), o.width(), inner.top() - o.top()),
                QRectF(o.left(), inner.bottom(), o.width(), o.bottom() - inner.bottom()),
                QRectF(o.left(), inner.top(), inner.left() - o.left(), inner.height()),
                QRectF(inner.right(), inner.top(), o.right() - inner.right(), inner.height()),
            };
            for (const QRectF &p : parts)
                if (p.width() > 1e-9 && p.height() > 1e-9) // not a rounding sliver
                    m_out.own.push_back({p, index});
        }
        m_out.tiles[std::size_t(index)].end = int(m_out.tiles.size());
    }

private:
    const TreeChartSource &m_source;
    TreemapLayout &m_out;
    double m_header;
};

} // namespace

std::vector<QRectF> TreemapLayout::squarify(const std::vector<double> &values, const QRectF &rect) {
    const std::size_t n = values.size();
    std::vector<QRectF> out(n, QRectF(rect.topLeft(), QSizeF(0, 0)));
    // What is left to place from each index on; the last row takes whatever room is left, so
    // rounding never leaves a gap at the far edge.
    std::vector<double> rest(n + 1, 0.0);
    for (std::size_t k = n; k-- > 0;)
        rest[k] = rest[k + 1] + std::max(values[k], 0.0);
    if (rest[0] <= 0 || rect.width() <= 0 || rect.height() <= 0)
        return out;
    const double scale = rect.width() * rect.height() / rest[0];
    QRectF r = rect;
    std::size_t i = 0;
    while (i < n && rest[i] > 0) {
        const bool wide = r.width() >= r.height();
        const double side = wide ? r.height() : r.width();
        if (side <= 0)
            break; // rounding used up the room: the rest get empty tiles
        // Grow the row while its worst aspect ratio improves.
        double sum = 0, least = std::numeric_limits<double>::infinity(), most = 0;
        double worst = std::numeric_limits<double>::infinity();
        std::size_t j = i;
        while (j < n) {
            const double a = std::max(values[j], 0.0) * scale;
            if (a <= 0) {
                ++j;
                continue;
            }
            const double s = sum + a, lo = std::min(least, a), hi = std::max(most, a);
            const double ratio = std::max(side * side * hi / (s * s), s * s / (side * side * lo));
            if (sum > 0 && ratio > worst)
                break;
            sum = s;
            least = lo;
            most = hi;
            worst = ratio;
            ++j;
        }
        const bool last = rest[j] <= 0;
        const double thick = last ? (wide ? r.width() : r.height())
                                  : std::min(sum / side, wide ? r.width() : r.height());
        const double rowSum = rest[i] - rest[j];
        double done = 0;
        for (std::size_t k = i; k < j; ++k) {
            const double v = std::max(values[k], 0.0);
            const double from = side * done / rowSum;
            done += v;
            const double to = k + 1 == j ? side : side * done / rowSum;
            out[k] = wide ? QRectF(r.left(), r.top() + from, thick, to - from)
                          : QRectF(r.left() + from, r.top(), to - from, thick);
        }
        if (wide)
            r.setLeft(r.left() + thick);
        else
            r.setTop(r.top() + thick);
        i = j;
    }
    for (std::size_t k = i; k < n; ++k)
        out[k] = QRectF(r.topLeft(), QSizeF(0, 0));
    return out;
}

TreemapLayout TreemapLayout::build(const TreeChartSource &source, const QRectF &bounds,
                                   double headerHeight) {
    TreemapLayout layout;
    const int root = source.rootId();
    if (root < 0 || bounds.width() < 1 || bounds.height() < 1)
        return layout;
    Tile centre;
    centre.rect = bounds;
    centre.id = root;
    centre.value = std::max(source.value(root), 0.0);
    addRidges(centre, RidgeHeight);
    layout.tiles.push_back(centre);
    TreemapBuilder(source, layout, headerHeight).fill(0);
    return layout;
}

int TreemapLayout::tileAt(const QPointF &pos) const {
    if (tiles.empty() || !tiles[0].rect.contains(pos))
        return -1;
    int at = 0;
    for (;;) {
        const Tile &t = tiles[std::size_t(at)];
        int next = -1;
        for (int c = at + 1; c < t.end; c = tiles[std::size_t(c)].end) {
            if (tiles[std::size_t(c)].rect.contains(pos)) {
                next = c;
                break;
            }
        }
        if (next < 0)
            return at;
        at = next;
    }
}

int TreemapLayout::tileOf(int id) const {
    for (std::size_t k = 0; k < tiles.size(); ++k)
        if (tiles[k].id == id)
            return int(k);
    return -1;
}

// Rings ---------------------------------------------------------------------------------------

namespace {

void layRings(const TreeChartSource &source, RingsLayout &out, int rings) {
    out.rings = rings;
    out.segments.clear();
    out.ringStart.assign(1, 0);
    std::vector<TreeChartSource::Item> items;
    // The ring before: segments [from, to) in `out.segments`; the centre before the first.
    int from = -1, to = 0;
    for (int ring = 1; ring <= rings; ++ring) {
        const double outer = out.innerRadius(ring) + out.ringWidth;
        const double minSpan = RingsLayout::MinArc / outer * 180.0 / std::numbers::pi;
        const int parents = ring == 1 ? 1 : to - from;
        for (int p = 0; p < parents; ++p) {
            int parentId = out.centreId, parentIndex = -1, series = -1;
            double start = 0, span = 360;
            if (ring > 1) {
                parentIndex = from + p;
                const RingsLayout::Segment &parent = out.segments[std::size_t(parentIndex)];
                if (parent.id < 0 || parent.kind != Kind::Folder)
                    continue;
                parentId = parent.id;
                series = parent.series;
                start = parent.start;
                span = parent.span;
            }
            source.children(parentId, items);
            double total = 0;
            for (const auto &item : items)
                total += std::max(item.value, 0.0);
            if (total <= 0)
                continue;
            RingsLayout::Segment group;
            group.parent = parentIndex;
            group.ring = ring;
            group.series = series;
            double at = start;
            for (std::size_t k = 0; k < items.size(); ++k) {
                const double v = std::max(items[k].value, 0.0);
                if (v <= 0)
                    continue;
                const double s = span * v / total;
                if (s < minSpan) {
                    group.value += v;
                    group.span += s;
                    ++group.foldedCount;
                    continue;
                }
                RingsLayout::Segment seg;
                seg.id = items[k].id;
                seg.parent = parentIndex;
                seg.ring = ring;
                seg.series = ring == 1 ? int(k) : series;
                seg.start = at;
                seg.span = s;
                seg.value = v;
                seg.kind = items[k].kind;
                out.segments.push_back(seg);
                at += s;
            }
            if (group.foldedCount > 0) {
                group.start = at;
                out.segments.push_back(group);
            }
        }
        from = to;
        to = int(out.segments.size());
        out.ringStart.push_back(to);
        if (from == to) {
            out.rings = ring - 1;
            out.ringStart.pop_back();
            break;
        }
    }
}

} // namespace

RingsLayout RingsLayout::build(const TreeChartSource &source, const QRectF &bounds) {
    RingsLayout layout;
    layout.centre = bounds.center();
    layout.centreId = source.rootId();
    const double radius = std::min(bounds.width(), bounds.height()) / 2 - 2;
    if (layout.centreId < 0 || radius < 24)
        return layout;
    layout.centreValue = std::max(source.value(layout.centreId), 0.0);
    layout.hole = std::max(radius * 0.2, 12.0);
    const int rings = std::clamp(int((radius - layout.hole) / MinRingWidth), 1, MaxRings);
    layout.ringWidth = (radius - layout.hole) / rings;
    layRings(source, layout, rings);
    if (layout.rings > 0 && layout.rings < rings) {
        // A shallow tree gets wider rings.
        const int used = layout.rings;
        layout.ringWidth = (radius - layout.hole) / used;
        layRings(source, layout, used);
    }
    return layout;
}

int RingsLayout::segmentAt(const QPointF &pos) const {
    const double dx = pos.x() - centre.x(), dy = pos.y() - centre.y();
    const double r = std::hypot(dx, dy);
    if (centreId < 0)
        return -1;
    if (r < hole)
        return CentreHit;
    if (ringWidth <= 0)
        return -1;
    const int ring = int((r - hole) / ringWidth) + 1;
    if (ring > rings || ring < 1 || std::size_t(ring) >= ringStart.size())
        return -1;
    double angle = std::atan2(dx, -dy) * 180.0 / std::numbers::pi;
    if (angle < 0)
        angle += 360;
    const auto first = segments.begin() + ringStart[std::size_t(ring - 1)];
    const auto last = segments.begin() + ringStart[std::size_t(ring)];
    auto it = std::upper_bound(first, last, angle,
                               [](double a, const Segment &s) { return a < s.start; });
    if (it == first)
        return -1;
    --it;
    return angle < it->start + it->span ? int(it - segments.begin()) : -1;
}
