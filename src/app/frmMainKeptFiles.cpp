// The chart pane's tabs: the chart, the largest files below the selected node and the scan's
// file types.
#include "frmMain.h"

#include "AppError.h"
#include "ChartView.h"
#include "FileTypesView.h"
#include "HandlerTrap.h"
#include "KeptFilesModel.h"
#include "LargestFilesList.h"
#include "LargestFilesView.h"
#include "NativeText.h"
#include "ScanTree.h"
#include "mdlProperties.h"

#include <QLabel>
#include <QTabBar>

namespace {

enum ChartPage { ChartTab = 0, LargestTab, TypesTab };

int selectedNodeOf(const OutlineGrid &grid) {
    const int n = grid.selectedRowCount();
    return n > 0 ? grid.selectedRow(n - 1) : -1;
}

} // namespace

void frmMain::buildChartPages() {
    tabChartPane = new QTabBar(workArea);
    tabChartPane->setObjectName(QStringLiteral("tabChartPane"));
    tabChartPane->setAccessibleName(QStringLiteral("Chart pane"));
    tabChartPane->setDrawBase(false);
    tabChartPane->setExpanding(false);
    tabChartPane->addTab(QStringLiteral("Chart"));
    tabChartPane->addTab(QStringLiteral("Largest files"));
    tabChartPane->addTab(QStringLiteral("File types"));

    lvwLargest = new LargestFilesView(workArea);
    lvwLargest->setObjectName(QStringLiteral("lvwLargest"));
    lvwLargest->hide();
    lvwTypes = new FileTypesView(workArea);
    lvwTypes->setObjectName(QStringLiteral("lvwTypes"));
    lvwTypes->hide();

    connect(tabChartPane, &QTabBar::currentChanged, this, [this] {
        if (!m_choosingType)
            m_typeShown.reset(); // the tab itself lists every type
        showChartPage();
        fillChartPage();
    });
    connect(lvwLargest, &LargestFilesView::folderWanted, this, &frmMain::lvwLargest_FolderWanted);
    connect(lvwLargest, &LargestFilesView::openWanted, this,
            [this](const QByteArray &path, const QString &verb) {
                HandlerTrap trap(m_prompts, this, QStringLiteral("Error in lvwLargest_Open"));
                trap.run([&] {
                    mdlProperties::ShellOpenItem(path, verb, this, m_prompts, shellLauncher());
                });
            });
    connect(lvwLargest, &LargestFilesView::propertiesWanted, this, [this](const QByteArray &path) {
        HandlerTrap trap(m_prompts, this, QStringLiteral("Error in lvwLargest_Properties"));
        trap.run([&] {
            if (!mdlProperties::ShowFileProperties(path, this, shellLauncher()))
                throw AppError(AppError::InvalidFolderName,
                               QStringLiteral("File not found: ") + NativeText::decode(path));
        });
    });
    connect(lvwTypes, &FileTypesView::typeChosen, this, &frmMain::lvwTypes_TypeChosen);
}

// The tabs take the pane's top; the page shown fills the rest. The chart keeps its left edge and
// width, which the settings store.
void frmMain::setChartPaneGeometry(const QRect &pane) {
    const int tabHeight = tabChartPane->sizeHint().height();
    tabChartPane->setGeometry(pane.x(), pane.y(), pane.width(), tabHeight);
    const QRect page(pane.x(), pane.y() + tabHeight, pane.width(),
                     std::max(0, pane.height() - tabHeight));
    chMain->setGeometry(page);
    lvwLargest->setGeometry(page);
    lvwTypes->setGeometry(page);
}

void frmMain::showChartPage() {
    const int page = tabChartPane->currentIndex();
    chMain->setVisible(m_chartShown && page == ChartTab);
    lvwLargest->setVisible(m_chartShown && page == LargestTab);
    lvwTypes->setVisible(m_chartShown && page == TypesTab);
    picClose->raise();
}

// Only the page shown is filled, and never while a walk adds to the files it would list.
void frmMain::fillChartPage() {
    const int page = tabChartPane ? tabChartPane->currentIndex() : ChartTab;
    if (!m_chartShown || page == ChartTab || m_scanning)
        return;
    const int row = selectedNodeOf(fgTree);
    const KeptFilesPtr kept = m_tree->keptFilesOf(row);
    if (page == TypesTab) {
        lvwTypes->setSizeDisplay(m_tree->SizeFactor(), m_tree->SizeUnit(), m_tree->SizeFormat());
        lvwTypes->show(kept);
        return;
    }
    // A files row stands for its folder; a type chosen lists the whole scan's files of it.
    QByteArray folder = LargestFilesList::folderOfRow(fgTree, row);
    if (m_typeShown && kept)
        folder = kept->rootPath();
    lvwLargest->setSizeDisplay(m_tree->SizeFactor(), m_tree->SizeUnit(), m_tree->SizeFormat());
    lvwLargest->show(kept, folder, m_typeShown);
}

int frmMain::rowOfFolder(const QByteArray &folderPath) const {
    int row = selectedNodeOf(fgTree);
    while (row > ScanTree::TopRow && !ScanTree::isScanRoot(fgTree, row))
        row = fgTree.parentRow(row);
    if (row <= ScanTree::TopRow)
        return -1;
    // Down from the root, into the child whose path begins the one wanted.
    for (;;) {
        QByteArray path = fgTree.rowDataBytes(row);
        if (!path.endsWith('/'))
            path.append('/');
        if (path == folderPath)
            return row;
        int next = -1;
        for (int c = fgTree.firstChild(row); c >= 0 && next < 0; c = fgTree.nextSibling(c)) {
            const QByteArray child = fgTree.rowDataBytes(c);
            if (!child.isEmpty() && folderPath.startsWith(child) &&
                (child.endsWith('/') || folderPath.at(child.size()) == '/'))
                next = c;
        }
        if (next < 0)
            return -1;
        row = next;
    }
}

void frmMain::lvwLargest_FolderWanted(const QByteArray &folderPath) {
    if (m_scanning)
        return;
    const int row = rowOfFolder(folderPath);
    if (row < 0)
        return;
    // The list stays as it is: selecting the folder only shows where the file lies.
    m_choosingType = true;
    const std::optional<QString> type = m_typeShown;
    const QByteArray listed = lvwLargest->model()->folderPath();
    selectAndChart(row);
    m_choosingType = false;
    m_typeShown = type;
    lvwLargest->show(lvwLargest->model()->keptFiles(), listed, type);
}

void frmMain::lvwTypes_TypeChosen(const QString &type) {
    m_choosingType = true;
    m_typeShown = type;
    if (tabChartPane->currentIndex() == LargestTab)
        fillChartPage();
    else
        tabChartPane->setCurrentIndex(LargestTab);
    m_choosingType = false;
}
