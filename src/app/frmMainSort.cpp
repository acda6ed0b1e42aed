// The Sort menu: the standing order of the rows among their siblings.
#include "frmMain.h"

#include "BusyPointer.h"
#include "HandlerTrap.h"
#include "TreeCol.h"
#include "yieldOnce.h"

#include <QAction>

namespace {

// Column and order of each Sort item; items without a column stop the ordering.
struct SortChoice {
    int column;
    GridSort order;
};
constexpr SortChoice sortChoices[10] = {
    {TreeCol::Name, GridSort::GenericAscending},
    {TreeCol::Name, GridSort::GenericDescending},
    {-1, GridSort::None},
    {TreeCol::Bytes, GridSort::NumericAscending},
    {TreeCol::Bytes, GridSort::NumericDescending},
    {-1, GridSort::None},
    {TreeCol::Files, GridSort::NumericAscending},
    {TreeCol::Files, GridSort::NumericDescending},
    {-1, GridSort::None},
    {-1, GridSort::None},
};

} // namespace

void frmMain::SetSortTags() {
    const char *tags[] = {"100", "101", "", "200", "201", "", "300", "301", "", "-1"};
    for (int i = 0; i < 10; ++i)
        mnuSort[static_cast<std::size_t>(i)]->setData(QString::fromLatin1(tags[i]));
}

void frmMain::mnuSort_Click(int Index) {
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in mnuSort_Click"));
    BusyPointer busy;
    EnObjs(false);
    trap.run(
        [&] {
            trap.line = 2;
            for (int i = 0; i < 10; ++i)
                mnuSort[static_cast<std::size_t>(i)]->setChecked(i == Index);
            trap.line = 3;
            yieldOnce();
            trap.line = 4;
            for (int col : {TreeCol::Name, TreeCol::Size, TreeCol::Files, TreeCol::Bytes})
                fgTree.setColSort(col, GridSort::None);
            trap.line = 5;
            fgTree.setCursorRow(-1);
            trap.line = 6;
            if (Index < 0 || Index > 9 || sortChoices[Index].column < 0)
                return;
            trap.line = 7;
            fgTree.setColSort(sortChoices[Index].column, sortChoices[Index].order);
            trap.line = 8;
            // Every node's children in one pass: the same order as sorting row 1, 2, ... in
            // turn, without moving any row more than once.
            fgTree.sortAllNodes();
            trap.line = 9;
            reselectRows();
        },
        [&] {
            fgTree_Click();
            EnObjs(true);
            busy.release();
        });
}
