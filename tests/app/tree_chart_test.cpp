// Treemap and rings in the real window: chosen in the View menu, a click on a tile selects its
// row while the chart keeps its centre, a double-click makes a folder the centre, the tooltip
// tells the item's figures, and a report's picture is the one on the screen.
#include "Chart.h"
#include "ChartPainter.h"
#include "ChartView.h"
#include "GridSubtree.h"
#include "MainFixture.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QPainter>
#include <QTest>

namespace {

struct TreeChart : MainFixture {
    // A point of the chart where `row` is what lies under the pointer, or (-1, -1).
    QPoint pointOf(int row) const {
        ChartView *view = form->chartView();
        for (int y = 2; y < view->height(); y += 3)
            for (int x = 2; x < view->width(); x += 3)
                if (view->treeItemAt(QPointF(x, y)).id == row)
                    return QPoint(x, y);
        return QPoint(-1, -1);
    }
    int selected() const { return form->grid().selectedRow(form->grid().selectedRowCount() - 1); }
};

} // namespace

TEST_F(TreeChart, ClickSelectsDoubleClickCentresInTreemapAndRings) {
    form->resize(1100, 700);
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    scan(root);
    QApplication::processEvents();
    ChartView *view = form->chartView();
    const int rootRow = rowNamed(root + "/");
    const int sub = rowNamed("sub");
    const int subFiles = rowNamed("<Files in sub>");

    for (int type : {2, 3}) {
        const char *which = type == 2 ? "treemap" : "rings";
        form->grid().select(rootRow, 0);
        form->fgTree_Click();
        form->chartTypeAction(type)->trigger();
        EXPECT_EQ(form->settings().Chart_Type, type) << which;
        EXPECT_TRUE(form->chartTypeAction(type)->isChecked()) << which;
        EXPECT_FALSE(form->chartTypeAction(0)->isChecked()) << which;
        EXPECT_EQ(form->chart().chartType(), type == 2 ? Chart::Type::Treemap : Chart::Type::Rings);
        QApplication::processEvents();

        // A click on the files of "sub" selects that row; the chart stays on the root.
        const QPoint files = pointOf(subFiles);
        ASSERT_GE(files.x(), 0) << which;
        const QString tip = view->treeToolTipText(files);
        EXPECT_TRUE(
            tip.startsWith("<Files in sub> in " + root + "/sub/\nSize: 2000 B\nShare: 93.90%\n"))
            << qPrintable(tip);
        EXPECT_TRUE(tip.contains("\nFiles: 1")) << qPrintable(tip);
        QTest::mouseClick(view, Qt::LeftButton, {}, files);
        EXPECT_EQ(selected(), subFiles) << which;
        EXPECT_EQ(form->chart().title(), root + "/") << which;
        EXPECT_EQ(form->statusText(1), root + "/sub/") << which;

        // A report draws what the screen shows.
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        ASSERT_TRUE(view->savePicture(png));
        const QImage saved = QImage::fromData(png.data()).convertToFormat(QImage::Format_RGB32);
        QImage drawn(view->size(), QImage::Format_RGB32);
        {
            QPainter painter(&drawn);
            view->drawPicture(painter, drawn.rect());
        }
        EXPECT_EQ(saved, drawn) << which;
        EXPECT_NE(saved.pixel(files), form->chart().backgroundColor().rgb()) << which;

        // A double-click on the folder makes it the centre and selects it.
        const QPoint folder = pointOf(sub);
        ASSERT_GE(folder.x(), 0) << which;
        QTest::mouseDClick(view, Qt::LeftButton, {}, folder);
        EXPECT_EQ(selected(), sub) << which;
        EXPECT_EQ(form->chart().title(), "sub") << which;
        // Its files are now its largest part, with their share of it.
        EXPECT_TRUE(view->treeToolTipText(pointOf(subFiles)).contains("\nShare: 98.52%"))
            << qPrintable(view->treeToolTipText(pointOf(subFiles)));
    }

    // An older setting keeps its meaning; the shading follows the menu.
    form->chartTypeAction(1)->trigger();
    EXPECT_EQ(form->chart().chartType(), Chart::Type::Bar);
    form->cushionsAction()->trigger();
    EXPECT_FALSE(form->settings().Treemap_Cushions);
    EXPECT_FALSE(form->chart().cushions());
}

TEST_F(TreeChart, KeptFilesAreTilesOfTheirOwnInsideTheirFilesRow) {
    makeFile(root + "/sub/disk.img", 40000);
    form->resize(1100, 700);
    // The treemap the scan itself draws when it ends shows them.
    form->chartTypeAction(2)->trigger();
    scan(root);
    QApplication::processEvents();
    ChartView *view = form->chartView();
    QPoint at(-1, -1);
    for (int y = 2; y < view->height() && at.x() < 0; y += 3)
        for (int x = 2; x < view->width() && at.x() < 0; x += 3)
            if (view->treeItemAt(QPointF(x, y)).id >= GridSubtree::FirstFileId &&
                view->treeToolTipText(QPointF(x, y)).contains("disk.img"))
                at = QPoint(x, y);
    ASSERT_GE(at.x(), 0);
    const QString tip = view->treeToolTipText(at);
    EXPECT_TRUE(tip.startsWith(root + "/sub/disk.img\nSize: 40,000 B\n")) << qPrintable(tip);
    // Its tile lies inside the files row's, and a click selects that row.
    const ChartPainter::TreeHit hit = view->treeItemAt(at);
    EXPECT_LT(hit.shape.boundingRect().width() * hit.shape.boundingRect().height(),
              0.95 * view->width() * view->height());
    QTest::mouseClick(view, Qt::LeftButton, {}, at);
    EXPECT_EQ(selected(), rowNamed("<Files in sub>"));
    EXPECT_EQ(form->chart().title(), root + "/");
}
