// Acting on what a scan found: rescan a folder in place, move an item to the trash or delete
// it, open a terminal in a folder, copy a path. The file system side lives in ItemActions.
#include "frmMain.h"

#include "BusyPointer.h"
#include "HandlerTrap.h"
#include "ItemActions.h"
#include "NativePath.h"
#include "OutlineGridView.h"
#include "ScanTree.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QPushButton>

void frmMain::buildItemActions() {
    mnuPopUp1->addSeparator();
    mnuPopUp1->setToolTipsVisible(true);
    auto add = [this](const char *caption, QKeySequence key, void (frmMain::*handler)()) {
        QAction *action = mnuPopUp1->addAction(QString::fromLatin1(caption));
        action->setShortcut(key);
        // The keys act on the tree's selection while the tree has the focus.
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        fgTreeView->addAction(action);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    mnuRescan = add("Rescan", QKeySequence(Qt::Key_F5), &frmMain::mnuRescan_Click);
    mnuTrash = add("Move to Trash", QKeySequence(Qt::Key_Delete), &frmMain::mnuTrash_Click);
    mnuDeleteItem = add("Delete Permanently", QKeySequence(Qt::SHIFT | Qt::Key_Delete),
                        &frmMain::mnuDeleteItem_Click);
    mnuPopUp1->addSeparator();
    mnuTerminal = add("Open Terminal Here", QKeySequence(), &frmMain::mnuTerminal_Click);
    mnuCopyPath = add("Copy Path", QKeySequence(QKeySequence::Copy), &frmMain::mnuCopyPath_Click);
    connect(mnuPopUp1, &QMenu::aboutToShow, this, &frmMain::updateItemActions);
    updateItemActions();
}

QString frmMain::itemActionsBlocked(int row) const {
    const int root = ScanSession::rootOf(fgTree, row);
    if (m_scanning || cmdAbort->isEnabled())
        return QStringLiteral("Not while a scan runs.");
    if (root >= 0 &&
        fgTree.cellPicture(root, TreeCol::Name) == m_tree->pictureId(TreePicture::ScanFile))
        return QStringLiteral("This scan was opened from a file: it describes a disk that may "
                              "not be this one.");
    return {};
}

// Which rows the commands act on, and why not when they don't; the tips say so.
void frmMain::updateItemActions() {
    if (!mnuRescan)
        return;
    const int row = selectedNode(fgTree);
    const bool folder = row > ScanTree::TopRow && ScanTree::isFolderRow(fgTree, row) &&
                        !fgTree.rowDataBytes(row).isEmpty();
    QString why = itemActionsBlocked(row);
    if (why.isEmpty() && !folder)
        why = QStringLiteral("Only a folder or a file can be acted on.");
    for (QAction *action : {mnuRescan, mnuTrash, mnuDeleteItem, mnuTerminal, mnuCopyPath}) {
        action->setEnabled(why.isEmpty());
        action->setToolTip(why.isEmpty() ? action->text().remove(u'&') : why);
    }
    if (why.isEmpty() && ScanTree::isScanRoot(fgTree, row)) {
        mnuDeleteItem->setEnabled(false);
        mnuDeleteItem->setToolTip(
            QStringLiteral("A scan's own folder is not deleted here; it can go to the trash."));
    }
    updateLargestActions();
}

frmMain::Removal frmMain::removalOf(int row) const {
    const auto whole = [&](int col) {
        const auto value = fgTree.fixedValue(row, col);
        return value ? Fixed::fromRaw(*value).whole() : 0;
    };
    const QByteArray path = fgTree.rowDataBytes(row);
    return {path, m_tree->startOf(row), fgTree.text(row, TreeCol::Name),
            itemSummary(path, whole(TreeCol::Bytes), whole(TreeCol::Files))};
}

QString frmMain::itemSummary(const QByteArray &path, qint64 bytes, qint64 files) {
    const QLocale locale;
    return NativePath::display(NativePath::clean(path)) + u'\n' + locale.formattedDataSize(bytes) +
           QStringLiteral(" in ") + locale.toString(files) +
           (files == 1 ? QStringLiteral(" file") : QStringLiteral(" files"));
}

void frmMain::mnuRescan_Click() {
    updateItemActions();
    if (m_scanning || !mnuRescan->isEnabled())
        return;
    const int row = selectedNode(fgTree);
    m_scanning = true;
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in scanning"));
    BusyPointer busy(BusyPointer::Later);
    SessionOutcome outcome;
    const auto start = std::chrono::steady_clock::now();
    const bool ran = trap.run(
        [&] {
            trap.line = 4;
            setStatusText(1, QString());
            setStatusText(2, QStringLiteral("Scan in progress..."));
            EnObjs(false);
            busy.set();
            trap.line = 18;
            outcome = m_session.rescan(row, [&](int walkRow) {
                if (walkRow >= 0)
                    beginWalkFigures(walkRow, start);
                else if (m_walking)
                    endWalkFigures();
            });
        },
        [&] {
            m_walkRoot = -1; // the walk's row is gone; panel 3 keeps its figures
            fgTree.setRedraw(GridRedraw::Buffered);
            fgTree.refresh();
            EnObjs(true);
            busy.release();
            m_scanning = false;
        });
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    fgTree_Click();
    const bool tell = !m_closeAfterScan;
    if (!ran) {
        setStatusText(2, QStringLiteral("Error encountered.")); // the trap has told why
    } else if (outcome.done()) {
        setStatusText(2, doneText(ms));
    } else if (outcome.status == SessionOutcome::Status::Aborted) {
        setStatusText(2, QStringLiteral("Scan was aborted."));
        if (tell)
            m_prompts.message(this,
                              QStringLiteral("Scan was aborted.\nThe folder keeps the rows of its "
                                             "earlier scan."),
                              QStringLiteral("Warning in Scan"), Prompts::Icon::Exclamation);
    } else {
        setStatusText(2, QStringLiteral("Error encountered."));
        if (tell)
            m_prompts.message(this, HandlerTrap::messageText(outcome.error, 18),
                              QStringLiteral("Error in scanning"), Prompts::Icon::Critical);
    }
    updateItemActions();
    if (m_closeAfterScan)
        close();
}

// Asks before an item is removed; true for Yes.
bool frmMain::confirmRemoval(const QString &text, const QString &title) {
    return m_prompts.message(this, text, title, Prompts::Icon::Question, Prompts::Buttons::YesNo,
                             Prompts::No) == Prompts::Yes;
}

// After an item left the disk: its row leaves the tree and its parent is charted.
void frmMain::removeItemRow(int row, const QString &status) {
    const int parent = fgTree.parentRow(row);
    m_session.removeBranch(row);
    if (parent > ScanTree::TopRow)
        selectAndChart(parent);
    else
        ClearTheChart();
    fgTree.refresh();
    setStatusText(2, status);
    updateItemActions();
}

bool frmMain::removeFromDisk(const Removal &item, bool permanently, bool *partly) {
    if (partly)
        *partly = false;
    if (!permanently) {
        if (!confirmRemoval(QStringLiteral("Move \"") + item.name +
                                QStringLiteral("\" to the trash?\n\n") + item.summary,
                            QStringLiteral("Move to Trash")))
            return false;
        const ItemActions::Result result =
            ItemActions::moveToTrash(item.path, item.within, item.folder);
        if (result.ok())
            return true;
        m_prompts.message(this, result.reason + QStringLiteral("\nNothing was changed."),
                          QStringLiteral("Move to Trash"), Prompts::Icon::Critical);
        return false;
    }
    const QString title = QStringLiteral("Delete Permanently");
    if (!confirmRemoval(QStringLiteral("Delete \"") + item.name +
                            QStringLiteral("\" permanently?\n\n") + item.summary +
                            QStringLiteral("\n\nIt does not go to the trash."),
                        title) ||
        !confirmRemoval(
            QStringLiteral("\"") + item.name +
                (item.folder ? QStringLiteral("\" and everything in it") : QStringLiteral("\"")) +
                QStringLiteral(" will be gone for good and cannot be brought "
                               "back.\nDelete it now?"),
            title))
        return false;
    BusyPointer busy(BusyPointer::Later);
    busy.set();
    const ItemActions::Result result =
        ItemActions::deletePermanently(item.path, item.within, item.folder);
    busy.release();
    if (result.ok())
        return true;
    m_prompts.message(this,
                      result.reason + (result.partly
                                           ? QStringLiteral("\nPart of it was deleted; "
                                                            "the folder is scanned again.")
                                           : QStringLiteral("\nNothing was changed.")),
                      title, Prompts::Icon::Critical);
    if (partly)
        *partly = result.partly;
    return false;
}

void frmMain::mnuTrash_Click() {
    updateItemActions();
    if (m_scanning || !mnuTrash->isEnabled())
        return;
    const int row = selectedNode(fgTree);
    const Removal item = removalOf(row);
    if (removeFromDisk(item, false))
        removeItemRow(row, QStringLiteral("Moved to the trash: ") + item.name);
}

void frmMain::mnuDeleteItem_Click() {
    updateItemActions();
    if (m_scanning || !mnuDeleteItem->isEnabled())
        return;
    const int row = selectedNode(fgTree);
    const Removal item = removalOf(row);
    bool partly = false;
    if (removeFromDisk(item, true, &partly))
        removeItemRow(row, QStringLiteral("Deleted: ") + item.name);
    else if (partly)
        mnuRescan_Click();
}

void frmMain::mnuTerminal_Click() {
    updateItemActions();
    if (m_scanning || !mnuTerminal->isEnabled())
        return;
    const QByteArray folder = fgTree.rowDataBytes(selectedNode(fgTree));
    if (!ItemActions::openTerminal(folder, shellLauncher()))
        m_prompts.message(this,
                          QStringLiteral("The terminal \"") + ItemActions::terminalProgram() +
                              QStringLiteral("\" could not be started in\n") +
                              NativePath::display(folder) +
                              QStringLiteral("\nSet TERMINAL to the terminal program you use."),
                          QStringLiteral("Open Terminal Here"), Prompts::Icon::Critical);
}

void frmMain::mnuCopyPath_Click() {
    updateItemActions();
    if (m_scanning || !mnuCopyPath->isEnabled())
        return;
    const QByteArray path = NativePath::clean(fgTree.rowDataBytes(selectedNode(fgTree)));
    QGuiApplication::clipboard()->setMimeData(ItemActions::pathMimeData(path));
    setStatusText(2, QStringLiteral("Copied: ") + NativePath::display(path));
}
