// The chart pane's "Largest files" and "File types" tabs in the real window.
#include "ChartView.h"
#include "FileTypesView.h"
#include "KeptFilesModel.h"
#include "LargestFilesView.h"
#include "MainFixture.h"
#include "RecordingShellLauncher.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QTabBar>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>

namespace {

struct LargestFiles : MainFixture {
    QTabBar *tabs() const { return form->chartTabs(); }
    LargestFilesView *view() const { return form->largestFilesView(); }
    QTableView *table() const { return view()->table(); }

    void clickTab(int index) {
        QTest::mouseClick(tabs(), Qt::LeftButton, {}, tabs()->tabRect(index).center());
    }
    // The names the list shows, top to bottom.
    QStringList names() const {
        QStringList out;
        for (int r = 0; r < table()->model()->rowCount(); ++r)
            out << table()->model()->index(r, KeptFilesModel::Name).data().toString();
        return out;
    }
    QPoint cellCentre(int row, int col) const {
        return table()->visualRect(table()->model()->index(row, col)).center();
    }
};

} // namespace

TEST_F(LargestFiles, TabListsTheSelectedSubtreeLargestFirstAndLeadsBackToTheTree) {
    form->resize(1200, 700);
    scan(root);
    clickTab(1);
    ASSERT_TRUE(view()->isVisible());
    EXPECT_FALSE(form->chartView()->isVisible());
    EXPECT_EQ(names(), QStringList({"b.bin", "a.txt", "c"}));
    EXPECT_TRUE(view()->captionText().startsWith("Every file is listed"))
        << view()->captionText().toStdString();
    EXPECT_EQ(table()->model()->index(0, KeptFilesModel::Size).data().toString(), "2,000 B");
    EXPECT_EQ(table()->model()->index(0, KeptFilesModel::Folder).data().toString(), root + "/sub/");

    // A header click sorts by that column.
    QTest::mouseClick(table()->horizontalHeader()->viewport(), Qt::LeftButton, {},
                      QPoint(table()->horizontalHeader()->sectionViewportPosition(0) + 5, 5));
    const QStringList byName = names();
    EXPECT_TRUE(byName == QStringList({"a.txt", "b.bin", "c"}) ||
                byName == QStringList({"c", "b.bin", "a.txt"}))
        << byName.join(' ').toStdString();

    // Selecting a folder lists only what lies below it.
    form->grid().select(rowNamed("sub"), 0);
    form->fgTree_Click();
    table()->sortByColumn(KeptFilesModel::Name, Qt::DescendingOrder);
    EXPECT_EQ(names(), QStringList({"c", "b.bin"}));

    // A double click selects the file's folder in the tree; the list stays.
    // (QTest sends a widget only the double click itself; a real one follows a press.)
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, cellCentre(0, 0));
    QTest::mouseDClick(table()->viewport(), Qt::LeftButton, {}, cellCentre(0, 0));
    const OutlineGrid &grid = form->grid();
    ASSERT_GT(grid.selectedRowCount(), 0);
    EXPECT_EQ(grid.text(grid.selectedRow(grid.selectedRowCount() - 1), 0), "deep");
    EXPECT_EQ(names(), QStringList({"c", "b.bin"}));

    // Copy puts the selected rows on the clipboard as tab-separated lines.
    table()->selectRow(1);
    table()->setFocus();
    QTest::keySequence(table(), QKeySequence::Copy);
    EXPECT_TRUE(QApplication::clipboard()->text().startsWith("b.bin\t2,000 B\t" + root + "/sub/\t"))
        << QApplication::clipboard()->text().toStdString();

    // The node commands act on the file itself.
    auto launcher = std::make_unique<RecordingShellLauncher>();
    RecordingShellLauncher *recorded = launcher.get();
    form->setShellLauncher(std::move(launcher));
    for (QAction *action : view()->findChildren<QAction *>())
        if (action->text() == "Open")
            action->trigger();
    ASSERT_EQ(recorded->requests.size(), 1u);
    EXPECT_TRUE(recorded->requests[0].arguments.join(' ').contains("sub/b.bin"))
        << recorded->requests[0].arguments.join(' ').toStdString();
}

TEST_F(LargestFiles, CapKeepsTheLargestAndSaysFromWhichSizeFilesAreListed) {
    form->settings().Kept_Files = 2;
    scan(root);
    clickTab(1);
    EXPECT_EQ(names(), QStringList({"b.bin", "a.txt"}));
    EXPECT_EQ(view()->captionText(), "Files of 31 B and larger are listed (2 files).");
}

TEST_F(LargestFiles, FileTypesTotalEveryFileAndAClickListsThatType) {
    makeFile(root + "/sub/d.TXT", 500);
    scan(root);
    clickTab(2);
    QTreeWidget *list = form->fileTypesView()->list();
    ASSERT_TRUE(list->isVisible());
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = list->topLevelItem(i);
        rows << item->text(0) + ' ' + item->text(1) + ' ' + item->text(2);
    }
    EXPECT_EQ(rows, QStringList({"bin 2,000 B 1", "txt 600 B 2", "(no extension) 30 B 1"}));

    const QRect txt = list->visualItemRect(list->topLevelItem(1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, txt.center());
    EXPECT_EQ(tabs()->currentIndex(), 1);
    EXPECT_EQ(names(), QStringList({"d.TXT", "a.txt"}));
    EXPECT_TRUE(view()->captionText().contains("type \"txt\""))
        << view()->captionText().toStdString();
    // Choosing the tab again lists every type once more.
    clickTab(2);
    clickTab(1);
    EXPECT_EQ(names().size(), 4);
}
