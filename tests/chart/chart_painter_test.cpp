#include "Chart.h"
#include "ChartPainter.h"

#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

const QColor Red(220, 20, 20);
const QColor Blue(20, 20, 220);
const QColor Yellow(230, 210, 0);

// Fills the chart as the node chart does: one series of one point per value.
void fill(Chart &chart, const QList<double> &values, const QList<QColor> &colors = {},
          bool labels = false) {
    chart.setBatchMode(true);
    chart.setSeriesCount(0);
    chart.clearLegendTexts();
    chart.clearSeriesStyles();
    chart.clearLabels();
    for (int k = 0; k < values.size(); ++k) {
        chart.setSeriesCount(k + 1);
        chart.setValue(k, 0, values[k]);
        chart.addLegendText(QStringLiteral("series %1").arg(k + 1));
        const int style = chart.addSeriesStyle();
        if (k < colors.size())
            chart.setSeriesFillColor(style, colors[k]);
        if (labels) {
            const int label = chart.addLabel();
            chart.setLabelText(label, QStringLiteral("label %1").arg(k + 1));
            chart.setLabelAttachment(label, k, 0);
        }
    }
    chart.setBatchMode(false);
}

struct Pixels {
    int count = 0;
    double sumX = 0, sumY = 0;
    int top = INT_MAX, bottom = -1, left = INT_MAX, right = -1;
    QPointF centroid() const { return QPointF(sumX / count, sumY / count); }
    int height() const { return bottom - top + 1; }
    int width() const { return right - left + 1; }
};

Pixels pixelsOf(const QImage &image, const QColor &color) {
    Pixels p;
    const QRgb want = color.rgb();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != want)
                continue;
            ++p.count;
            p.sumX += x;
            p.sumY += y;
            p.top = std::min(p.top, y);
            p.bottom = std::max(p.bottom, y);
            p.left = std::min(p.left, x);
            p.right = std::max(p.right, x);
        }
    }
    return p;
}

// Without the legend, whose swatches share the series colours, when counting slice pixels.
void hideLegend(Chart &chart) {
    chart.setLegendPlacement(Chart::LegendPlacement::Hidden);
}

QImage render(const Chart &chart, QSize size = QSize(500, 400)) {
    return ChartPainter(chart).render(size).convertToFormat(QImage::Format_RGB32);
}

} // namespace

TEST(ChartPainter, PieSlicesFollowTheirShareClockwiseFromTheTop) {
    Chart chart;
    fill(chart, {3.0, 1.0}, {Red, Blue});
    hideLegend(chart);
    const QImage image = render(chart);
    const Pixels red = pixelsOf(image, Red), blue = pixelsOf(image, Blue);
    ASSERT_GT(blue.count, 1000);
    EXPECT_NEAR(double(red.count) / (red.count + blue.count), 0.75, 0.02);
    // The first slice runs from twelve o'clock round through three, six and nine, so the
    // second one fills the upper-left quarter.
    EXPECT_LT(blue.centroid().x(), red.centroid().x());
    EXPECT_LT(blue.centroid().y(), red.centroid().y());
    EXPECT_NEAR(red.width(), red.height(), 3); // seen from above: a round disc
}

TEST(ChartPainter, ManyTinySlicesFoldIntoOneGroupedSlice) {
    Chart chart;
    QList<double> values;
    QList<QColor> colors;
    for (int k = 0; k < 30; ++k) {
        const bool large = k % 6 == 0;
        values.append(large ? 100.0 : 1.0);
        colors.append(large ? QColor(20, 40 * (k / 6) + 20, 200) : QColor(250, 8 * k, 10));
    }
    fill(chart, values, colors, true);
    chart.setOtherLabel("Small folders");
    const QImage image = render(chart, QSize(700, 500));

    EXPECT_GT(pixelsOf(image, ChartPainter::groupedColor()).count, 200);
    for (int k = 0; k < 30; ++k) {
        const int count = pixelsOf(image, colors[k]).count;
        if (k % 6 == 0)
            EXPECT_GT(count, 1000) << "large series " << k;
        else
            EXPECT_EQ(count, 0) << "tiny series " << k << " drawn on its own";
    }
    const ChartPainter painter(chart);
    const QRectF rect(0, 0, 700, 500);
    EXPECT_EQ(painter.legendLines(rect), QStringList({"series 1", "series 7", "series 13",
                                                      "series 19", "series 25", "Small folders"}));
    int grouped = 0;
    for (const auto &label : painter.placedLabels(rect)) {
        grouped += label.text == "Small folders";
        EXPECT_FALSE(label.text == "label 2") << "a folded series kept its label";
    }
    EXPECT_EQ(grouped, 1);
}

TEST(ChartPainter, BarHeightsAreInProportionToTheirValues) {
    Chart chart;
    chart.setChartType(Chart::Type::Bar);
    fill(chart, {1.0, 2.0, 4.0}, {Red, Blue, Yellow});
    hideLegend(chart);
    const QImage image = render(chart);
    const Pixels one = pixelsOf(image, Red), two = pixelsOf(image, Blue),
                 four = pixelsOf(image, Yellow);
    ASSERT_GT(one.count, 0);
    EXPECT_NEAR(double(two.height()) / one.height(), 2.0, 0.1);
    EXPECT_NEAR(double(four.height()) / one.height(), 4.0, 0.1);
    // They stand on the same base line, in series order.
    EXPECT_NEAR(one.bottom, four.bottom, 1);
    EXPECT_LT(one.right, two.left);
    EXPECT_LT(two.right, four.left);
}

TEST(ChartPainter, TheThreeDViewTiltsThePieAndGivesBarsDepth) {
    Chart chart;
    fill(chart, {3.0, 1.0}, {Red, Blue});
    hideLegend(chart);
    const QImage flat = render(chart);
    chart.setDepth3D(15);
    chart.setElevation3D(15);
    chart.setRotation3D(15);
    const QImage tilted = render(chart);
    EXPECT_NE(flat, tilted);
    const Pixels top = pixelsOf(tilted, Red);
    EXPECT_LT(top.height(), top.width() * 0.8); // a disc seen from the side is an ellipse
    // The front wall is drawn in a darker shade of the slice.
    EXPECT_GT(pixelsOf(tilted, Red.darker(145)).count, 100);
    EXPECT_EQ(pixelsOf(flat, Red.darker(145)).count, 0);

    chart.setChartType(Chart::Type::Bar);
    const QImage boxes = render(chart);
    EXPECT_GT(pixelsOf(boxes, Red.darker(135)).count, 20);  // side face
    EXPECT_GT(pixelsOf(boxes, Red.lighter(125)).count, 20); // top face
}

TEST(ChartPainter, AnEmptyChartPaintsOnlyTheBackground) {
    Chart chart;
    chart.setTitle("Documents");
    chart.addLegendText("10.00% a");
    chart.setSeriesCount(1);
    chart.setPointCount(0, 0);
    const QImage image = render(chart, QSize(200, 150));
    const QColor background = chart.backgroundColor();
    EXPECT_EQ(pixelsOf(image, background).count, 200 * 150);

    Chart noSeries;
    EXPECT_EQ(pixelsOf(render(noSeries, QSize(50, 40)), background).count, 50 * 40);
}

TEST(ChartPainter, LegendElidesLongTextsAndCountsWhatDoesNotFit) {
    Chart chart;
    chart.setChartType(Chart::Type::Bar);
    QList<double> values(200, 1.0);
    fill(chart, values);
    chart.setBatchMode(true);
    chart.clearLegendTexts();
    chart.addLegendText(QString(300, QLatin1Char('x')));
    for (int k = 1; k < 200; ++k)
        chart.addLegendText(QStringLiteral("series %1").arg(k + 1));
    chart.setBatchMode(false);

    const ChartPainter painter(chart);
    const QStringList lines = painter.legendLines(QRectF(0, 0, 1400, 200));
    ASSERT_GE(lines.size(), 3);
    EXPECT_LT(lines.size(), 20);
    EXPECT_TRUE(lines.first().endsWith(QChar(0x2026))) << qPrintable(lines.first());
    EXPECT_EQ(lines[1], "series 2");
    // Every entry (the bars of their own and the grouped one) is shown or counted last.
    const PieFolding folding = painter.folding(QRectF(0, 0, 1400, 200));
    const qsizetype entries = folding.own.size() + (folding.otherCount > 0);
    EXPECT_EQ(lines.last(), QStringLiteral("and %1 more").arg(entries - (lines.size() - 1)));

    // Nothing of the legend spills out of its box.
    const QImage image = painter.render(QSize(600, 300)).convertToFormat(QImage::Format_RGB32);
    const QRect box = painter.layout(QRectF(0, 0, 600, 300)).legend.toAlignedRect();
    int spilled = 0;
    for (int y = box.bottom() + 2; y < image.height(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x)
            spilled += image.pixel(x, y) != chart.backgroundColor().rgb();
    }
    EXPECT_EQ(spilled, 0);
}

TEST(ChartPainter, FloatingLabelsNeverOverlap) {
    Chart chart;
    QList<double> values;
    for (int k = 0; k < 20; ++k)
        values.append(k < 10 ? 40.0 : 6.0 + k); // crowded labels round the small slices
    for (bool bars : {false, true}) {
        chart.setChartType(bars ? Chart::Type::Bar : Chart::Type::Pie);
        fill(chart, values, {}, true);
        const QRectF rect(0, 0, 420, 300);
        const auto labels = ChartPainter(chart).placedLabels(rect);
        ASSERT_GE(labels.size(), 3) << "bars " << bars;
        for (int i = 0; i < labels.size(); ++i) {
            EXPECT_TRUE(rect.contains(labels[i].box));
            for (int j = i + 1; j < labels.size(); ++j)
                EXPECT_FALSE(labels[i].box.intersects(labels[j].box))
                    << qPrintable(labels[i].text) << " covers " << qPrintable(labels[j].text);
        }
    }
}

TEST(ChartPainter, PngReadsBackWithTheSameSize) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Chart chart;
    fill(chart, {5.0, 3.0, 2.0});
    const QString path = dir.filePath("chart.png");
    ASSERT_TRUE(ChartPainter(chart).savePng(path, QSize(321, 234)));
    const QImage back(path);
    EXPECT_EQ(back.size(), QSize(321, 234));
    EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), render(chart, QSize(321, 234)));

    EXPECT_FALSE(ChartPainter(chart).savePng(dir.filePath("missing/chart.png"), QSize(10, 10)));
}

TEST(ChartPainter, ABarChartOfManyChildrenSpansThePlotAndFoldsTheSmallestIntoOther) {
    Chart chart;
    chart.setChartType(Chart::Type::Bar);
    QList<double> values;
    for (int k = 0; k < 150; ++k)
        values.append(k % 10 == 9 ? 0.0 : 1000.0 + (k * 37) % 500); // every tenth one empty
    fill(chart, values, {}, true);
    const auto hitFrom = [&](const ChartPainter &painter, const QRectF &rect, bool fromLeft) {
        // Near the axis, where even the lowest bars stand.
        const QRectF plot = painter.layout(rect).plot;
        for (int i = 0; i < int(plot.width()); ++i) {
            const double x = fromLeft ? plot.left() + i : plot.right() - i;
            for (double y = plot.bottom(); y > plot.bottom() - 16; --y) {
                if (const int s = painter.seriesAt(rect, QPointF(x, y)); s != -1)
                    return std::pair{s, (x - plot.left()) / plot.width()};
            }
        }
        return std::pair{-1, 0.0};
    };

    // However wide, the largest keep a bar of their own, in series order, and span the plot.
    const QRectF wide(0, 0, 1400, 400);
    const ChartPainter roomy(chart);
    const auto [first, firstAt] = hitFrom(roomy, wide, true);
    const auto [last, lastAt] = hitFrom(roomy, wide, false);
    EXPECT_EQ(first, roomy.folding(wide).own.first());
    EXPECT_EQ(last, ChartPainter::GroupedSeries);
    EXPECT_LT(firstAt, 0.15);
    EXPECT_GT(lastAt, 0.9);

    // Not enough room: the smallest fold into the grouped bar, last, and the rest still span.
    const QRectF narrow(0, 0, 500, 400);
    const ChartPainter crowded(chart);
    const auto [left, leftAt] = hitFrom(crowded, narrow, true);
    const auto [right, rightAt] = hitFrom(crowded, narrow, false);
    EXPECT_EQ(right, ChartPainter::GroupedSeries);
    EXPECT_GT(rightAt, 0.9);
    EXPECT_GE(left, 0);
    EXPECT_LT(leftAt, 0.2);

    // Labels: none outside the plot, none over another, none for an empty bar; the grouped
    // bar is labelled with the grouping text when its label fits.
    for (const QRectF &rect : {wide, narrow, QRectF(0, 0, 260, 160)}) {
        const ChartPainter painter(chart);
        const QRectF plot = painter.layout(rect).plot;
        const auto labels = painter.placedLabels(rect);
        for (int i = 0; i < labels.size(); ++i) {
            EXPECT_TRUE(plot.contains(labels[i].box)) << qPrintable(labels[i].text);
            const int series = labels[i].label.series;
            if (labels[i].text != chart.shownContent().grouping.shownLabel()) {
                ASSERT_GE(series, 0);
                EXPECT_GT(values[series], 0) << qPrintable(labels[i].text);
            }
            for (int j = i + 1; j < labels.size(); ++j)
                EXPECT_FALSE(labels[i].box.intersects(labels[j].box))
                    << qPrintable(labels[i].text) << " covers " << qPrintable(labels[j].text);
        }
    }
}

// A folder of 150 children, 130 of them empty or tiny, in every shape of pane: at most 16 bars
// of their own plus the grouped one, nothing for an empty child, and labels that never overlap,
// shortened in the middle when whole ones do not fit.
TEST(ChartPainter, ManyEmptyOrTinyChildrenFoldAndTheirLabelsNeverOverlap) {
    QList<double> values;
    for (int k = 0; k < 150; ++k)
        values.append(k % 15 == 0 || k % 15 == 7 ? 5000.0 + k : k % 2 ? 0.0 : 0.5);
    Chart chart;
    fill(chart, values, {}, true);
    chart.setBatchMode(true);
    for (int k = 0; k < 150; ++k)
        chart.setLabelText(k, QStringLiteral("a-long-folder-name-%1-of-the-tree").arg(k));
    chart.setBatchMode(false);

    for (const auto type : {Chart::Type::Bar, Chart::Type::Pie}) {
        chart.setChartType(type);
        for (const QSize size :
             {QSize(1400, 500), QSize(800, 600), QSize(420, 300), QSize(360, 700)}) {
            const QRectF rect{QPointF(), QSizeF(size)};
            const ChartPainter painter(chart);
            const QString where = QStringLiteral("%1 at %2x%3")
                                      .arg(type == Chart::Type::Bar ? "bars" : "pie")
                                      .arg(size.width())
                                      .arg(size.height());
            const PieFolding folding = painter.folding(rect);
            if (type == Chart::Type::Bar) {
                EXPECT_LE(folding.own.size(), ChartPainter::MaxBars) << qPrintable(where);
            }
            EXPECT_GT(folding.otherCount, 0) << qPrintable(where);
            EXPECT_TRUE(std::is_sorted(folding.own.begin(), folding.own.end()));
            for (int s : folding.own + folding.grouped)
                EXPECT_GT(values[s], 0) << qPrintable(where) << " holds empty series " << s;

            const QStringList legend = painter.legendLines(rect);
            ASSERT_FALSE(legend.isEmpty()) << qPrintable(where);
            for (const QString &line : legend) {
                const int series = QString(line).remove(QStringLiteral("series ")).toInt() - 1;
                if (series >= 0) {
                    EXPECT_GT(values[series], 0) << qPrintable(where) << qPrintable(line);
                }
            }

            const QRectF plot = painter.layout(rect).plot;
            const auto labels = painter.placedLabels(rect);
            EXPECT_GE(labels.size(), 3) << qPrintable(where);
            for (int i = 0; i < labels.size(); ++i) {
                EXPECT_TRUE(plot.contains(labels[i].box)) << qPrintable(where);
                const QString &text = labels[i].text;
                if (text != labels[i].label.text && text != "Other") {
                    const qsizetype cut = text.indexOf(QChar(0x2026));
                    EXPECT_GT(cut, 0) << qPrintable(text);
                    EXPECT_LT(cut, text.size() - 1) << "cut at the end: " << qPrintable(text);
                }
                for (int j = i + 1; j < labels.size(); ++j)
                    EXPECT_FALSE(labels[i].box.intersects(labels[j].box))
                        << qPrintable(where) << ": " << qPrintable(text) << " covers "
                        << qPrintable(labels[j].text);
            }
        }
    }
}
