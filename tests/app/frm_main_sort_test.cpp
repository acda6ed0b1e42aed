#include "MainFixture.h"

#include "Chart.h"
#include "ScanTree.h"

#include <QAction>

namespace {

// The names of a node's children, in grid order.
QStringList childNames(OutlineGrid &g, int row) {
    QStringList names;
    for (int c = g.firstChild(row); c >= 0; c = g.nextSibling(c))
        names << g.text(c, 0);
    return names;
}

// Every node's children ordered by a numeric column; every one of them must hold a number.
// Where keys tie, the tests name the order the stable sort must keep.
::testing::AssertionResult everyLevelOrdered(OutlineGrid &g, int col, bool descending) {
    for (int r = 1; r < g.rows(); ++r) {
        int prev = -1;
        for (int c = g.firstChild(r); c >= 0; c = g.nextSibling(c)) {
            if (!g.number(c, col))
                return ::testing::AssertionFailure() << "row " << c << " has no number";
            if (prev >= 0) {
                const double a = *g.number(prev, col), b = *g.number(c, col);
                if (descending ? a < b : a > b)
                    return ::testing::AssertionFailure() << "rows " << prev << ", " << c;
            }
            prev = c;
        }
    }
    return ::testing::AssertionSuccess();
}

struct SortFixture : MainFixture {
    void SetUp() override {
        MainFixture::SetUp();
        // Two more roots of different sizes, and two folders that round to the same size.
        QDir().mkpath(root + "/twins/x");
        QDir().mkpath(root + "/twins/y");
        makeFile(root + "/twins/x/f", 1500);
        makeFile(root + "/twins/y/f", 1000);
        QDir().mkpath(dir.path() + "/small");
        makeFile(dir.path() + "/small/s", 5);
    }
    int checkedSortItem() const {
        int checked = -1, count = 0;
        for (int i = 0; i < 10; ++i)
            if (form->sortAction(i)->isChecked()) {
                checked = i;
                ++count;
            }
        return count == 1 ? checked : -2;
    }
};

} // namespace

TEST_F(SortFixture, EveryChoiceOrdersEveryLevelWithSubtreesMoving) {
    scan(root);
    scan(dir.path() + "/small");
    OutlineGrid &g = form->grid();
    const int edgesBefore = g.rows();
    form->mnuSort_Click(4); // by size, descending
    EXPECT_EQ(checkedSortItem(), 4);
    EXPECT_TRUE(everyLevelOrdered(g, 4, true));
    EXPECT_EQ(g.rows(), edgesBefore);
    EXPECT_EQ(childNames(g, 1), (QStringList{root + "/", dir.path() + "/small/"}));
    // "deep" still sits under "sub" after the move.
    const int deep = rowNamed("deep");
    EXPECT_EQ(g.text(g.parentRow(deep), 0), "sub");
    form->mnuSort_Click(6); // by number of files, ascending
    EXPECT_TRUE(everyLevelOrdered(g, 3, false));
    // sub and twins hold two files each: they keep the order the size sort gave them.
    EXPECT_EQ(childNames(g, rowNamed(root + "/")),
              (QStringList{"empty", "<Files in " + root + "/>", "twins", "sub"}));
    form->mnuSort_Click(0); // by name, ascending: files rows sort among their siblings
    EXPECT_EQ(childNames(g, rowNamed(root + "/")),
              (QStringList{"<Files in " + root + "/>", "empty", "sub", "twins"}));
    form->mnuSort_Click(1);
    EXPECT_EQ(childNames(g, rowNamed(root + "/")),
              (QStringList{"twins", "sub", "empty", "<Files in " + root + "/>"}));
}

TEST_F(SortFixture, SameRoundedSizeComesOutInByteOrder) {
    form->settings().Object_Size = 2; // MB: 1000 and 1500 bytes both show as 0
    scan(root);
    form->mnuSort_Click(3);
    OutlineGrid &g = form->grid();
    EXPECT_EQ(childNames(g, rowNamed("twins")), (QStringList{"<Files in twins>", "y", "x"}));
    form->mnuSort_Click(4);
    EXPECT_EQ(childNames(g, rowNamed("twins")), (QStringList{"x", "y", "<Files in twins>"}));
}

TEST_F(SortFixture, ChoosingAgainSortsAgainAndNoneKeepsTheOrder) {
    form->mnuSort_Click(3);
    form->mnuSort_Click(9); // walks from now on keep the order they find
    scan(root);
    OutlineGrid &g = form->grid();
    form->mnuSort_Click(3);
    const QStringList ascending = childNames(g, rowNamed(root + "/"));
    EXPECT_TRUE(everyLevelOrdered(g, 4, false));
    form->mnuSort_Click(3); // the checked item again: the same order, not reversed
    EXPECT_EQ(childNames(g, rowNamed(root + "/")), ascending);
    form->mnuSort_Click(9);
    EXPECT_EQ(checkedSortItem(), 9);
    EXPECT_EQ(childNames(g, rowNamed(root + "/")), ascending);
}

TEST_F(SortFixture, WithoutScansOnlyTheCheckMarkMoves) {
    form->mnuSort_Click(7);
    EXPECT_EQ(checkedSortItem(), 7);
    EXPECT_EQ(form->grid().rows(), 2);
    EXPECT_EQ(form->sortAction(7)->data().toString(), "301");
    EXPECT_EQ(form->sortAction(9)->data().toString(), "-1");
}

TEST_F(SortFixture, TheSelectedNodeStaysSelectedAtItsNewPlace) {
    scan(root);
    OutlineGrid &g = form->grid();
    g.select(rowNamed("empty"), 0);
    form->mnuSort_Click(4);
    ASSERT_EQ(g.selectedRowCount(), 1);
    EXPECT_EQ(g.text(g.selectedRow(0), 0), "empty");
    EXPECT_EQ(form->chart().title(), "empty");
}

TEST_F(SortFixture, AScanUnderSizeDescendingComesOutLargestFirstEverywhere) {
    form->mnuSort_Click(4);
    scan(dir.path() + "/small");
    scan(root);
    OutlineGrid &g = form->grid();
    EXPECT_TRUE(everyLevelOrdered(g, 4, true));
    EXPECT_EQ(childNames(g, ScanTree::TopRow).first(), root + "/");
}
