// Treemap and rings layouts on random trees: areas and angles follow the values, tiles stay
// inside their parents without overlapping, nothing is lost to folding, and hit-testing finds
// what was laid out.
#include "TreeChartLayout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

namespace {

// A random folder tree: sizes fall off steeply, as on real disks; every folder ends with a
// files leaf, like the scan tree's rows.
struct RandomTree final : TreeChartSource {
    std::vector<std::vector<int>> kids{{}};
    std::vector<double> values{0};
    std::vector<Kind> kinds{Kind::Folder};

    explicit RandomTree(unsigned seed, int folders) {
        std::mt19937 random(seed);
        std::lognormal_distribution<double> size(10.0, 2.5);
        for (int f = 1; f < folders; ++f) {
            std::uniform_int_distribution<int> pick(0, f - 1);
            int parent = pick(random);
            while (kinds[std::size_t(parent)] != Kind::Folder)
                parent = pick(random);
            add(parent, Kind::Folder, 0);
        }
        for (std::size_t f = 0, n = kids.size(); f < n; ++f)
            if (kinds[f] == Kind::Folder)
                add(int(f), Kind::Files, random() % 5 == 0 ? 0.0 : size(random));
        sum(0);
    }
    int add(int parent, Kind kind, double value) {
        kids.emplace_back();
        values.push_back(value);
        kinds.push_back(kind);
        kids[std::size_t(parent)].push_back(int(kids.size()) - 1);
        return int(kids.size()) - 1;
    }
    double sum(int id) {
        for (int c : kids[std::size_t(id)])
            values[std::size_t(id)] +=
                kinds[std::size_t(c)] == Kind::Folder ? sum(c) : values[std::size_t(c)];
        return values[std::size_t(id)];
    }

    int rootId() const override { return 0; }
    double value(int id) const override { return values[std::size_t(id)]; }
    void children(int id, std::vector<Item> &out) const override {
        out.clear();
        for (int c : kids[std::size_t(id)])
            out.push_back({c, values[std::size_t(c)], kinds[std::size_t(c)]});
    }
    QString name(int id) const override { return QString::number(id); }
    QString toolTip(int id) const override { return name(id); }
    std::uint64_t stamp() const override { return 1; }
};

double aspect(const QRectF &r) {
    return std::max(r.width() / r.height(), r.height() / r.width());
}

double area(const QRectF &r) {
    return r.width() * r.height();
}

} // namespace

TEST(TreeChartLayout, SquarifiedTilesFillTheRectInProportionAndBeatSliceAndDice) {
    std::mt19937 random(11);
    std::lognormal_distribution<double> size(8.0, 2.0);
    for (int round = 0; round < 200; ++round) {
        const int n = 1 + int(random() % 60);
        std::vector<double> values(static_cast<std::size_t>(n));
        double total = 0;
        for (double &v : values)
            total += v = random() % 7 == 0 ? 0.0 : size(random);
        const QRectF rect(10, 20, 100 + random() % 900, 50 + random() % 700);
        const std::vector<QRectF> tiles = TreemapLayout::squarify(values, rect);
        ASSERT_EQ(tiles.size(), values.size());
        double worst = 1, sliced = 1, covered = 0;
        for (int i = 0; i < n; ++i) {
            const QRectF &t = tiles[std::size_t(i)];
            covered += area(t);
            if (total <= 0)
                continue;
            EXPECT_NEAR(area(t) / area(rect), values[std::size_t(i)] / total, 1e-9) << round;
            if (values[std::size_t(i)] <= 0)
                continue;
            EXPECT_TRUE(rect.adjusted(-1e-9, -1e-9, 1e-9, 1e-9).contains(t)) << round;
            worst = std::max(worst, aspect(t));
            // Slice-and-dice cuts the long side into one strip per value.
            const double share = values[std::size_t(i)] / total;
            const double along = std::max(rect.width(), rect.height()) * share;
            sliced = std::max(sliced,
                              aspect(QRectF(0, 0, along, std::min(rect.width(), rect.height()))));
            for (int j = 0; j < i; ++j)
                EXPECT_LE(area(t.intersected(tiles[std::size_t(j)])), 1e-6) << round;
        }
        if (total > 0) {
            EXPECT_NEAR(covered, area(rect), 1e-6 * area(rect)) << round;
            EXPECT_LE(worst, sliced * (1 + 1e-9)) << round << " n=" << n;
        }
    }
}

TEST(TreeChartLayout, NestedTreemapKeepsTilesInsideParentsAndFoldsWithoutLosingArea) {
    for (unsigned seed = 1; seed <= 6; ++seed) {
        const RandomTree tree(seed, 400 * int(seed));
        const QRectF bounds(0, 0, 1280, 800);
        const TreemapLayout map = TreemapLayout::build(tree, bounds, 14);
        ASSERT_FALSE(map.tiles.empty());
        // Each tile's own parts and its drawn children partition it exactly.
        std::vector<double> parts(map.tiles.size(), 0.0);
        for (const auto &own : map.own) {
            parts[std::size_t(own.tile)] += area(own.rect);
            EXPECT_TRUE(map.tiles[std::size_t(own.tile)]
                            .rect.adjusted(-1e-6, -1e-6, 1e-6, 1e-6)
                            .contains(own.rect));
        }
        for (int k = 0; k < int(map.tiles.size()); ++k) {
            const auto &t = map.tiles[std::size_t(k)];
            if (t.parent >= 0) {
                parts[std::size_t(t.parent)] += area(t.rect);
                const auto &p = map.tiles[std::size_t(t.parent)];
                EXPECT_TRUE(p.rect.adjusted(-1e-6, -1e-6, 1e-6, 1e-6).contains(t.rect)) << k;
                // Coloured by the child of the centre it lies in.
                if (t.depth == 1) {
                    const auto &top = tree.kids[0];
                    EXPECT_EQ(top[std::size_t(t.series)], t.id);
                } else {
                    EXPECT_EQ(t.series, p.series);
                }
                EXPECT_GE(area(t.rect), TreemapLayout::MinTileArea);
            }
            // Siblings never overlap.
            for (int c = k + 1; c < t.end; c = map.tiles[std::size_t(c)].end)
                for (int d = map.tiles[std::size_t(c)].end; d < t.end;
                     d = map.tiles[std::size_t(d)].end)
                    ASSERT_LE(area(map.tiles[std::size_t(c)].rect.intersected(
                                  map.tiles[std::size_t(d)].rect)),
                              1e-6);
        }
        for (std::size_t k = 0; k < map.tiles.size(); ++k)
            EXPECT_NEAR(parts[k], area(map.tiles[k].rect), 1e-6 * area(map.tiles[k].rect) + 1e-6)
                << "seed " << seed << " tile " << k;

        // Hit-testing round trip: the middle of a tile's own part finds that tile.
        for (const auto &own : map.own) {
            if (own.rect.width() < 0.01 || own.rect.height() < 0.01)
                continue;
            const int at = map.tileAt(own.rect.center());
            const int expected = own.tile;
            EXPECT_EQ(at, expected) << "seed " << seed;
        }
        EXPECT_EQ(map.tileAt(QPointF(-1, -1)), -1);
    }
}

TEST(TreeChartLayout, RingsGiveEachChildItsShareOfItsParentsAngle) {
    for (unsigned seed = 1; seed <= 6; ++seed) {
        const RandomTree tree(seed, 300 * int(seed));
        const RingsLayout rings = RingsLayout::build(tree, QRectF(0, 0, 800, 700));
        ASSERT_GE(rings.rings, 1);
        EXPECT_LE(rings.rings, RingsLayout::MaxRings);
        std::vector<double> spans(rings.segments.size(), 0.0);
        double first = 0;
        for (int k = 0; k < int(rings.segments.size()); ++k) {
            const auto &s = rings.segments[std::size_t(k)];
            const double parentValue =
                s.parent < 0 ? tree.value(0) : rings.segments[std::size_t(s.parent)].value;
            const double parentSpan =
                s.parent < 0 ? 360.0 : rings.segments[std::size_t(s.parent)].span;
            EXPECT_NEAR(s.span, parentSpan * s.value / parentValue, 1e-9);
            if (s.parent < 0)
                first += s.span;
            else
                spans[std::size_t(s.parent)] += s.span;
            // A segment drawn on its own is wide enough to see.
            if (s.id >= 0) {
                const double outer = rings.innerRadius(s.ring) + rings.ringWidth;
                EXPECT_GE(s.span * std::numbers::pi / 180 * outer, RingsLayout::MinArc - 1e-9);
            }
            // Round trip: the middle of a segment finds it.
            const double mid = rings.innerRadius(s.ring) + rings.ringWidth / 2;
            const double angle = (s.start + s.span / 2) * std::numbers::pi / 180;
            const QPointF at(rings.centre.x() + mid * std::sin(angle),
                             rings.centre.y() - mid * std::cos(angle));
            if (s.span > 1e-6) {
                EXPECT_EQ(rings.segmentAt(at), k) << "seed " << seed;
            }
        }
        EXPECT_NEAR(first, 360.0, 1e-9);
        for (int k = 0; k < int(rings.segments.size()); ++k)
            if (spans[std::size_t(k)] > 0) {
                EXPECT_NEAR(spans[std::size_t(k)], rings.segments[std::size_t(k)].span, 1e-9);
            }
        EXPECT_EQ(rings.segmentAt(rings.centre), RingsLayout::CentreHit);
        EXPECT_EQ(rings.segmentAt(QPointF(0, 0)), -1);
    }
}
