#pragma once

#include "TreeChartSource.h"

#include <QImage>
#include <QPointF>
#include <QRectF>

#include <cstdint>
#include <vector>

/// Squarified treemap layout (Bruls, Huizing and van Wijk): each folder's children share its
/// rectangle in rows chosen so the tiles come out as close to square as their values allow,
/// nested down the tree. Tiles smaller than MinTileArea pixels are not drawn on their own:
/// they stay part of their parent's area ("folded"), and their children are never asked for.
struct TreemapLayout {
    static constexpr double MinTileArea = 12; ///< pixels²
    static constexpr double MinTileSide = 1.5;

    struct Tile {
        QRectF rect;
        int id = -1;
        int parent = -1; ///< tile index, -1 for the centre
        int end = 0;     ///< one past the last tile of this tile's subtree (tiles are pre-order)
        int series = -1; ///< which child of the centre it lies in: its colour; -1 the centre
        int depth = 0;   ///< 0 for the centre
        TreeChartSource::Kind kind = TreeChartSource::Kind::Folder;
        double value = 0;
        bool header = false; ///< a folder tile wide enough to carry its name above its children
        // Cushion surface z = a·x² + b·x + c·y² + d·y, summed over the ridges down to the tile.
        float ax = 0, bx = 0, ay = 0, by = 0;
    };
    /// A part of a tile that shows the tile's own surface: a whole leaf, or the frame, header
    /// and folded children of a tile with children of its own.
    struct Own {
        QRectF rect;
        int tile = 0;
    };

    std::vector<Tile> tiles; ///< pre-order, the centre first
    std::vector<Own> own;

    /// Lays out the subtree of `source` in `bounds`; `headerHeight` is the height of a folder
    /// name above its children (0: no headers).
    static TreemapLayout build(const TreeChartSource &source, const QRectF &bounds,
                               double headerHeight);

    /// Squarified rectangles of `values` (in their order) filling `rect` exactly.
    static std::vector<QRectF> squarify(const std::vector<double> &values, const QRectF &rect);

    /// The deepest tile under `pos`, or -1 outside the centre's tile.
    int tileAt(const QPointF &pos) const;
    /// The tile of an item, or -1 when it has none of its own.
    int tileOf(int id) const;
};

/// Rings (a sunburst): the centre item as a disc, each ring one level deeper, each item's
/// angle its share of its parent's. Children too thin to see on a ring fold into one
/// segment per parent; rings stop at MaxRings.
struct RingsLayout {
    static constexpr int MaxRings = 6;
    static constexpr double MinRingWidth = 14;
    static constexpr double MinArc = 2.5; ///< pixels along the ring's outer edge

    struct Segment {
        int id = -1;      ///< -1 for a folded group
        int parent = -1;  ///< segment index, -1 below the first ring
        int ring = 1;     ///< 1 for the centre's children
        int series = -1;  ///< which child of the centre it lies in: its colour
        double start = 0; ///< degrees clockwise from the top
        double span = 0;  ///< degrees
        double value = 0;
        int foldedCount = 0; ///< for a folded group, how many items it holds
        TreeChartSource::Kind kind = TreeChartSource::Kind::Folder;
    };

    QPointF centre;
    double hole = 0; ///< radius of the centre disc
    double ringWidth = 0;
    int rings = 0;
    int centreId = -1;
    double centreValue = 0;
    std::vector<Segment> segments; ///< ring by ring, each ring in angle order
    std::vector<int> ringStart;    ///< first segment of ring k at [k - 1]; one more at the end

    static RingsLayout build(const TreeChartSource &source, const QRectF &bounds);

    /// The segment under `pos`; -1 outside the rings, CentreHit over the centre disc.
    static constexpr int CentreHit = -2;
    int segmentAt(const QPointF &pos) const;
    double innerRadius(int ring) const { return hole + (ring - 1) * ringWidth; }
};

/// The layouts a chart drew last, kept until its subtree, size or font changes, so repaints,
/// hover and clicks do not lay it out again.
struct TreeChartCache {
    const TreeChartSource *source = nullptr;
    std::uint64_t stamp = 0;
    QRectF bounds;
    double header = -1;
    bool rings = false;
    TreemapLayout treemap;
    RingsLayout ringsLayout;
    // The shaded picture of the treemap's tiles, for the layout above, its colours and scale.
    QImage cushions;
    std::vector<QRgb> cushionColours;
    double cushionScale = 0;
};
