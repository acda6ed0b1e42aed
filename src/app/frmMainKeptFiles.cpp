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
#include "NodeChart.h"
#include "ScanTree.h"
#include "mdlProperties.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QLabel>
#include <QTabBar>
#include <QTableView>

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
    connect(lvwLargest, &LargestFilesView::removeWanted, this, &frmMain::lvwLargest_Remove);
    connect(lvwLargest, &LargestFilesView::menuAboutToShow, this, &frmMain::updateLargestActions);
    connect(lvwLargest->table()->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &frmMain::updateLargestActions);
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
    return ScanSession::rowOfFolder(fgTree, selectedNodeOf(fgTree), folderPath);
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

// The list's removal commands follow the tree's: not during a scan, not on a scan opened from a
// file.
void frmMain::updateLargestActions() {
    if (!lvwLargest)
        return;
    QString why = itemActionsBlocked(selectedNodeOf(fgTree));
    if (why.isEmpty() && lvwLargest->currentFile().isEmpty())
        why = QStringLiteral("No file is chosen in the list.");
    for (QAction *action : {lvwLargest->trashAction(), lvwLargest->deleteAction()}) {
        action->setEnabled(why.isEmpty());
        action->setToolTip(why.isEmpty() ? action->text() : why);
    }
}

void frmMain::lvwLargest_Remove(bool permanently) {
    updateLargestActions();
    QAction *action = permanently ? lvwLargest->deleteAction() : lvwLargest->trashAction();
    if (m_scanning || !action->isEnabled())
        return;
    const int node = selectedNodeOf(fgTree);
    KeptFilesModel *model = lvwLargest->model();
    const KeptFilesPtr kept = model->keptFiles();
    const int listRow = lvwLargest->table()->currentIndex().row();
    const std::int64_t file = model->fileAt(listRow);
    // The list shows the kept files of the selected node's scan; anything else is stale.
    if (!kept || file < 0 || kept != m_tree->keptFilesOf(node))
        return;
    const KeptFiles::File &f = kept->file(std::size_t(file));
    const Removal item{kept->filePath(f), m_tree->startOf(node), NativeText::decode(kept->name(f)),
                       itemSummary(kept->filePath(f), qint64(f.bytes), 1), false};
    if (!removeFromDisk(item, permanently))
        return;
    m_session.removeKeptFile(node, std::uint32_t(file));
    // The tree's totals fell: chart the node again, and list what is left as it was listed.
    const QByteArray listed = model->folderPath();
    const std::optional<QString> type = m_typeShown;
    m_choosingType = true;
    fgTree.refresh();
    fgTree_Click();
    m_choosingType = false;
    m_typeShown = type;
    lvwLargest->show(kept, listed, type);
    if (model->rowCount() > 0)
        lvwLargest->table()->setCurrentIndex(
            model->index(std::min(listRow, model->rowCount() - 1), KeptFilesModel::Name));
    setStatusText(
        2, (permanently ? QStringLiteral("Deleted: ") : QStringLiteral("Moved to the trash: ")) +
               item.name);
    updateItemActions();
}

void frmMain::showKeptFilesInChart() {
    GridSubtree::FileItems items;
    items.list = [this](int filesRow, std::vector<GridSubtree::FileEntry> &out) {
        const KeptFilesPtr kept = m_tree->keptFilesOf(filesRow);
        const int folder = kept ? fgTree.parentRow(filesRow) : -1;
        if (folder <= ScanTree::TopRow)
            return;
        QByteArray path = fgTree.rowDataBytes(folder);
        if (!path.endsWith('/'))
            path.append('/');
        for (const std::uint32_t i : kept->filesIn(path))
            out.push_back({i, double(kept->file(i).bytes)});
    };
    items.path = [this](int filesRow, std::uint64_t key) {
        const KeptFilesPtr kept = m_tree->keptFilesOf(filesRow);
        return kept && key < kept->size() ? NativeText::decode(kept->filePath(kept->file(key)))
                                          : QString();
    };
    m_nodeChart->setFileItems(std::move(items));
}
