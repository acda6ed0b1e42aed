#include "ChartView.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>

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
