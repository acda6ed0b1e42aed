// The Sort menu: the standing order of the rows among their siblings.
#include "frmMain.h"

#include "BusyPointer.h"
#include "HandlerTrap.h"
#include "SortChoice.h"
#include "yieldOnce.h"

#include <QAction>

void frmMain::SetSortTags() {
    for (std::size_t i = 0; i < mnuSort.size(); ++i)
        mnuSort[i]->setData(QString::fromLatin1(SortChoice::all()[i].tag));
}

void frmMain::mnuSort_Click(int Index) {
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in mnuSort_Click"));
    BusyPointer busy;
    EnObjs(false);
    trap.run(
        [&] {
            trap.line = 2;
            for (std::size_t i = 0; i < mnuSort.size(); ++i)
                mnuSort[i]->setChecked(static_cast<int>(i) == Index);
            trap.line = 3;
            yieldOnce();
            trap.line = 4;
            for (int col : {TreeCol::Name, TreeCol::Size, TreeCol::Files, TreeCol::Bytes})
                fgTree.setColSort(col, GridSort::None);
            trap.line = 5;
            fgTree.setCursorRow(-1);
            trap.line = 6;
            if (Index < 0 || Index >= static_cast<int>(SortChoice::all().size()))
                return;
            const SortChoice &choice = SortChoice::all()[static_cast<std::size_t>(Index)];
            if (choice.column < 0)
                return;
            trap.line = 7;
            fgTree.setColSort(choice.column, choice.order);
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
