// The node chart filled from a scan-shaped grid: series per child in grid order, legend texts,
// values by chart type and unit, the files row, colours that repeat from run to run, and the
// chart left drawn whatever way a fill ends.
#include "AppError.h"
#include "Chart.h"
#include "NodeChart.h"
#include "OutlineGrid.h"
#include "ScanTree.h"
#include "Settings.h"

#include <QGuiApplication>
#include <QLocale>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

/// Sets the program's locale before the grid reads it, so decimal points and percent texts are
/// the same on every machine.
struct EnglishLocale {
    EnglishLocale() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
};

class NodeChartTest : public ::testing::Test {
protected:
    EnglishLocale locale;
    Settings settings;
    OutlineGrid grid;
    ScanTree tree{grid, settings};
    Chart chart;
    QStringList status;
    NodeChart node{grid, chart, tree, settings, [this](const QString &text) { status << text; }};
    int changes = 0;
    int root = -1;

    void SetUp() override {
        settings.Object_Size = 1; // KB
        tree.setErrorSink([](const QString &, const AppError &) {});
        tree.InitTreeGrid();
        QObject::connect(&chart, &Chart::changed, &chart, [this] { ++changes; });
    }

    int add(const QString &name, int level, qint64 bytes, const QString &path = {},
            RowKind kind = RowKind::Folder) {
        const int r = tree.AddTreeRow(name, level, kind, Fixed::fromInt(bytes), level == 0,
                                      Fixed::fromInt(1));
        if (!path.isEmpty())
            grid.setRowData(r, path);
        return r;
    }

    /// /data/ holding a (1 KB), b (2 KB) and its own files (none), as a scan leaves it.
    void scanData() {
        root = add("/data/", 0, 0, "/data/");
        add("a", 1, 0, "/data/a/");
        add("<Files in a>", 2, 1024, {}, RowKind::Files);
        add("b", 1, 0, "/data/b/");
        add("<Files in b>", 2, 2048, {}, RowKind::Files);
        add("<Files in /data/>", 1, 0, {}, RowKind::Files);
        tree.UpdateRoots();
    }

    int rowNamed(const QString &name) const {
        for (int r = 1; r < grid.rows(); ++r) {
            if (grid.text(r, 0) == name)
                return r;
        }
        ADD_FAILURE() << "no row named " << name.toStdString();
        return -1;
    }

    bool fillRow(int row, bool shown = true) {
        grid.select(row, 0);
        changes = 0;
        return node.fill(shown);
    }

    QList<QColor> colours() const {
        QList<QColor> result;
        for (int i = 0; i < chart.seriesStyleCount(); ++i)
            result << chart.seriesFillColor(i);
        return result;
    }
};

TEST_F(NodeChartTest, FillsOneSeriesPerChildInGridOrderDrawnOnce) {
    scanData();
    ASSERT_TRUE(fillRow(root));

    EXPECT_EQ(status.last(), "/data/");
    EXPECT_EQ(chart.title(), "/data/");
    EXPECT_EQ(chart.valueAxisTitle(), "Size (KB)");
    ASSERT_EQ(chart.seriesCount(), 3);
    EXPECT_EQ(chart.legendTexts(),
              QStringList({"33.33% a", "66.67% b", "0.00% <Files in /data/>"}));
    // A pie takes byte counts.
    EXPECT_EQ(chart.value(0, 0), 1024.0);
    EXPECT_EQ(chart.value(1, 0), 2048.0);
    EXPECT_EQ(chart.value(2, 0), 0.0);
    for (int s = 0; s < 3; ++s)
        EXPECT_EQ(chart.pointCount(s), 1);

    ASSERT_EQ(chart.labelCount(), 3);
    const QStringList names{"a", "b", "<Files in /data/>"};
    for (int i = 0; i < 3; ++i) {
        const Chart::FloatingLabel label = chart.label(i);
        EXPECT_EQ(label.name, QStringLiteral("Label%1").arg(i + 1));
        EXPECT_EQ(label.text, names[i]);
        EXPECT_EQ(label.series, i);
        EXPECT_EQ(label.point, 0);
        EXPECT_EQ(label.background, QColor(255, 235, 205));
        EXPECT_EQ(label.style.attachMode, 2);
        EXPECT_EQ(label.style.offset, 15);
    }
    ASSERT_EQ(chart.seriesStyleCount(), 3);
    for (const QColor &c : colours()) {
        for (int channel : {c.red(), c.green(), c.blue()}) {
            EXPECT_GE(channel, 1);
            EXPECT_LE(channel, 255);
        }
    }

    // One repaint for the whole fill, and the picture shows the new content.
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(chart.isBatchMode());
    EXPECT_FALSE(chart.isDataBatchMode());
    EXPECT_EQ(chart.shownContent().legendTexts.size(), 3);

    // A deeper folder: its own path in the status bar, its one child at 100%.
    ASSERT_TRUE(fillRow(rowNamed("b")));
    EXPECT_EQ(status.last(), "/data/b/");
    EXPECT_EQ(chart.legendTexts(), QStringList({"100.00% <Files in b>"}));
    EXPECT_EQ(chart.labelCount(), 1);
    EXPECT_EQ(chart.seriesStyleCount(), 1);
}

TEST_F(NodeChartTest, SeriesFollowTheSortedGridAndTheUsersNumberStyle) {
    scanData();
    grid.setColSort(4, GridSort::NumericDescending);
    grid.sortNode(root);
    ASSERT_TRUE(fillRow(root));
    EXPECT_EQ(chart.legendTexts(),
              QStringList({"66.67% b", "33.33% a", "0.00% <Files in /data/>"}));
    EXPECT_EQ(chart.value(0, 0), 2048.0);
    EXPECT_EQ(chart.label(0).text, "b");

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    fillRow(root);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(chart.legendTexts().first(), "66,67% b");
}

TEST_F(NodeChartTest, FilesRowShowsItsFoldersPathAndClearsTheChart) {
    scanData();
    ASSERT_TRUE(fillRow(root));

    EXPECT_FALSE(fillRow(rowNamed("<Files in /data/>")));
    EXPECT_EQ(status.last(), "/data/");
    EXPECT_EQ(chart.title(), QString());
    EXPECT_EQ(chart.seriesCount(), 1);
    EXPECT_EQ(chart.pointCount(0), 0);
    EXPECT_TRUE(chart.legendTexts().isEmpty());
    EXPECT_EQ(chart.labelCount(), 0);
    EXPECT_EQ(chart.seriesStyleCount(), 0);
    EXPECT_EQ(chart.grouping().maxShare, 0.0);
    EXPECT_FALSE(chart.isBatchMode());
    EXPECT_TRUE(chart.shownContent().title.isEmpty());

    EXPECT_FALSE(fillRow(rowNamed("<Files in a>")));
    EXPECT_EQ(status.last(), "/data/a/");
}

TEST_F(NodeChartTest, NodeWhoseSizeReadsZeroGivesZeroShares) {
    settings.Object_Size = 3; // GB: a few hundred bytes read as 0 at four decimals
    tree.SetSizeFactor();
    root = add("/tiny/", 0, 0, "/tiny/");
    add("x", 1, 300, "/tiny/x/");
    add("y", 1, 100, "/tiny/y/");
    ASSERT_EQ(tree.cellValue(root, 1), Fixed());
    ASSERT_EQ(tree.cellValue(root, 4), Fixed::fromInt(400));

    ASSERT_TRUE(fillRow(root));
    EXPECT_EQ(chart.valueAxisTitle(), "Size (GB)");
    EXPECT_EQ(chart.legendTexts(), QStringList({"0.00% x", "0.00% y"}));
    EXPECT_EQ(chart.value(0, 0), 300.0);
    EXPECT_EQ(chart.value(1, 0), 100.0);
}

TEST_F(NodeChartTest, BarsShowTheDisplayUnitWithTheTopRowInTheCurrentUnit) {
    scanData();               // made in KB
    settings.Object_Size = 2; // later scans and the top row in MB
    tree.SetSizeFactor();
    const int big = add("/big/", 0, 0, "/big/");
    add("<Files in /big/>", 1, 3 * 1048576, {}, RowKind::Files);
    tree.UpdateRoots();
    settings.Chart_Type = 1;
    node.applyChartSettings();

    ASSERT_TRUE(fillRow(ScanTree::TopRow));
    EXPECT_EQ(chart.valueAxisTitle(), "Size (MB)");
    ASSERT_EQ(chart.seriesCount(), 2);
    // Each root's bytes in the current unit, not its Size cell in the unit it was made in.
    EXPECT_DOUBLE_EQ(chart.value(0, 0), 3072.0 / 1048576.0);
    EXPECT_DOUBLE_EQ(chart.value(1, 0), 3.0);
    EXPECT_EQ(chart.legendTexts().first().left(6), "0.10% ");

    // Below the top row the Size cells, in the unit of their scan.
    ASSERT_TRUE(fillRow(root));
    EXPECT_EQ(chart.valueAxisTitle(), "Size (KB)");
    EXPECT_EQ(chart.value(0, 0), 1.0);
    EXPECT_EQ(chart.value(1, 0), 2.0);
    ASSERT_TRUE(fillRow(big));
    EXPECT_EQ(chart.value(0, 0), 3.0);
}

TEST_F(NodeChartTest, ColoursRepeatInEveryRunAndRunOnAcrossFills) {
    scanData();
    fillRow(root);
    const QList<QColor> first = colours();
    fillRow(root);
    const QList<QColor> second = colours();
    ASSERT_EQ(first.size(), 3);
    EXPECT_NE(first, second);
    EXPECT_NE(first[0], first[1]);

    Chart otherChart;
    NodeChart fresh(grid, otherChart, tree, settings, {});
    fresh.fill(true);
    QList<QColor> again;
    for (int i = 0; i < otherChart.seriesStyleCount(); ++i)
        again << otherChart.seriesFillColor(i);
    EXPECT_EQ(again, first);
    fresh.fill(true);
    again.clear();
    for (int i = 0; i < otherChart.seriesStyleCount(); ++i)
        again << otherChart.seriesFillColor(i);
    EXPECT_EQ(again, second);
}

TEST_F(NodeChartTest, HiddenChartOnlyUpdatesTheStatusText) {
    scanData();
    node.clear();
    EXPECT_FALSE(fillRow(rowNamed("a"), false));
    EXPECT_EQ(status, QStringList({"/data/a/"}));
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(chart.title().isEmpty());
    EXPECT_EQ(chart.pointCount(0), 0);

    // Shown again, the same selection fills the chart.
    EXPECT_TRUE(fillRow(rowNamed("a"), true));
    EXPECT_EQ(chart.title(), "a");
    EXPECT_EQ(chart.legendTexts(), QStringList({"100.00% <Files in a>"}));
}

TEST_F(NodeChartTest, NoRowOrTheHeaderRowChangesNothing) {
    scanData();
    grid.clearSelection();
    EXPECT_FALSE(node.fill(true));
    grid.select(0, 0);
    EXPECT_FALSE(node.fill(true));
    EXPECT_TRUE(status.isEmpty());
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(chart.title().isEmpty());
}

TEST_F(NodeChartTest, GroupedSliceCarriesTheOtherLabelOfTheFill) {
    scanData();
    settings.Other_Label = "Rest";
    fillRow(root);
    Chart::PieGrouping g = chart.grouping();
    EXPECT_EQ(g.label, "Rest");
    EXPECT_EQ(g.mode, 3);
    EXPECT_EQ(g.minPercent, 2);
    EXPECT_EQ(g.minSlices, 10);
    EXPECT_EQ(g.maxShare, 50.0);
    EXPECT_EQ(g.style, 11);

    // A new label from the options dialog shows at the next fill; a blank one is "Other".
    settings.Other_Label = "Small ones";
    fillRow(root);
    EXPECT_EQ(chart.grouping().label, "Small ones");
    settings.Other_Label = "   ";
    fillRow(root);
    EXPECT_EQ(chart.grouping().label, "Other");
}

TEST_F(NodeChartTest, NodeWithoutChildrenIsDrawnWithNothingToDivide) {
    scanData();
    ASSERT_TRUE(fillRow(root)); // something to replace
    const int aborted = add("Scan aborted", 1, 0, {}, RowKind::Warning);
    ASSERT_TRUE(fillRow(aborted));
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(chart.isBatchMode());
    EXPECT_FALSE(chart.isDataBatchMode());
    EXPECT_EQ(chart.shownContent().title, "Scan aborted");
    EXPECT_EQ(chart.seriesCount(), 1);
    EXPECT_EQ(chart.value(0, 0), 0.0);
    EXPECT_TRUE(chart.legendTexts().isEmpty());
    EXPECT_EQ(chart.labelCount(), 0);
}

TEST_F(NodeChartTest, FailedFillLeavesTheChartDrawnAndThePointerRestored) {
    scanData();
    grid.setText(rowNamed("b"), 4, "not a number");
    grid.select(root, 0);
    try {
        node.fill(true);
        ADD_FAILURE() << "a byte count that is not a number must raise";
    } catch (const AppError &e) {
        EXPECT_EQ(e.number(), AppError::TypeMismatch);
    }
    EXPECT_FALSE(chart.isBatchMode());
    EXPECT_FALSE(chart.isDataBatchMode());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    // As far as it got: the first child only.
    EXPECT_EQ(chart.shownContent().legendTexts, QStringList({"33.33% a"}));
}

TEST_F(NodeChartTest, ChartSettingsPickTypeAndThreeDView) {
    settings.Chart_Type = 1;
    settings.ThreeD_Effects = true;
    node.applyChartSettings();
    EXPECT_EQ(chart.chartType(), Chart::Type::Bar);
    EXPECT_EQ(chart.depth3D(), 15);
    EXPECT_EQ(chart.elevation3D(), 15);
    EXPECT_EQ(chart.rotation3D(), 15);

    settings.Chart_Type = 5; // out of range: a pie
    settings.ThreeD_Effects = false;
    node.applyChartSettings();
    EXPECT_EQ(chart.chartType(), Chart::Type::Pie);
    EXPECT_EQ(chart.depth3D(), 0);
    EXPECT_EQ(chart.rotation3D(), 0);
}

} // namespace

TEST_F(NodeChartTest, TooltipsGiveTheGridsFiguresAndSeriesLeadToTheirRows) {
    scanData();
    ASSERT_TRUE(fillRow(root));
    EXPECT_EQ(chart.toolTip(0), "a\nSize: 1 KB\nShare: 33.33%\nFiles: 1");
    EXPECT_EQ(chart.toolTip(1), "b\nSize: 2 KB\nShare: 66.67%\nFiles: 1");
    EXPECT_EQ(node.chartedRow(), root);
    EXPECT_EQ(node.childRow(1), rowNamed("b"));
    EXPECT_EQ(node.childRow(3), -1);

    // A grid that changed since the fill leads nowhere rather than to another row.
    grid.setText(rowNamed("b"), 0, "renamed");
    EXPECT_EQ(node.childRow(1), -1);

    // A files row clears the chart, and with it what the series stood for.
    ASSERT_FALSE(fillRow(rowNamed("<Files in a>")));
    EXPECT_EQ(node.chartedRow(), -1);
    EXPECT_EQ(node.childRow(0), -1);
    EXPECT_EQ(chart.toolTip(0), QString());
}
