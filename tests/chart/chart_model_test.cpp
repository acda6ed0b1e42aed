#include "Chart.h"
#include "PieFolding.h"

#include <QObject>

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct ChangeCounter {
    explicit ChangeCounter(Chart &chart) {
        QObject::connect(&chart, &Chart::changed, &context, [this] { ++count; });
    }
    QObject context;
    int count = 0;
};

QList<double> slices(std::initializer_list<double> values) {
    return QList<double>(values);
}

} // namespace

TEST(ChartModel, BatchModeHoldsValuesAndRepaintsUntilSwitchedOff) {
    Chart chart;
    ChangeCounter changes(chart);
    chart.setSeriesCount(1);
    chart.setValue(0, 0, 5.0);
    EXPECT_EQ(changes.count, 2); // outside batch mode, every edit shows at once
    EXPECT_EQ(chart.shownContent().values, QList<QList<double>>({{5.0}}));

    chart.setBatchMode(true);
    chart.setDataBatchMode(true);
    chart.setTitle("Docs");
    chart.setSeriesCount(3);
    for (int s = 0; s < 3; ++s)
        chart.setValue(s, 0, 10.0 + s);
    chart.addLegendText("a");
    EXPECT_EQ(changes.count, 2);
    // The model reads back what was set; the picture still shows the old content.
    EXPECT_EQ(chart.seriesCount(), 3);
    EXPECT_EQ(chart.value(2, 0), 12.0);
    EXPECT_EQ(chart.shownContent().values, QList<QList<double>>({{5.0}}));
    EXPECT_TRUE(chart.shownContent().title.isEmpty());

    chart.setDataBatchMode(false); // the chart's own batch mode still holds the picture
    EXPECT_EQ(changes.count, 2);
    EXPECT_EQ(chart.shownContent().values.size(), 1);

    chart.setBatchMode(false);
    EXPECT_EQ(changes.count, 3); // one repaint for the whole batch
    EXPECT_EQ(chart.shownContent().values, QList<QList<double>>({{10.0}, {11.0}, {12.0}}));
    EXPECT_EQ(chart.shownContent().title, "Docs");
}

TEST(ChartModel, BatchModeIsAFlagNotACounter) {
    // A fill that stops early leaves batch mode on; the next fill switches it on again and
    // off once, and that must release the picture.
    Chart chart;
    ChangeCounter changes(chart);
    chart.setBatchMode(true);
    chart.setTitle("first");
    chart.setBatchMode(true);
    chart.setTitle("second");
    chart.setBatchMode(false);
    EXPECT_FALSE(chart.isBatchMode());
    EXPECT_EQ(changes.count, 1);
    EXPECT_EQ(chart.shownContent().title, "second");

    chart.setBatchMode(true);
    chart.setBatchMode(false); // nothing changed: nothing to repaint
    EXPECT_EQ(changes.count, 1);
}

TEST(ChartModel, SeriesPointsAndValues) {
    Chart chart;
    chart.setSeriesCount(1);
    chart.setPointCount(0, 0); // as a cleared chart has it
    EXPECT_EQ(chart.pointCount(0), 0);
    chart.setPointCount(0, 1);
    for (int k = 2; k <= 4; ++k)
        chart.setSeriesCount(k); // grown one at a time, as the node chart does
    for (int s = 0; s < 4; ++s)
        EXPECT_EQ(chart.pointCount(s), 1) << "series " << s;

    chart.setValue(3, 0, 7.5);
    chart.setValue(4, 0, 1.0);  // no such series
    chart.setValue(0, 1, 1.0);  // no such point
    chart.setValue(-1, 0, 1.0); // no such series
    chart.setValue(1, 0, std::nan(""));
    EXPECT_EQ(chart.value(3, 0), 7.5);
    EXPECT_EQ(chart.value(1, 0), 0.0);
    EXPECT_EQ(chart.seriesCount(), 4);
    EXPECT_EQ(chart.pointCount(0), 1);

    chart.setSeriesCount(2);
    EXPECT_EQ(chart.seriesCount(), 2);
    EXPECT_EQ(chart.value(3, 0), 0.0);
}

TEST(ChartModel, ListsKeepOrderAndClearCompletely) {
    Chart chart;
    chart.addLegendText("50.00% b");
    chart.addLegendText("30.00% a");
    chart.addLegendText("20.00% c");
    EXPECT_EQ(chart.legendTexts(), QStringList({"50.00% b", "30.00% a", "20.00% c"}));

    const int first = chart.addSeriesStyle();
    const int second = chart.addSeriesStyle();
    chart.setSeriesFillColor(second, QColor(1, 2, 3));
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
    EXPECT_EQ(chart.seriesFillColor(1), QColor(1, 2, 3));
    EXPECT_FALSE(chart.seriesFillColor(0).isValid());

    const int label = chart.addLabel();
    chart.setLabelName(label, "Label1");
    chart.setLabelText(label, "Music");
    chart.setLabelAttachment(label, 2, 0);
    chart.setLabelBackground(label, QColor(255, 235, 205));
    chart.setLabelStyle(label, Chart::LabelStyle{2, 3, 2, true, 15});
    EXPECT_EQ(chart.labelIndex("Label1"), 0);
    EXPECT_EQ(chart.labelIndex("Label2"), -1);
    EXPECT_EQ(chart.label(0).text, "Music");
    EXPECT_EQ(chart.label(0).series, 2);
    EXPECT_EQ(chart.label(0).style.offset, 15);
    chart.setPointLabel(2, "Q3");
    EXPECT_EQ(chart.pointLabels(), QStringList({"", "", "Q3"}));

    chart.clearLegendTexts();
    chart.clearSeriesStyles();
    chart.clearLabels();
    chart.clearPointLabels();
    EXPECT_TRUE(chart.legendTexts().isEmpty());
    EXPECT_EQ(chart.seriesStyleCount(), 0);
    EXPECT_EQ(chart.labelCount(), 0);
    EXPECT_TRUE(chart.pointLabels().isEmpty());
    chart.setLabelText(0, "gone"); // editing a removed label is ignored
    EXPECT_EQ(chart.labelCount(), 0);
}

TEST(ChartModel, SettingsReadBackWithTheirStartingValues) {
    Chart chart;
    EXPECT_EQ(chart.chartType(), Chart::Type::Pie);
    EXPECT_EQ(chart.titleFont().pointSize(), 10);
    EXPECT_TRUE(chart.titleFont().bold());
    EXPECT_EQ(chart.titleColor(), QColor(0, 0, 205));
    EXPECT_EQ(chart.backgroundColor(), QColor(95, 158, 160));
    EXPECT_EQ(chart.plotBackgroundColor(), QColor(95, 158, 160));

    chart.setChartType(Chart::Type::Bar);
    EXPECT_EQ(chart.chartType(), Chart::Type::Bar);
    chart.setDepth3D(15);
    chart.setElevation3D(15);
    chart.setRotation3D(15);
    EXPECT_EQ(chart.depth3D() + chart.elevation3D() + chart.rotation3D(), 45);
    chart.setOtherLabel("Rest");
    chart.setGroupingRule(3, 2, 10);
    chart.setGroupingMaxShare(50.0);
    EXPECT_EQ(chart.grouping().label, "Rest");
    EXPECT_EQ(chart.grouping().maxShare, 50.0);
}

TEST(PieFolding, FewSlicesNeverFold) {
    Chart::PieGrouping grouping;
    const auto fold =
        PieFolding::fold(slices({100, 0.1, 0.1, 0.1, 0.1, 0.1, 0.1, 0.1, 0.1, 0.1}), grouping);
    EXPECT_EQ(fold.own.size(), 10);
    EXPECT_EQ(fold.otherCount, 0);
}

TEST(PieFolding, SmallSlicesFoldAndTheRestKeepSeriesOrder) {
    QList<double> values;
    for (int i = 0; i < 30; ++i)
        values.append(i % 6 == 0 ? 100.0 : 1.0); // 5 large, 25 tiny
    const auto fold = PieFolding::fold(values, Chart::PieGrouping());
    EXPECT_EQ(fold.own, QList<int>({0, 6, 12, 18, 24}));
    EXPECT_EQ(fold.otherCount, 25);
    EXPECT_DOUBLE_EQ(fold.otherValue, 25.0);
}

TEST(PieFolding, AThousandSlicesKeepTwentyOwn) {
    // All under 2%: half of the total may fold by share, then the count cap keeps twenty.
    const QList<double> equal(1000, 1.0);
    const auto fold = PieFolding::fold(equal, Chart::PieGrouping());
    EXPECT_EQ(fold.own.size(), 20);
    EXPECT_EQ(fold.otherCount, 980);
    EXPECT_DOUBLE_EQ(fold.otherValue, 980.0);
    // Ties fold the later series, so the first twenty keep their slices.
    EXPECT_EQ(fold.own.first(), 0);
    EXPECT_EQ(fold.own.last(), 19);

    // Thirty large ones among them: the count cap keeps the twenty largest.
    QList<double> mixed(1000, 0.01);
    for (int i = 0; i < 30; ++i)
        mixed[i * 30] = 100.0 + i;
    const auto capped = PieFolding::fold(mixed, Chart::PieGrouping());
    ASSERT_EQ(capped.own.size(), 20);
    EXPECT_EQ(capped.own.first(), 10 * 30);
    EXPECT_EQ(capped.own.last(), 29 * 30);

    // Without a share limit everything small folds, but the largest slice stays.
    Chart::PieGrouping unlimited;
    unlimited.maxShare = 0;
    QList<double> rising;
    for (int i = 1; i <= 1000; ++i)
        rising.append(i);
    EXPECT_EQ(PieFolding::fold(rising, unlimited).own, QList<int>({999}));
}

TEST(PieFolding, GroupOfOneAndSwitchedOffRuleKeepEverySlice) {
    QList<double> values(11, 10.0);
    values[4] = 0.5; // the only slice under 2%
    EXPECT_EQ(PieFolding::fold(values, Chart::PieGrouping()).otherCount, 0);

    Chart::PieGrouping off;
    off.mode = 0;
    EXPECT_EQ(PieFolding::fold(QList<double>(500, 1.0), off).own.size(), 500);
}

TEST(PieFolding, ShareLimitStopsTheShareRule) {
    QList<double> values(15, 1.0);
    values.append(85.0); // 15 slices of 1% each
    Chart::PieGrouping grouping;
    grouping.mode = 1;       // by share only
    grouping.maxShare = 5.0; // the group may hold 5% at most
    const auto fold = PieFolding::fold(values, grouping);
    EXPECT_EQ(fold.otherCount, 5);
    EXPECT_DOUBLE_EQ(fold.otherValue, 5.0);
    EXPECT_EQ(fold.own.size(), 11);
}

TEST(PieFolding, EmptyAndNegativeSlicesFoldFirst) {
    QList<double> values(12, 10.0);
    values[3] = 0.0;
    values[7] = -4.0;
    const auto fold = PieFolding::fold(values, Chart::PieGrouping());
    EXPECT_EQ(fold.otherCount, 2);
    EXPECT_EQ(fold.otherValue, 0.0);
    EXPECT_FALSE(fold.own.contains(3));
    EXPECT_FALSE(fold.own.contains(7));
}

TEST(PieFolding, ASliceOfExactlyTheLeastShareKeepsItsOwn) {
    // Eleven slices (more than ten, so folding applies) of a total of 100: a slice of exactly
    // 2% stays, one just under folds with the 1% slices.
    for (const double edge : {2.0, 1.99}) {
        const QList<double> values{edge, 1, 1, 1, 1, 1, 19, 19, 19, 19, 19 - edge};
        const auto fold = PieFolding::fold(values, Chart::PieGrouping());
        EXPECT_EQ(fold.own.contains(0), edge == 2.0) << edge;
        EXPECT_EQ(fold.otherCount, edge == 2.0 ? 5 : 6) << edge;
    }
}
