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
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPushButton>

namespace {

const QString ScanFileFilter = QStringLiteral("Scan Files (*.json);;All Files (*)");

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
    bool aborted = false;
    const bool panelShown = !sbrPanel3->isHidden();
    const QString panelText = sbrPanel3->text();
    const bool opened = trap.run(
        [&] {
            trap.line = 1;
            EnObjs2(false);
            cmdAbort->setEnabled(true);
            busy.set();
            setStatusText(2, QStringLiteral("Opening the scan..."));
            yieldOnce();
            trap.line = 3;
            const auto start = std::chrono::steady_clock::now();
            const std::uint64_t foldersBefore = m_tree->foldersAdded();
            const QLocale locale;
            const SessionOutcome opened =
                m_session.openScanFile(fileName, [&](std::uint64_t entries) {
                    sbrPanel3->setText(QStringLiteral("Reading the scan: ") +
                                       locale.toString(static_cast<qulonglong>(entries)) +
                                       QStringLiteral(" entries"));
                    sbrPanel3->show();
                });
            if (opened.status == SessionOutcome::Status::Aborted) {
                aborted = true; // the tree is as it was
                return;
            }
            if (!opened.done())
                throw opened.error;
            m_scanFileFolder = QFileInfo(fileName).absolutePath();
            trap.line = 4;
            // The third panel tells the opened scan's figures, not the last walk's.
            m_walkRoot = opened.root;
            m_walkStart = start;
            m_foldersBefore = foldersBefore;
            endWalkFigures();
            sbrPanel3->show();
            fgTree_Click();
            trap.line = 5;
            fgTree.sortNode(ScanTree::TopRow);
            reselectRows();
            m_tree->UpdateRoots();
            fgTree.refresh();
            setStatusText(2, QStringLiteral("Opened ") + QFileInfo(fileName).fileName());
        },
        [&] {
            cmdAbort->setEnabled(false);
            EnObjs2(true);
            busy.release();
        });
    if (!opened)
        setStatusText(2, QStringLiteral("Error encountered."));
    if (aborted) {
        sbrPanel3->setText(panelText); // the figures of the scan shown before, if any
        sbrPanel3->setVisible(panelShown);
        setStatusText(2, QStringLiteral("Opening the scan was aborted."));
    }
    m_scanning = false;
    if (m_closeAfterScan)
        close();
    return opened && !aborted;
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
            const int root = n > 0 ? ScanSession::rootOf(fgTree, fgTree.selectedRow(n - 1)) : -1;
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
            const SessionOutcome saved = m_session.saveScanFile(root, fileName);
            if (!saved.done())
                throw saved.error;
            m_scanFileFolder = QFileInfo(fileName).absolutePath();
            setStatusText(2, QStringLiteral("Scan saved to ") + QFileInfo(fileName).fileName());
        },
        [&] {
            EnObjs2(true);
            busy.release();
        });
}
