// The File menu's saved scans: opening a scan file as a new root and saving a root to one.
#include "frmMain.h"

#include "AppError.h"
#include "BusyPointer.h"
#include "HandlerTrap.h"
#include "OutlineGridView.h"
#include "ScanFile.h"
#include "ScanTree.h"
#include "yieldOnce.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMenu>

namespace {

const QString ScanFileFilter = QStringLiteral("Scan Files (*.json);;All Files (*)");

// The scan root that holds a row, or -1 for the header and the top row.
int rootOf(const OutlineGrid &grid, int row) {
    if (row <= ScanTree::TopRow)
        return -1;
    for (int parent = grid.parentRow(row); parent > ScanTree::TopRow; parent = grid.parentRow(row))
        row = parent;
    return row;
}

} // namespace

void frmMain::buildScanFileItems() {
    QAction *open = mnuFile->addAction(QStringLiteral("Open Scan..."));
    open->setObjectName(QStringLiteral("mnuOpenScan"));
    open->setShortcut(QKeySequence::Open);
    connect(open, &QAction::triggered, this, &frmMain::mnuOpenScan_Click);
    QAction *save = mnuFile->addAction(QStringLiteral("Save Scan As..."));
    save->setObjectName(QStringLiteral("mnuSaveScan"));
    save->setShortcut(QKeySequence::SaveAs);
    connect(save, &QAction::triggered, this, &frmMain::mnuSaveScan_Click);
    mnuFile->addSeparator();
}

void frmMain::mnuOpenScan_Click() {
    if (m_scanning)
        return;
    const QString folder = m_scanFileFolder.isEmpty() ? QDir::homePath() : m_scanFileFolder;
    const QString fileName =
        m_prompts.openFile(this, QStringLiteral("Open Scan..."), folder, ScanFileFilter);
    if (!fileName.isEmpty())
        OpenScanFile(fileName);
}

bool frmMain::OpenScanFile(const QString &fileName) {
    if (m_scanning)
        return false;
    m_scanning = true; // like a scan: only one at a time, and the window waits for it to end
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in mnuOpenScan_Click"));
    BusyPointer busy(BusyPointer::Later);
    const bool opened = trap.run(
        [&] {
            trap.line = 1;
            EnObjs2(false);
            busy.set();
            setStatusText(2, QStringLiteral("Opening the scan..."));
            yieldOnce();
            trap.line = 2;
            m_tree->SetSizeFactor();
            fgTree.setColFormat(TreeCol::Size, m_tree->SizeFormat());
            if (m_settings.Collapse_Root_Nodes_B4_Scan)
                fgTree.outline(0);
            trap.line = 3;
            ScanFile::Info info;
            const int root = ScanFile::Open(*m_tree, fileName, &info);
            m_scanFileFolder = QFileInfo(fileName).absolutePath();
            trap.line = 4;
            const QString when = QLocale().toString(info.written, QLocale::ShortFormat);
            fgTree.setCellNote(root, TreeCol::Name,
                               QStringLiteral("Opened from %1\nSaved %2%3")
                                   .arg(QDir::toNativeSeparators(fileName), when,
                                        info.program.isEmpty()
                                            ? QString()
                                            : QStringLiteral(" by ") + info.program));
            fgTree.setOutlineState(root, OutlineExpanded);
            fgTree.select(root, TreeCol::Name);
            fgTree.showCell(root, TreeCol::Name);
            fgTree_Click();
            trap.line = 5;
            fgTree.sortNode(ScanTree::TopRow);
            reselectRows();
            m_tree->UpdateRoots();
            fgTree.refresh();
            setStatusText(2, QStringLiteral("Opened ") + QFileInfo(fileName).fileName());
        },
        [&] {
            EnObjs2(true);
            busy.release();
        });
    if (!opened)
        setStatusText(2, QStringLiteral("Error encountered."));
    m_scanning = false;
    if (m_closeAfterScan)
        close();
    return opened;
}

void frmMain::mnuSaveScan_Click() {
    if (m_scanning)
        return;
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in mnuSaveScan_Click"));
    BusyPointer busy(BusyPointer::Later);
    trap.run(
        [&] {
            trap.line = 1;
            const int n = fgTree.selectedRowCount();
            const int root = n > 0 ? rootOf(fgTree, fgTree.selectedRow(n - 1)) : -1;
            if (root < 0) {
                m_prompts.message(
                    this,
                    fgTree.rows() < 3
                        ? QStringLiteral("No scan to save.")
                        : QStringLiteral("Select a scan, or a folder in it, to save."),
                    QStringLiteral("No Data"), Prompts::Icon::Exclamation);
                return;
            }
            trap.line = 2;
            const QString folder = m_scanFileFolder.isEmpty() ? QDir::homePath() : m_scanFileFolder;
            const QString offered =
                QStringLiteral("scan-") +
                QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")) +
                QStringLiteral(".json");
            const QString fileName = m_prompts.saveFile(this, QStringLiteral("Save Scan As..."),
                                                        folder, offered, ScanFileFilter);
            if (fileName.trimmed().isEmpty())
                return;
            trap.line = 3;
            if (!mayOverwrite(fileName))
                return;
            trap.line = 4;
            EnObjs2(false);
            busy.set();
            yieldOnce();
            ScanFile::Save(*m_tree, root, fileName);
            m_scanFileFolder = QFileInfo(fileName).absolutePath();
            setStatusText(2, QStringLiteral("Scan saved to ") + QFileInfo(fileName).fileName());
        },
        [&] {
            EnObjs2(true);
            busy.release();
        });
}
