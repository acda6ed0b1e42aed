// The node commands of the grid's pop-up menu, the selection highlight and dropping a path.
#include "frmMain.h"

#include "AppError.h"
#include "BusyPointer.h"
#include "DesktopShellLauncher.h"
#include "EventPace.h"
#include "HandlerTrap.h"
#include "NativePath.h"
#include "OutlineGridView.h"
#include "ScanCompare.h"
#include "ScanTree.h"
#include "StoredColor.h"
#include "mdlFileSearch.h"
#include "mdlProperties.h"
#include "yieldOnce.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>

#include <chrono>
#include <functional>

int frmMain::selectedNode(const OutlineGrid &grid) {
    const int n = grid.selectedRowCount();
    return n > 0 ? grid.selectedRow(n - 1) : -1;
}

void frmMain::buildPopupMenu() {
    mnuPopUp1 = new QMenu(this);
    mnuPopUp1->setObjectName(QStringLiteral("mnuPopUp1"));
    mnuClearRootNode = mnuPopUp1->addAction(QStringLiteral("Clear This Root Node"));
    connect(mnuClearRootNode, &QAction::triggered, this, &frmMain::mnuClearRootNode_Click);
    mnuUpdateNode = mnuPopUp1->addAction(QStringLiteral("Update This Node"));
    mnuUpdateNode->setVisible(false); // there is no command behind it
    mnuSep3 = mnuPopUp1->addSeparator();
    buildCompareItems();
    // A pair of items that share one handler, told apart by the item's index.
    auto addPair = [this](const char *first, const char *second, void (frmMain::*handler)(int)) {
        const char *captions[] = {first, second};
        for (int i = 0; i < 2; ++i)
            connect(mnuPopUp1->addAction(QString::fromLatin1(captions[i])), &QAction::triggered,
                    this, [this, handler, i] { (this->*handler)(i); });
    };
    addPair("Full Collapse of This Node", "Full Expand of This Node", &frmMain::mnuThisNode_Click);
    mnuPopUp1->addSeparator();
    addPair("Full Collapse of ALL Nodes", "Full Expand of ALL Nodes", &frmMain::mnuAllNodes_Click);
    mnuPopUp1->addSeparator();
    addPair("Open in File Manager", "Explore in File Manager", &frmMain::mnuOpenFold_Click);
    mnuPopUp1->addSeparator();
    connect(mnuPopUp1->addAction(QStringLiteral("Properties")), &QAction::triggered, this,
            &frmMain::mnuProps_Click);

    buildItemActions();

    connect(fgTreeView, &OutlineGridView::beforeMouseDown, this,
            [this](Qt::MouseButton button, Qt::KeyboardModifiers, QPoint pos) {
                fgTree_BeforeMouseDown(button, pos);
            });
    connect(fgTreeView, &OutlineGridView::mouseDown, this,
            [this](Qt::MouseButton button, Qt::KeyboardModifiers, QPoint pos) {
                fgTree_MouseDown(button, pos);
            });
    connect(fgTreeView, &OutlineGridView::beforeCollapse, this,
            [](int row, GridOutlineState, bool &cancel) {
                // The top row always stays open.
                if (row == ScanTree::TopRow)
                    cancel = true;
            });
    connect(&fgTree, &OutlineGrid::selectionChanged, this, &frmMain::fgTree_AfterSelChange);
    connect(fgTreeView, &OutlineGridView::dragOver, this,
            [this](const QStringList &paths, QPoint, Qt::DropAction &effect) {
                effect = fgTree_OLEDragOver(paths) ? Qt::CopyAction : Qt::IgnoreAction;
            });
    connect(fgTreeView, &OutlineGridView::dragDrop, this,
            [this](const QStringList &paths, QPoint) { fgTree_OLEDragDrop(paths); });
}

void frmMain::fgTree_BeforeMouseDown(Qt::MouseButton button, QPoint pos) {
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in fgTree_BeforeMouseDown"));
    trap.run([&] {
        if (fgTree.rows() <= 1 || button != Qt::RightButton)
            return;
        const int row = fgTreeView->rowAt(pos);
        if (row > 0) {
            fgTree.select(row, TreeCol::Name);
            yieldOnce();
        }
    });
}

bool frmMain::popupShowsFor(int row) const {
    // Not the top row, a files row or the "Scan aborted" row.
    return row > ScanTree::TopRow && ScanTree::isFolderRow(fgTree, row) &&
           !fgTree.rowDataBytes(row).isEmpty();
}

void frmMain::fgTree_MouseDown(Qt::MouseButton button, QPoint pos) {
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in fgTree_MouseDown"));
    trap.run([&] {
        if (fgTree.rows() <= 1 || button != Qt::RightButton)
            return;
        const int row = selectedNode(fgTree);
        if (!popupShowsFor(row))
            return;
        const bool root = fgTree.level(row) == 0;
        mnuClearRootNode->setVisible(root);
        mnuSep3->setVisible(root);
        mnuCompareMain->menuAction()->setVisible(root);
        mnuStopComparing->setVisible(ScanCompare::active(fgTree));
        mnuPopUp1->popup(fgTreeView->viewport()->mapToGlobal(pos));
    });
}

void frmMain::fgTree_AfterSelChange(int oldRow, int newRow) {
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in fgTree_AfterSelChange"));
    trap.run([&] {
        updateItemActions();
        const int lastCol = fgTree.cols() - 1;
        if (oldRow >= 0 && oldRow < fgTree.rows() && oldRow != newRow)
            fgTree.setCellBorder({{oldRow, 0, oldRow, lastCol}, 0, 0, 0, 0, 0, 0, 0});
        if (newRow > 0 && newRow < fgTree.rows()) {
            fgTree.setCellBorder({{newRow, 0, newRow, lastCol},
                                  m_settings.HighLight_Border_Color,
                                  2,
                                  2,
                                  2,
                                  2,
                                  0,
                                  0});
            fgTree.setSelectionForeColor(fgTree.level(newRow) == 0
                                             ? m_settings.Root_Font_Color
                                             : (StoredColor::SystemBit | 14u));
        }
    });
}

void frmMain::mnuClearRootNode_Click() {
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in mnuClearRootNode_Click"));
    BusyPointer busy(BusyPointer::Later);
    const bool ok = trap.run(
        [&] {
            trap.line = 1;
            busy.set();
            fgTree.setRedraw(GridRedraw::None);
            yieldOnce();
            trap.line = 2;
            const int root = selectedNode(fgTree);
            if (root < 0 || fgTree.level(root) != 0)
                throw AppError(AppError::NotARootNode,
                               QStringLiteral("Selected node is not a root node"));
            trap.line = 3;
            const int next = fgTree.nextSibling(root);
            fgTree.removeRows(root, (next >= 0 ? next : fgTree.rows()) - root);
            trap.line = 4;
            m_tree->UpdateRoots();
            trap.line = 5;
            reselectRows();
        },
        [&] {
            fgTree.setRedraw(GridRedraw::Buffered);
            fgTree.refresh();
            busy.release();
        });
    if (ok)
        ClearTheChart();
}

// Collapsing or expanding under the window's busy state: pointer, controls and redraw are
// set before `body` and given back on every way out. A million rows take a while: `body` asks
// `goOn` now and then, which lets the event loop turn after each slice of a few milliseconds
// (see EventPace) and is false once Abort was pressed (the rows done so far keep their new
// state).
void frmMain::runOutlineCommand(const QString &title, const OutlineBody &body) {
    if (m_scanning)
        return;
    m_scanning = true; // like a scan: the window waits for the command to end before closing
    HandlerTrap trap(m_prompts, this, title);
    BusyPointer busy(BusyPointer::Later);
    EventPace pace;
    const std::function<bool()> goOn = [&] {
        pace.turnIfDue(yieldOnce);
        return !m_session.abortRequested();
    };
    trap.run(
        [&] {
            trap.line = 1;
            busy.set();
            EnObjs(false);
            m_search->AbortRequested = false;
            fgTree.setRedraw(GridRedraw::None);
            yieldOnce();
            trap.line = 2;
            body(trap.line, goOn);
        },
        [&] {
            EnObjs(true);
            fgTree.setRedraw(GridRedraw::Buffered);
            fgTree.refresh();
            busy.release();
        });
    m_scanning = false;
    if (m_closeAfterScan)
        close();
}

namespace {

// Rows between two looks at the clock.
constexpr int OutlineStride = 4096;

} // namespace

void frmMain::mnuThisNode_Click(int Index) {
    runOutlineCommand(QStringLiteral("Error in mnuThisNode_Click"),
                      [&](int &line, const std::function<bool()> &goOn) {
                          const int node = selectedNode(fgTree);
                          const int last = node >= 0 ? fgTree.lastChild(node) : -1;
                          if (last < 0)
                              return;
                          line = 3;
                          // The range reaches two levels down the last branch, no further.
                          const int lastOfLast = fgTree.lastChild(last);
                          const int end = lastOfLast >= 0 ? lastOfLast : last;
                          const GridOutlineState state =
                              Index == 0 ? OutlineCollapsed : OutlineExpanded;
                          for (int r = node; r <= end; ++r) {
                              if ((r - node) % OutlineStride == OutlineStride - 1 && !goOn())
                                  return;
                              fgTree.setOutlineState(r, state);
                          }
                      });
}

void frmMain::mnuAllNodes_Click(int Index) {
    runOutlineCommand(QStringLiteral("Error in mnuAllNodes_Click"),
                      [&](int &, const std::function<bool()> &goOn) {
                          const GridOutlineState state =
                              Index == 0 ? OutlineCollapsed : OutlineExpanded;
                          // the top row is never touched
                          for (int r = 2; r < fgTree.rows(); ++r) {
                              if (r % OutlineStride == 0 && !goOn())
                                  return;
                              fgTree.setOutlineState(r, state);
                          }
                      });
}

// The one path of a drop that may be scanned: exactly one, and it exists.
QString frmMain::droppablePath(const QStringList &paths) const {
    if (m_scanning || paths.size() != 1)
        return QString();
    return NativePath::exists(NativePath::fromText(paths.front())) ? paths.front() : QString();
}

bool frmMain::fgTree_OLEDragOver(const QStringList &paths) {
    return !droppablePath(paths).isEmpty();
}

void frmMain::fgTree_OLEDragDrop(const QStringList &paths) {
    if (m_scanning)
        return;
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in fgTree_OLEDragDrop"));
    trap.run([&] {
        const QString path = droppablePath(paths);
        if (path.isEmpty())
            return;
        cboStartPath->setEditText(path);
        cmdBeginScan_Click();
    });
}

// The selected node's folder path from its row data; an empty one is the "Null folder name"
// error.
QByteArray frmMain::selectedFolderPath() const {
    const int row = selectedNode(fgTree);
    // The row keeps the folder's bytes as the walk met them; blanks are part of a name.
    const QByteArray path = row >= 0 ? fgTree.rowDataBytes(row) : QByteArray();
    if (path.trimmed().isEmpty())
        throw AppError(AppError::NullFolderName, QStringLiteral("Null folder name"));
    return path;
}

// The open and properties commands: busy pointer and one yield, then `body` with the selected
// node's folder path; the pointer comes back before any box is shown, the command's own ones
// included.
void frmMain::runShellCommand(const QString &title,
                              const std::function<void(const QByteArray &, int &)> &body) {
    HandlerTrap trap(m_prompts, this, title);
    BusyPointer busy(BusyPointer::Later);
    trap.run(
        [&] {
            trap.line = 1;
            busy.set();
            yieldOnce();
            trap.line = 2;
            const QByteArray path = selectedFolderPath();
            trap.line = 3;
            busy.release();
            body(path, trap.line);
        },
        [&] { busy.release(); });
}

void frmMain::mnuOpenFold_Click(int Index) {
    runShellCommand(
        QStringLiteral("Error in mnuOpenFold_Click"), [&](const QByteArray &path, int &) {
            if (Index != 0 && Index != 1)
                throw AppError(AppError::InvalidSelection,
                               QStringLiteral("Invalid selection: ") + QString::number(Index));
            mdlProperties::ShellOpenItem(
                path, Index == 0 ? QStringLiteral("Open") : QStringLiteral("Explore"), this,
                m_prompts, shellLauncher());
        });
}

void frmMain::mnuProps_Click() {
    runShellCommand(QStringLiteral("Error in mnuProps_Click"), [&](const QByteArray &path, int &) {
        const int row = selectedNode(fgTree);
        ScanFigures figures;
        if (auto bytes = fgTree.fixedValue(row, TreeCol::Bytes))
            figures.bytes = Fixed::fromRaw(*bytes).whole();
        if (auto files = fgTree.fixedValue(row, TreeCol::Files))
            figures.files = Fixed::fromRaw(*files).whole();
        if (!mdlProperties::ShowFileProperties(path, this, shellLauncher(), figures))
            throw AppError(AppError::InvalidFolderName, QStringLiteral("Invalid folder name"));
    });
}

ShellLauncher &frmMain::shellLauncher() {
    if (!m_shellLauncher)
        m_shellLauncher = std::make_unique<DesktopShellLauncher>();
    return *m_shellLauncher;
}

void frmMain::setShellLauncher(std::unique_ptr<ShellLauncher> launcher) {
    m_shellLauncher = std::move(launcher);
}
