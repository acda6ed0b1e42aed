#include "ChartView.h"

#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

void fillPie(Chart &chart, int series) {
    for (int k = 1; k <= series; ++k) {
        chart.setSeriesCount(k);
        chart.setValue(k - 1, 0, k);
        chart.addLegendText(QStringLiteral("child %1").arg(k));
    }
}

} // namespace

TEST(ChartView, RepaintsOncePerBatchAndNotDuringIt) {
    ChartView view;
    view.resize(300, 200);
    view.show();
    PaintCounter counter;
    view.installEventFilter(&counter);
    QApplication::processEvents();
    counter.paints = 0;

    Chart &chart = *view.chart();
    chart.setBatchMode(true);
    chart.setDataBatchMode(true);
    chart.setTitle("Home");
    fillPie(chart, 50);
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, 0);

    chart.setBatchMode(false);
    chart.setDataBatchMode(false);
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, 1);

    chart.setValue(0, 0, 99.0); // outside batch mode a change shows at once
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, 2);
}

TEST(ChartView, ReportsPointerMovesAndNewLayouts) {
    ChartView view;
    int laidOut = 0;
    QPoint moved(-1, -1);
    QObject::connect(&view, &ChartView::laidOut, &view, [&] { ++laidOut; });
    QObject::connect(&view, &ChartView::pointerMoved, &view, [&](const QPoint &p) { moved = p; });
    view.resize(400, 300);
    view.show();
    QApplication::processEvents();
    EXPECT_GE(laidOut, 1);

    laidOut = 0;
    view.resize(500, 300);
    QApplication::processEvents();
    EXPECT_GE(laidOut, 1);

    // New content that brings a legend moves the plot: the chart says so after painting.
    laidOut = 0;
    fillPie(*view.chart(), 3);
    view.repaint();
    QApplication::processEvents();
    EXPECT_GE(laidOut, 1);

    QMouseEvent move(QEvent::MouseMove, QPointF(40, 30), view.mapToGlobal(QPointF(40, 30)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &move);
    EXPECT_EQ(moved, QPoint(40, 30));
}

TEST(ChartView, SavesAndDrawsThePictureItShows) {
    QTemporaryDir dir;
    ChartView view;
    fillPie(*view.chart(), 4);
    // Never shown: a picture of a useful size all the same.
    ASSERT_TRUE(view.savePicture(dir.filePath("unsized.png")));
    EXPECT_EQ(QImage(dir.filePath("unsized.png")).size(), QSize(640, 480));

    view.resize(360, 240);
    ASSERT_TRUE(view.savePicture(dir.filePath("chart.png")));
    const QImage saved(dir.filePath("chart.png"));
    EXPECT_EQ(saved.size(), QSize(360, 240));

    // Drawn at twice the size into a page, the same picture, scaled, inside the target only.
    QImage page(1000, 800, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    view.drawPicture(painter, QRect(100, 50, 720, 480));
    painter.end();
    const QRgb background = view.chart()->backgroundColor().rgb();
    EXPECT_EQ(page.pixel(99, 200), qRgb(255, 255, 255));
    EXPECT_EQ(page.pixel(821, 200), qRgb(255, 255, 255));
    EXPECT_EQ(page.pixel(101, 51), background);
    EXPECT_EQ(page.pixel(818, 528), background);
    const QImage scaled = page.copy(100, 50, 720, 480)
                              .scaled(360, 240, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    int differing = 0;
    const QImage direct = saved.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 360; ++x) {
            const QColor a = scaled.pixelColor(x, y), b = direct.pixelColor(x, y);
            differing += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                             std::abs(a.blue() - b.blue()) >
                         60;
        }
    }
    EXPECT_LT(differing, 360 * 240 / 20) << "the drawn picture is not the saved one";
}

// The chart as a way through what it shows: a click reports the series under the pointer, the
// grouped bar lists what it holds, and Backspace or the menu's "Up" asks for the level above.
TEST(ChartView, ClicksTooltipsAndUpLeadThroughTheChart) {
    ChartView view;
    Chart &chart = *view.chart();
    chart.setChartType(Chart::Type::Bar);
    chart.setBatchMode(true);
    for (int k = 0; k < 40; ++k) {
        chart.setSeriesCount(k + 1);
        chart.setValue(k, 0, k < 5 ? 100.0 - k : 1.0 + k / 100.0);
        chart.addLegendText(QStringLiteral("%1% child %2").arg(k).arg(k));
    }
    chart.setToolTip(2, QStringLiteral("child 2\nSize: 98 KB"));
    chart.setBatchMode(false);
    view.resize(700, 420);
    view.show();
    QApplication::setActiveWindow(&view);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));

    QList<int> clicked;
    int ups = 0;
    QObject::connect(&view, &ChartView::seriesClicked, &view, [&](int s) { clicked << s; });
    QObject::connect(&view, &ChartView::upRequested, &view, [&] { ++ups; });

    // Find each bar's pixel along a line near the axis and click it.
    const int y = view.height() - 40;
    QList<int> seen;
    QPoint grouped(-1, -1);
    for (int x = 0; x < view.width(); ++x) {
        const int s = view.seriesAt(QPointF(x, y));
        if (s == ChartPainter::GroupedSeries)
            grouped = QPoint(x, y);
        if (s >= 0 && !seen.contains(s)) {
            seen << s;
            QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(x + 2, y));
        }
    }
    EXPECT_EQ(seen, QList<int>({0, 1, 2, 3, 4}).mid(0, seen.size()));
    EXPECT_GE(seen.size(), 5);
    EXPECT_EQ(clicked, seen);
    ASSERT_GE(grouped.x(), 0) << "no grouped bar";
    QTest::mouseClick(&view, Qt::LeftButton, {}, grouped);
    EXPECT_EQ(clicked, seen) << "the grouped bar is no child to go to";

    // Tooltips: the series' own, else its legend text; the group lists its largest first.
    EXPECT_EQ(view.toolTipText(2), "child 2\nSize: 98 KB");
    EXPECT_EQ(view.toolTipText(3), "3% child 3");
    const QList<int> held =
        ChartPainter(chart, view.font(), view.logicalDpiY()).folding(QRectF(view.rect())).grouped;
    ASSERT_GT(held.size(), 15);
    const QStringList lines = view.toolTipText(ChartPainter::GroupedSeries).split(u'\n');
    ASSERT_EQ(lines.size(), 17);
    EXPECT_EQ(lines[0], QStringLiteral("Other (%1 items):").arg(held.size()));
    EXPECT_EQ(lines[1], QStringLiteral("%1% child %1").arg(held.last())); // the largest held
    EXPECT_EQ(lines.last(), QStringLiteral("and %1 more").arg(held.size() - 15));

    view.setFocus();
    QTest::keyClick(&view, Qt::Key_Backspace);
    EXPECT_EQ(ups, 1);
    ASSERT_TRUE(view.actions().contains(view.upAction()));
    EXPECT_EQ(view.upAction()->text(), "Up");
    view.upAction()->trigger();
    EXPECT_EQ(ups, 2);
}

// Assistive technology sees the chart by its title, and each slice as a child named by its
// label, described by its figures, where it is drawn, with a press that does what a click does.
TEST(ChartView, SlicesAreAccessibleChildrenThatCanBePressed) {
    ChartView view;
    view.setAccessibleName("Chart of the selected folder");
    Chart &chart = *view.chart();
    chart.setBatchMode(true);
    chart.setTitle("data");
    for (int k = 0; k < 3; ++k) {
        chart.setSeriesCount(k + 1);
        chart.setValue(k, 0, 10.0 * (k + 1));
        chart.addLegendText(QStringLiteral("%1% part %1").arg(k));
        chart.setLabelText(chart.addLabel(), QStringLiteral("part %1").arg(k));
        chart.setLabelAttachment(k, k, 0);
        chart.setToolTip(k, QStringLiteral("part %1\nSize: %2 KB\nShare: x%").arg(k).arg(k + 1));
    }
    chart.setBatchMode(false);
    view.resize(500, 360);
    view.show();
    QApplication::processEvents();

    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(&view);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->role(), QAccessible::Chart);
    EXPECT_EQ(face->text(QAccessible::Name), "data");
    ASSERT_EQ(face->childCount(), 3);
    QList<int> pressed;
    QObject::connect(&view, &ChartView::seriesClicked, &view, [&](int s) { pressed << s; });
    const QRect onScreen(view.mapToGlobal(QPoint(0, 0)), view.size());
    for (int i = 0; i < 3; ++i) {
        QAccessibleInterface *slice = face->child(i);
        ASSERT_NE(slice, nullptr);
        EXPECT_EQ(face->indexOfChild(slice), i);
        EXPECT_EQ(slice->text(QAccessible::Name), QStringLiteral("part %1").arg(i));
        EXPECT_EQ(slice->text(QAccessible::Description),
                  QStringLiteral("Size: %1 KB, Share: x%").arg(i + 1));
        const QRect r = slice->rect();
        EXPECT_FALSE(r.isEmpty());
        EXPECT_TRUE(onScreen.contains(r)) << i;
        ASSERT_NE(slice->actionInterface(), nullptr);
        slice->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    }
    EXPECT_EQ(pressed, QList<int>({0, 1, 2}));
}
