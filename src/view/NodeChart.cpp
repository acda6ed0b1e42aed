#include "NodeChart.h"

#include "BusyPointer.h"
#include "Chart.h"
#include "GridSubtree.h"
#include "NumberFormat.h"
#include "OutlineGrid.h"
#include "ReadableColor.h"
#include "ScanCompare.h"
#include "ScanTree.h"
#include "Settings.h"

#include <QColor>
#include <QFont>
#include <QLocale>
#include <QPalette>

namespace {

const QColor LabelBackground(255, 235, 205);
const QColor ChartBackground(95, 158, 160);
const QColor TitleColour(0, 0, 205);

/// Suspends the chart's repainting, for the chart and for its data, until the scope ends,
/// however it ends: a fill that fails half-way still shows what it got instead of freezing the
/// picture of the node before.
class ChartBatch {
public:
    explicit ChartBatch(Chart &chart) : m_chart(chart) {
        m_chart.setBatchMode(true);
        m_chart.setDataBatchMode(true);
    }
    ~ChartBatch() {
        m_chart.setDataBatchMode(false);
        m_chart.setBatchMode(false);
    }
    ChartBatch(const ChartBatch &) = delete;
    ChartBatch &operator=(const ChartBatch &) = delete;

private:
    Chart &m_chart;
};

} // namespace

NodeChart::NodeChart(OutlineGrid &grid, Chart &chart, ScanTree &tree, const Settings &settings,
                     StatusSink status)
    : m_grid(grid), m_chart(chart), m_tree(tree), m_settings(settings),
      m_status(std::move(status)) {}

void NodeChart::setStatus(const QString &text) {
    if (m_status)
        m_status(text);
}

QString NodeChart::otherLabel() const {
    const QString label = m_settings.Other_Label.trimmed();
    return label.isEmpty() ? QString(Settings::DefaultOtherLabel) : label;
}

int NodeChart::randomChannel() {
    // A whole number from 1 to 255, scaled from the generator's full range rather than taken
    // modulo, and computed here rather than by a distribution whose algorithm differs between
    // standard libraries: the same seed gives the same colours on every build.
    const std::uint64_t span = std::uint64_t(m_random.max()) - m_random.min() + 1;
    const std::uint64_t draw = std::uint64_t(m_random()) - m_random.min();
    return 1 + int(draw * 255 / span);
}

bool NodeChart::fill(bool chartShown) {
    const int selected = m_grid.selectedRowCount();
    if (selected == 0)
        return false;
    const int row = m_grid.selectedRow(selected - 1);
    if (row < 1 || row >= m_grid.rows())
        return false;

    const QString name = m_grid.text(row, TreeCol::Name);
    if (ScanTree::isFilesRow(m_grid, row)) {
        // The files directly inside a folder: there is nothing below them to divide.
        const int parent = m_grid.parentRow(row);
        setStatus(parent >= 0 ? m_grid.rowData(parent) : QString());
        clear();
        return false;
    }
    setStatus(m_grid.rowData(row));
    if (!chartShown)
        return false;

    Fixed rowSize = m_tree.cellValue(row, TreeCol::Size);
    const QString unit = m_grid.text(row, TreeCol::Unit);
    double rowBytes = m_tree.cellValue(row, TreeCol::Bytes).toDouble();
    m_growth =
        m_showGrowth && ScanCompare::active(m_grid) && m_grid.fixedValue(row, TreeCol::ChangeBytes);
    if (m_growth) { // the shares are of the growth of the children that grew
        Fixed grown;
        for (int c = m_grid.firstChild(row); c >= 0; c = m_grid.nextSibling(c))
            grown += growthOf(c);
        // Nothing grew: the sizes, rather than an empty pie.
        m_growth = grown != Fixed();
        if (m_growth) {
            rowBytes = grown.toDouble();
            rowSize = grown;
        }
    }

    BusyPointer wait; // while the chart fills
    ChartBatch batch(m_chart);

    m_chart.clearLegendTexts();
    m_chart.clearToolTips();
    m_chart.clearLabels();
    m_chart.clearPointLabels();
    m_chart.clearSeriesStyles();
    m_row = row;
    m_children.clear();
    m_names.clear();
    m_chart.setSeriesCount(1);
    m_chart.setPointCount(0, 1);
    // The first child overwrites it; a node without children shows nothing to divide rather
    // than the first value of the node before.
    m_chart.setValue(0, 0, 0.0);

    m_chart.setOtherLabel(otherLabel());
    m_chart.setGroupingRule(3, 2, 10);
    m_chart.setGroupingMaxShare(50.0);
    m_chart.setGroupedStyle(11);

    m_subtree = std::make_shared<GridSubtree>(m_grid, row, m_fileItems);
    m_chart.setSubtree(m_subtree);
    m_chart.setHighlightedItem(-1);
    m_chart.setTitle(m_growth ? name + QStringLiteral(" (growth)") : name);
    m_chart.setValueAxisTitle((m_growth ? QStringLiteral("Growth (") : QStringLiteral("Size (")) +
                              unit + u')');

    const bool topRow = row == ScanTree::TopRow;
    const bool rowSizeZero = rowSize == Fixed();
    int k = 0;
    for (int child = m_grid.firstChild(row); child >= 0; child = m_grid.nextSibling(child))
        addChild(++k, child, topRow, rowBytes, rowSizeZero);
    return true;
}

void NodeChart::addChild(int k, int child, bool topRow, double rowBytes, bool rowSizeZero) {
    const QString name = m_grid.text(child, TreeCol::Name);
    const Fixed bytes = m_growth ? growthOf(child) : m_tree.cellValue(child, TreeCol::Bytes);
    const int series = k - 1; // the chart counts series from 0

    m_chart.setSeriesCount(k);

    // A row whose size reads 0 in its unit (such as a few hundred bytes shown in GB) gives
    // every child 0. A size without bytes cannot come from a scan; it gives 0 as well rather
    // than a division by zero.
    float share = 0.0f;
    if (!rowSizeZero && rowBytes != 0.0)
        share = static_cast<float>(bytes.toDouble() / rowBytes);
    const NumberFormat percent(QStringLiteral("Percent"), QLocale());
    const QString shareText = percent.formatDouble(share);
    m_chart.addLegendText(shareText + u' ' + name);
    m_children.append(child);
    m_names.append(name);
    // The figures as the grid shows them, in its unit and format.
    const QString files = m_grid.text(child, TreeCol::Files);
    m_chart.setToolTip(
        series, name + QStringLiteral("\nSize: ") + m_grid.text(child, TreeCol::Size) + u' ' +
                    m_grid.text(child, TreeCol::Unit) + QStringLiteral("\nShare: ") + shareText +
                    QStringLiteral("\nFiles: ") + (files.isEmpty() ? QStringLiteral("0") : files) +
                    (m_growth ? QStringLiteral("\nChange: ") + m_grid.text(child, TreeCol::Change)
                              : QString()));

    const int style = m_chart.addSeriesStyle();
    const int red = randomChannel();
    const int green = randomChannel();
    const int blue = randomChannel();
    m_chart.setSeriesFillColor(style, QColor(red, green, blue));

    const int label = m_chart.addLabel();
    m_chart.setLabelName(label, QStringLiteral("Label") + QString::number(k));
    m_chart.setLabelText(label, name);
    m_chart.setLabelAttachment(label, series, 0);
    m_chart.setLabelBackground(label, LabelBackground);
    m_chart.setLabelStyle(label, Chart::LabelStyle{2, 3, 2, true, 15});

    double value = 0.0;
    if (m_chart.chartType() == Chart::Type::Pie)
        value = bytes.toDouble();
    else if (topRow || m_growth)
        // The scan roots may each be in their own unit; the current unit is the axis's.
        value = bytes.toDouble() / m_tree.SizeFactor();
    else
        value = m_tree.cellValue(child, TreeCol::Size).toDouble();
    m_chart.setValue(series, 0, value);
}

Fixed NodeChart::growthOf(int row) const {
    const FixedRaw change = m_grid.fixedValue(row, TreeCol::ChangeBytes).value_or(0);
    return Fixed::fromRaw(change > 0 ? change : 0);
}

int NodeChart::childRow(int series) const {
    if (series < 0 || series >= m_children.size())
        return -1;
    const int child = m_children[series];
    if (child >= m_grid.rows() || m_grid.parentRow(child) != m_row ||
        m_grid.text(child, TreeCol::Name) != m_names[series])
        return -1;
    return child;
}

Chart::Type NodeChart::chartTypeOf(int chartType) {
    switch (chartType) {
    case 1:
        return Chart::Type::Bar;
    case 2:
        return Chart::Type::Treemap;
    case 3:
        return Chart::Type::Rings;
    default:
        return Chart::Type::Pie;
    }
}

int NodeChart::rowOfItem(int id) const {
    if (m_subtree)
        return m_subtree->rowOf(id);
    return id >= 1 && id < m_grid.rows() ? id : -1;
}

void NodeChart::showItem(int id) {
    const int row = rowOfItem(id);
    if (row < 1 || row >= m_grid.rows())
        return;
    const int parent = m_grid.parentRow(row);
    setStatus(ScanTree::isFilesRow(m_grid, row) ? (parent >= 0 ? m_grid.rowData(parent) : QString())
                                                : m_grid.rowData(row));
    m_chart.setHighlightedItem(id == m_row ? -1 : id);
}

void NodeChart::clear() {
    m_row = -1;
    m_children.clear();
    m_names.clear();
    ChartBatch batch(m_chart);
    m_chart.setTitle(QString());
    m_subtree.reset();
    m_chart.setSubtree(nullptr);
    m_chart.setHighlightedItem(-1);
    // Every series goes, not only the first: a cleared chart draws nothing of the node before.
    m_chart.setSeriesCount(1);
    m_chart.setPointCount(0, 0);
    m_chart.clearLegendTexts();
    m_chart.clearToolTips();
    m_chart.clearLabels();
    m_chart.clearPointLabels();
    m_chart.clearSeriesStyles();
    m_chart.setGroupingMaxShare(0.0);
}

void NodeChart::applyStartupAppearance() {
    ChartBatch batch(m_chart);
    m_chart.setBackgroundColor(ChartBackground);
    m_chart.setPlotBackgroundColor(ChartBackground);
    m_chart.setLegendPlacement(Chart::LegendPlacement::Right);
    m_chart.setPlotMargin(40);
    m_chart.setPlotFrameWidth(0);
    m_chart.setBorderShown(false);
    m_chart.setCategoryLabelsShown(true);
    m_chart.setCategoryAxisDisplay(2);
    m_chart.setValueAxisDisplay(2);
    m_chart.setGroupedPullOut(0.0);
    m_chart.setOtherLabel(otherLabel());
    QFont font = m_chart.titleFont();
    font.setPointSize(10);
    font.setBold(true);
    m_chart.setTitleFont(font);
    m_chart.setTitleColor(TitleColour);
}

void NodeChart::applyPalette(const QPalette &palette) {
    ChartBatch batch(m_chart);
    const QColor base = palette.color(QPalette::Active, QPalette::Base);
    m_chart.setBackgroundColor(base);
    m_chart.setPlotBackgroundColor(base);
    m_chart.setTextColor(
        ReadableColor::readableOn(palette.color(QPalette::Active, QPalette::Text), base));
    QColor legend = palette.color(QPalette::Active, QPalette::AlternateBase);
    legend.setAlpha(235);
    m_chart.setLegendBackground(legend);
    m_chart.setTitleColor(ReadableColor::readableOn(TitleColour, base));
}

void NodeChart::applyChartSettings() {
    ChartBatch batch(m_chart);
    m_chart.setChartType(chartTypeOf(m_settings.Chart_Type));
    m_chart.setCushions(m_settings.Treemap_Cushions);
    const int view3D = m_settings.ThreeD_Effects ? 15 : 0;
    m_chart.setDepth3D(view3D);
    m_chart.setElevation3D(view3D);
    m_chart.setRotation3D(view3D);
}
