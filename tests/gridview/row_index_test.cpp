// The shown-row index brought up to date piecewise gives the same rows as one built afresh,
// whatever mix of appends, collapses, sorts, removals and hidden rows came in between.
#include "OutlineGrid.h"
#include "OutlineGridRowIndex.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

std::vector<int> rowsOf(const OutlineGridRowIndex &index) {
    std::vector<int> rows;
    for (int i = 0; i < index.count(); ++i)
        rows.push_back(index.rowAt(i));
    return rows;
}

class RowIndex : public ::testing::Test {
protected:
    OutlineGrid grid;

    void SetUp() override {
        grid.setCols(2);
        grid.setRows(2);
        grid.setFixedRows(1);
        grid.setLevel(1, -1);
        grid.setNode(1, true);
    }

    int append(int level, int value) {
        const int r = grid.addRow();
        grid.setNode(r, true);
        grid.setLevel(r, level);
        grid.setText(r, 1, QString::number(value));
        return r;
    }

    void expectSameAsFresh(const OutlineGridRowIndex &kept, int step) {
        OutlineGridRowIndex fresh;
        fresh.rebuild(grid);
        ASSERT_EQ(rowsOf(kept), rowsOf(fresh)) << "after step " << step;
        ASSERT_EQ(kept.firstBodyIndex(), fresh.firstBodyIndex());
    }
};

TEST_F(RowIndex, AppendsExtendTheIndexAndOnlyTheRowsBelowAChangeAreReadAgain) {
    OutlineGridRowIndex index;
    index.update(grid);
    const int a = append(0, 1);
    append(1, 2);
    index.update(grid);
    EXPECT_EQ(rowsOf(index), (std::vector<int>{1, a, a + 1}));
    // Appending below a collapsed node hides the new row.
    grid.setOutlineState(a, OutlineCollapsed);
    const int hidden = append(1, 3);
    index.update(grid);
    EXPECT_EQ(rowsOf(index), (std::vector<int>{1, a}));
    EXPECT_EQ(grid.structureChangedFrom(grid.structureStamp()), grid.rows());
    grid.markStructureSeen();
    const quint64 seen = grid.structureStamp();
    const int b = append(0, 4);
    EXPECT_EQ(grid.structureChangedFrom(seen), b);
    EXPECT_EQ(grid.structureChangedFrom(seen - 1), 0); // from before tracking began: unknown
    index.update(grid);
    EXPECT_EQ(rowsOf(index), (std::vector<int>{1, a, b}));
    grid.setOutlineState(a, OutlineExpanded);
    index.update(grid);
    EXPECT_EQ(rowsOf(index), (std::vector<int>{1, a, a + 1, hidden, b}));
}

TEST_F(RowIndex, ManyRandomChangesKeepTheIndexEqualToAFreshOne) {
    std::mt19937 rng(20260);
    grid.setColSort(1, GridSort::NumericDescending);
    OutlineGridRowIndex index;
    index.update(grid);
    for (int step = 0; step < 3000; ++step) {
        const int body = grid.rows() - 2; // rows below the top row
        const int pick = body > 0 ? 2 + static_cast<int>(rng() % body) : -1;
        switch (rng() % 10) {
        case 0:
        case 1:
        case 2:
        case 3: { // a walk's append: one level deeper at most than the last row
            const int last = grid.level(grid.rows() - 1);
            append(static_cast<int>(rng() % static_cast<unsigned>(last + 2)),
                   static_cast<int>(rng() % 100));
            break;
        }
        case 4:
        case 5:
            if (pick >= 0)
                grid.setOutlineState(pick, rng() % 2 ? OutlineCollapsed : OutlineExpanded);
            break;
        case 6:
            if (pick >= 0)
                grid.sortNode(pick);
            break;
        case 7:
            if (pick >= 0 && rng() % 4 == 0)
                grid.removeRows(pick, 1 + static_cast<int>(rng() % 3));
            break;
        case 8:
            if (pick >= 0)
                grid.setRowHidden(pick, rng() % 3 == 0);
            break;
        case 9:
            if (pick >= 0 && rng() % 5 == 0)
                grid.setRowHeight(pick, rng() % 2 ? 0 : -1);
            break;
        }
        // The index is brought up to date after one change or after several, as a view's
        // repaints would.
        if (rng() % 3 == 0) {
            index.update(grid);
            grid.markStructureSeen();
            expectSameAsFresh(index, step);
        }
    }
}

} // namespace
