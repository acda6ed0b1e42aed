#pragma once

#include "Chart.h"
#include "PieFolding.h"

#include <QColor>
#include <QFont>
#include <QIODevice>
#include <QImage>
#include <QList>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <optional>

class QPainter;
struct RingsLayout;
struct TreemapLayout;

/// Draws the shown content of a Chart onto any QPainter (a widget, an image, a PDF page):
/// title at the top, legend at the right, the pie, the bars, the treemap or the rings in the
/// rest, floating labels by the slices or bars. Lengths are in the painter's logical pixels;
/// point-sized fonts are turned into pixel sizes at `dpi`, so a picture drawn into a scaled painter
/// keeps its proportions on any device.
class ChartPainter {
public:
    /// Where the parts of the chart go; the view compares it to notice a new layout.
    struct Layout {
        QRectF title;
        QRectF plot;
        QRectF legend;
        int legendColumns = 1; ///< below the plot the legend may run in columns
        bool operator==(const Layout &) const = default;
    };

    /// A floating label where the painter puts it.
    struct PlacedLabel {
        QString text;
        QRectF box;
        QPointF anchor;
        Chart::FloatingLabel label;
    };

    /// Series index seriesAt() gives for the grouped slice or bar.
    static constexpr int GroupedSeries = -2;
    /// The most bars a chart of one bar per series shows of their own (fewer when its width
    /// leaves no room for a readable label over each); the smallest of the rest fold into one
    /// grouped bar, last, labelled like the grouped slice of a pie. Empty series get no bar.
    static constexpr int MaxBars = 16;

    explicit ChartPainter(const Chart &chart, const QFont &font = QFont(), double dpi = 96);

    Layout layout(const QRectF &rect) const;
    void paint(QPainter &painter, const QRectF &rect) const;
    /// The series whose slice or bar lies under `pos`, GroupedSeries, or -1.
    int seriesAt(const QRectF &rect, const QPointF &pos) const;

    /// The legend's lines as drawn in `rect`: elided texts, and last, when not every entry
    /// fits, a line saying how many more there are.
    QStringList legendLines(const QRectF &rect) const;
    /// The floating labels drawn in `rect`, with their boxes; labels that would overlap
    /// another label, the title or the legend are left out.
    QList<PlacedLabel> placedLabels(const QRectF &rect) const;

    /// A slice or bar as drawn in `rect`: its series (or GroupedSeries) and the rectangle that
    /// bounds it, in the order they are drawn.
    struct Item {
        int series = 0;
        QRectF bounds;
    };
    QList<Item> items(const QRectF &rect) const;

    /// What lies under a point of a treemap or rings chart.
    struct TreeHit {
        int id = -1;         ///< the subtree item, -1 for none or for a folded group
        bool centre = false; ///< the item in the centre: the chart's own node
        int foldedCount = 0; ///< for a folded group of rings, how many items it holds
        double value = 0;
        QPainterPath shape; ///< its tile or segment as drawn
    };
    TreeHit treeItemAt(const QRectF &rect, const QPointF &pos) const;
    /// The tile or segment of a subtree item as drawn in `rect`; empty when it has none.
    QPainterPath treeItemShape(const QRectF &rect, int id) const;
    bool drawsSubtree() const;

    /// Which series keep a slice or bar of their own in `rect` and which fold into the group.
    PieFolding folding(const QRectF &rect) const;

    /// The picture at `size` pixels on a fresh image.
    QImage render(const QSize &size) const;
    /// Writes the picture at `size` pixels as a PNG file; false when it cannot be written.
    bool savePng(const QString &path, const QSize &size) const;
    /// Writes the picture at `size` pixels as PNG to an open device.
    bool savePng(QIODevice &out, const QSize &size) const;

    /// The colour of a series without a style of its own.
    static QColor defaultColor(int series);
    /// The grouped slice's colour.
    static QColor groupedColor();

private:
    struct Mark {
        int series = 0; // or GroupedSeries
        int point = 0;
        QPointF anchor;    // where a label's leader line starts
        QPointF direction; // which way the label grows away from the mark
        QRectF body;       // what labels must not cover (a bar), or empty
    };
    struct Slice {
        int series = 0;
        double value = 0;
        double start = 0; // degrees clockwise from the top
        double span = 0;
    };
    struct PieGeometry {
        QRectF top; // ellipse of the pie's top face
        double wall = 0;
        double squash = 1;
        QList<Slice> slices;
    };
    struct BarGeometry {
        QRectF axisArea; // the value scale, left of the bars
        QRectF bars;     // where bars stand, bottom edge at 0
        double top = 1;  // value at the top of the scale
        double step = 1;
        int decimals = 0;
        QList<QRectF> rects; // per bar: series-major, the grouped bar last
        QList<int> series;   // per bar: its series, or GroupedSeries
        QList<int> points;   // per bar: its point
        QList<double> values;
        double dx = 0, dy = 0;
    };
    struct LegendEntry {
        QColor color;
        QString text;
        bool hatched = false;
    };

    QFont pixelFont(QFont font) const;
    bool barsPerSeries() const;
    bool legendBeside(const QRectF &rect) const;
    void foldFor(const QRectF &rect) const;
    QColor seriesColor(int series) const;
    bool isEmpty() const;
    QList<LegendEntry> legendEntries() const;
    double seriesTotal(int series) const;

    void paintTitle(QPainter &painter, const QRectF &rect) const;
    void paintLegend(QPainter &painter, const QRectF &rect, int columns) const;
    /// Where each legend line goes in `box`: its cell (entries column by column), how many
    /// entries are shown, and the text width of a cell.
    struct LegendCells {
        QList<QRectF> cells;
        int shown = 0;
        double textWidth = 0;
    };
    LegendCells legendCells(const QRectF &box, int columns, qsizetype entries) const;
    QList<Mark> marks(const Layout &layout) const;
    QList<PlacedLabel> placeLabels(const QRectF &rect, const Layout &layout,
                                   const QList<Mark> &marks) const;
    std::optional<QRectF> placeLabel(const QString &text, const Mark &mark, int offset,
                                     const QRectF &bounds, const QList<QRectF> &taken) const;
    void paintLabels(QPainter &painter, const QList<PlacedLabel> &labels) const;

    PieGeometry pieGeometry(const QRectF &plot) const;
    void paintPie(QPainter &painter, const PieGeometry &pie) const;
    QList<Mark> pieMarks(const PieGeometry &pie) const;
    void paintPieWalls(QPainter &painter, const PieGeometry &pie) const;
    QRectF sliceTop(const PieGeometry &pie, const Slice &slice) const;
    QRectF sliceBounds(const PieGeometry &pie, const Slice &slice) const;
    QBrush sliceBrush(const Slice &slice, const QColor &color) const;
    int pieSeriesAt(const QRectF &plot, const QPointF &pos) const;

    BarGeometry barGeometry(const QRectF &plot) const;
    void paintBars(QPainter &painter, const BarGeometry &bars) const;
    QList<Mark> barMarks(const BarGeometry &bars) const;
    void paintValueAxis(QPainter &painter, const BarGeometry &bars) const;
    void paintCategoryLabels(QPainter &painter, const BarGeometry &bars) const;
    int barSeriesAt(const QRectF &plot, const QPointF &pos) const;

    const TreemapLayout *treemapFor(const QRectF &plot) const;
    const RingsLayout *ringsFor(const QRectF &plot) const;
    double headerHeight() const;
    static QRectF treemapBounds(const QRectF &plot);
    QColor tileColor(int series, int kindCode, bool inner) const;
    class TileColors;
    void paintTreemap(QPainter &painter, const QRectF &plot) const;
    const QImage &cushionImage(const TreemapLayout &map, const QRectF &plot, double scale) const;
    void paintTreemapTexts(QPainter &painter, const TreemapLayout &map) const;
    void paintRings(QPainter &painter, const QRectF &plot) const;
    QPainterPath segmentPath(const RingsLayout &rings, int index) const;
    void paintHighlight(QPainter &painter, const QPainterPath &shape) const;
    QList<Item> treeItems(const QRectF &plot) const;

    const Chart::Content &m_content;
    QFont m_font;
    double m_dpi;
    QList<double> m_totals; // per series, the sum of its points
    // A pie folds the same at any size; bars fold to the width of the rectangle last laid out.
    mutable PieFolding m_folding;
    mutable QRectF m_foldedFor;
};
