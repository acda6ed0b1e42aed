#pragma once

#include "Chart.h"
#include "Fixed.h"
#include "GridSubtree.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <random>

class QPalette;
class OutlineGrid;
class ScanTree;
struct Settings;

/// Fills the chart `chMain` with how the selected node of the scan tree divides among its
/// direct children: one pie slice or bar per child row, in grid order, each with its legend
/// text ("12.50% name"), its own fill colour and a floating label carrying the child's name;
/// and with the node's whole subtree, which a treemap or rings chart draws in those colours.
///
/// Colours come from a generator with a fixed seed that the object owns, so every run of the
/// program gives the same colours to the same sequence of fills; the sequence runs on from one
/// fill to the next.
class NodeChart {
public:
    /// Receives the text for the first panel of the status bar.
    using StatusSink = std::function<void(const QString &)>;

    /// The references must outlive the object; `tree` gives the size factor and reads cells.
    NodeChart(OutlineGrid &grid, Chart &chart, ScanTree &tree, const Settings &settings,
              StatusSink status);

    /// Fills the chart for the last selected row (the grid's click handler). Shows the row's
    /// folder path in the status bar; a files row shows its folder's path and clears the chart.
    /// With `chartShown` false only the status text changes. Returns true when the chart now
    /// shows the row. Raises AppError for a cell that is not a number; the chart is then left
    /// as far as the fill got, drawn, and the pointer is restored.
    bool fill(bool chartShown);

    /// Empties the chart: no title, no data, no legend texts, labels or series styles.
    void clear();

    /// The row the chart shows, or -1 after a clear.
    int chartedRow() const { return m_row; }
    /// The child row a series of the chart stands for, or -1 when the grid no longer holds it
    /// where it was when the chart was filled.
    int childRow(int series) const;

    /// The chart's look that never changes after start-up: backgrounds, legend, axes, title
    /// font and colour, the grouped slice's pull-out, and the grouped slice's first label.
    void applyStartupAppearance();

    /// The chart's colours from a palette, so its texts read in a light or a dark one: the
    /// background is the palette's base, the scale and legend texts its text colour, the title
    /// keeps its blue in a shade that reads on that base. The series colours stay.
    void applyPalette(const QPalette &palette);

    /// Chart type (`Chart_Type`: 1 bars, 2 treemap, 3 rings, anything else a pie), the
    /// treemap's shading (`Treemap_Cushions`) and the 3D view (`3D_Effects`: depth, elevation
    /// and rotation all 15, or all 0).
    void applyChartSettings();
    static Chart::Type chartTypeOf(int chartType);

    /// An item picked on a treemap or rings chart without making it the centre: the status
    /// bar shows its row's path and the chart marks it.
    void showItem(int id);
    /// The row a treemap or rings item stands for (a single file's files row); -1 for none.
    int rowOfItem(int id) const;

    /// Single files to show inside the tiles of files rows (none until set).
    void setFileItems(GridSubtree::FileItems items) { m_fileItems = std::move(items); }

    /// While a comparison is shown (ScanCompare), charts each child's growth since the earlier
    /// scan instead of its size; children that shrank or stayed get no share. Where nothing
    /// grew, the sizes are charted.
    void setShowGrowth(bool on) { m_showGrowth = on; }
    bool showsGrowth() const { return m_showGrowth; }

    /// The seed of the colour generator; fixed so that runs repeat their colours.
    static constexpr std::uint32_t ColourSeed = 20240607u;

private:
    OutlineGrid &m_grid;
    Chart &m_chart;
    ScanTree &m_tree;
    const Settings &m_settings;
    StatusSink m_status;
    std::minstd_rand m_random{ColourSeed};
    int m_row = -1;
    GridSubtree::FileItems m_fileItems;
    std::shared_ptr<GridSubtree> m_subtree; ///< what the chart draws as a treemap or rings
    bool m_showGrowth = false;
    bool m_growth = false; ///< this fill charts the growth
    QList<int> m_children; ///< the child row of each series
    QStringList m_names;   ///< and its name, to notice a grid that changed since

    void setStatus(const QString &text);
    QString otherLabel() const;
    int randomChannel();
    void addChild(int k, int child, bool topRow, double rowBytes, bool rowSizeZero);
    Fixed growthOf(int row) const;
};
