// The Sort menu: the standing order of the rows among their siblings.
#include "frmMain.h"

#include "BusyPointer.h"
#include "EventPace.h"
#include "HandlerTrap.h"
#include "SortChoice.h"
#include "mdlFileSearch.h"
#include "yieldOnce.h"

#include "OutlineGridView.h"

#include <QAction>
#include <QHeaderView>

#include <array>
#include <chrono>

void frmMain::SetSortTags() {
    for (std::size_t i = 0; i < mnuSort.size(); ++i)
        mnuSort[i]->setData(QString::fromLatin1(SortChoice::all()[i].tag));
}

void frmMain::mnuSort_Click(int Index) {
    if (m_scanning)
        return;
    m_scanning = true; // like a scan: the window waits for the sort to end before closing
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in mnuSort_Click"));
    BusyPointer busy;
    EnObjs(false);
    m_search->AbortRequested = false;
    // Abort leaves the order, the menu's check and the columns' sort settings as they were.
    int checkedBefore = -1;
    for (std::size_t i = 0; i < mnuSort.size(); ++i)
        if (mnuSort[i]->isChecked())
            checkedBefore = static_cast<int>(i);
    std::array<GridSort, 4> sortBefore{};
    constexpr std::array<int, 4> sortCols{TreeCol::Name, TreeCol::Size, TreeCol::Files,
                                          TreeCol::Bytes};
    for (std::size_t i = 0; i < sortCols.size(); ++i)
        sortBefore[i] = fgTree.colSort(sortCols[i]);
    const bool compared = fgTree.cols() > TreeCol::ChangeBytes;
    const GridSort changeBefore = compared ? fgTree.colSort(TreeCol::ChangeBytes) : GridSort::None;
    // A million rows take seconds to order: the event loop turns every few milliseconds meanwhile.
    EventPace pace;
    const auto goOn = [&] {
        pace.turnIfDue(yieldOnce);
        return !m_session.abortRequested();
    };
    trap.run(
        [&] {
            trap.line = 2;
            for (std::size_t i = 0; i < mnuSort.size(); ++i)
                mnuSort[i]->setChecked(static_cast<int>(i) == Index);
            trap.line = 3;
            yieldOnce();
            trap.line = 4;
            for (int col : {TreeCol::Name, TreeCol::Size, TreeCol::Files, TreeCol::Bytes,
                            TreeCol::ChangeBytes})
                if (col < fgTree.cols())
                    fgTree.setColSort(col, GridSort::None);
            trap.line = 5;
            fgTree.setCursorRow(-1);
            trap.line = 6;
            if (Index < 0 || Index >= static_cast<int>(SortChoice::all().size()))
                return;
            const SortChoice &choice = SortChoice::all()[static_cast<std::size_t>(Index)];
            // "By Change" without a comparison has nothing to order by: no row moves.
            if (choice.column < 0 || choice.column >= fgTree.cols())
                return;
            trap.line = 7;
            fgTree.setColSort(choice.column, choice.order);
            trap.line = 8;
            // Every node's children in one pass: the same order as sorting row 1, 2, ... in
            // turn, without moving any row more than once.
            if (!fgTree.sortAllNodes(goOn)) {
                for (std::size_t i = 0; i < mnuSort.size(); ++i)
                    mnuSort[i]->setChecked(static_cast<int>(i) == checkedBefore);
                for (std::size_t i = 0; i < sortCols.size(); ++i)
                    fgTree.setColSort(sortCols[i], sortBefore[i]);
                if (compared)
                    fgTree.setColSort(TreeCol::ChangeBytes, changeBefore);
            }
            trap.line = 9;
            reselectRows();
        },
        [&] {
            showSortIndicator();
            fgTree_Click();
            EnObjs(true);
            busy.release();
        });
    m_scanning = false;
    if (m_closeAfterScan)
        close();
}

namespace {

// The Sort menu's ascending item for the key a header column shows, or -1. The Size column
// shows the size in the display unit, but its key is the exact byte count, as in the menu.
int ascendingItemOfColumn(int col) {
    const int key = col == TreeCol::Size ? TreeCol::Bytes : col;
    const auto &all = SortChoice::all();
    if (key == TreeCol::Change) // one order only: the largest growth first
        for (std::size_t i = 0; i < all.size(); ++i)
            if (all[i].column == TreeCol::ChangeBytes)
                return static_cast<int>(i);
    if (key != TreeCol::Name && key != TreeCol::Bytes && key != TreeCol::Files)
        return -1;
    for (std::size_t i = 0; i < all.size(); ++i)
        if (all[i].column == key && (all[i].order == GridSort::GenericAscending ||
                                     all[i].order == GridSort::NumericAscending))
            return static_cast<int>(i);
    return -1;
}

} // namespace

// A click on a column's header sorts by it as the Sort menu's item for that key does:
// ascending, and descending when it was already ascending.
void frmMain::fgTree_HeaderClick(int col) {
    const int ascending = ascendingItemOfColumn(col);
    if (ascending < 0 || m_scanning) {
        showSortIndicator(); // the header may have moved its arrow on its own
        return;
    }
    const bool wasAscending =
        mnuSort[static_cast<std::size_t>(ascending)]->isChecked() &&
        SortChoice::all()[static_cast<std::size_t>(ascending)].column != TreeCol::ChangeBytes;
    mnuSort_Click(wasAscending ? ascending + 1 : ascending);
}

// The header's arrow shows the checked Sort item's key and direction.
void frmMain::showSortIndicator() {
    QHeaderView *header = fgTreeView->header();
    for (std::size_t i = 0; i < mnuSort.size(); ++i) {
        const SortChoice &choice = SortChoice::all()[i];
        if (!mnuSort[i]->isChecked() || choice.column < 0)
            continue;
        const bool ascending = choice.order == GridSort::GenericAscending ||
                               choice.order == GridSort::NumericAscending;
        const int shown = choice.column == TreeCol::Bytes         ? TreeCol::Size
                          : choice.column == TreeCol::ChangeBytes ? TreeCol::Change
                                                                  : choice.column;
        if (shown >= fgTree.cols())
            break;
        header->setSortIndicator(shown, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
        header->setSortIndicatorShown(true);
        return;
    }
    header->setSortIndicatorShown(false);
}
