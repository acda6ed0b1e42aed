// Comparing a scan root with an earlier scan of its folder, and keeping finished scans for it.
#include "frmMain.h"

#include "BusyPointer.h"
#include "HandlerTrap.h"
#include "OutlineGridView.h"
#include "ScanCompare.h"
#include "ScanHistory.h"
#include "ScanTree.h"
#include "SortChoice.h"
#include "yieldOnce.h"

#include <QAction>
#include <QDir>
#include <QLocale>
#include <QMenu>

namespace {

const QString ScanFileFilter = QStringLiteral("Scan Files (*.json *.json.gz);;All Files (*)");

// The scan root of the selected node, or -1.
int selectedRoot(const OutlineGrid &grid) {
    const int n = grid.selectedRowCount();
    const int row = n > 0 ? grid.selectedRow(n - 1) : -1;
    return row >= 0 && ScanTree::isScanRoot(grid, row) ? row : -1;
}

} // namespace

void frmMain::buildCompareItems() {
    m_history = std::make_unique<ScanHistory::Writer>();
    connect(m_history.get(), &ScanHistory::Writer::saved, this,
            [this](const QString &, const QString &error) {
                if (!error.isEmpty())
                    setStatusText(2,
                                  QStringLiteral("The scan was not kept in the history: ") + error);
            });
    mnuCompareMain = new QMenu(QStringLiteral("Compare With"), mnuPopUp1);
    mnuCompareMain->setObjectName(QStringLiteral("mnuCompareMain"));
    mnuPopUp1->insertMenu(mnuSep3, mnuCompareMain);
    connect(mnuCompareMain, &QMenu::aboutToShow, this, &frmMain::fillCompareMenu);
    mnuStopComparing = new QAction(QStringLiteral("Stop Comparing"), mnuPopUp1);
    mnuStopComparing->setObjectName(QStringLiteral("mnuStopComparing"));
    mnuPopUp1->insertAction(mnuSep3, mnuStopComparing);
    connect(mnuStopComparing, &QAction::triggered, this, &frmMain::mnuStopComparing_Click);
}

// The earlier scans of the root's folder, newest first, then any scan file.
void frmMain::fillCompareMenu() {
    mnuCompareMain->clear();
    const int root = selectedRoot(fgTree);
    if (root < 0)
        return;
    int skipped = 0;
    const auto entries =
        m_historyFolder.isEmpty()
            ? std::vector<ScanHistory::Entry>{}
            : ScanHistory::entriesFor(m_historyFolder, fgTree.rowDataBytes(root), &skipped);
    const QLocale locale;
    // Only scans made before this one: its own copy is in the history too.
    const QDateTime scanned = m_scanTaken.value(fgTree.rowDataBytes(root));
    for (const ScanHistory::Entry &entry : entries) {
        if (scanned.isValid() && entry.taken.secsTo(scanned) <= 0)
            continue;
        const QString fileName = entry.fileName;
        connect(mnuCompareMain->addAction(locale.toString(entry.taken, QLocale::LongFormat)),
                &QAction::triggered, this, [this, fileName] {
                    if (const int r = selectedRoot(fgTree); r >= 0)
                        CompareWith(r, fileName);
                });
    }
    if (mnuCompareMain->isEmpty())
        mnuCompareMain->addAction(QStringLiteral("No earlier scan of this folder kept"))
            ->setEnabled(false);
    if (skipped > 0)
        mnuCompareMain
            ->addAction(skipped == 1
                            ? QStringLiteral("1 damaged history file left out")
                            : QStringLiteral("%1 damaged history files left out").arg(skipped))
            ->setEnabled(false);
    mnuCompareMain->addSeparator();
    QAction *other = mnuCompareMain->addAction(QStringLiteral("Other Scan File..."));
    other->setObjectName(QStringLiteral("mnuCompareFile"));
    connect(other, &QAction::triggered, this, [this] {
        const int r = selectedRoot(fgTree);
        if (r < 0)
            return;
        const QString folder = m_scanFileFolder.isEmpty() ? QDir::homePath() : m_scanFileFolder;
        const QString fileName =
            m_prompts.openFile(this, QStringLiteral("Compare With..."), folder, ScanFileFilter);
        if (!fileName.isEmpty())
            CompareWith(r, fileName);
    });
}

bool frmMain::CompareWith(int root, const QString &fileName) {
    if (m_scanning)
        return false;
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in CompareWith"));
    BusyPointer busy;
    ScanCompare::Result result;
    const bool done = trap.run(
        [&] {
            trap.line = 1;
            const QDateTime taken =
                m_scanTaken.value(fgTree.rowDataBytes(root), QDateTime::currentDateTime());
            result = ScanCompare::compareWithFile(*m_tree, root, fileName, m_settings, taken);
            trap.line = 2;
            // "By Change" had no column to order by until now.
            for (std::size_t i = 0; i < mnuSort.size(); ++i)
                if (mnuSort[i]->isChecked() &&
                    SortChoice::all()[i].column == TreeCol::ChangeBytes) {
                    fgTree.setColSort(TreeCol::ChangeBytes, SortChoice::all()[i].order);
                    fgTree.sortAllNodes();
                    reselectRows();
                }
            showSortIndicator();
        },
        [&] { busy.release(); });
    if (!done)
        return false;
    fgTree_Click();
    setStatusText(2, QStringLiteral("Compared with the scan of %1: %2 new, %3 gone")
                         .arg(QLocale().toString(result.oldTaken, QLocale::ShortFormat))
                         .arg(result.added)
                         .arg(result.gone));
    return true;
}

void frmMain::mnuStopComparing_Click() {
    if (m_scanning)
        return;
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in mnuStopComparing_Click"));
    trap.run([&] {
        ScanCompare::stop(*m_tree);
        reselectRows();
        showSortIndicator();
        fgTree_Click();
        setStatusText(2, QString());
    });
}

void frmMain::keepScan(int root) {
    m_scanTaken.insert(fgTree.rowDataBytes(root), QDateTime::currentDateTime());
    if (m_historyFolder.isEmpty() || !m_settings.Keep_History)
        return;
    m_history->save(*m_tree, root, m_historyFolder, m_settings.History_Count,
                    qint64(m_settings.History_Max_MB) << 20);
}
