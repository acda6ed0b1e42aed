// The chart of the selected node and showing or hiding the chart pane.
#include "frmMain.h"

#include "Chart.h"
#include "ChartView.h"
#include "HandlerTrap.h"
#include "NodeChart.h"
#include "ScanTree.h"
#include "TreeCol.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QTabBar>

#include <algorithm>
#include <chrono>

void frmMain::fgTree_Click() {
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in fgTree_Click"));
    trap.run([&] { m_nodeChart->fill(m_chartShown); });
    if (!m_choosingType)
        m_typeShown.reset(); // another node: all its large files again
    fillChartPage();
    // Up leads somewhere from any node but the top row, and from a files row to its folder.
    const int charted = m_nodeChart->chartedRow();
    chMain->upAction()->setEnabled(charted >= 0 ? charted > ScanTree::TopRow
                                                : fgTree.selectedRowCount() > 0);
}

void frmMain::connectChartNavigation() {
    connect(chMain, &ChartView::seriesClicked, this, &frmMain::chMain_SeriesClick);
    connect(chMain, &ChartView::upRequested, this, &frmMain::chMain_Up);
    connect(chMain, &ChartView::itemClicked, this, &frmMain::chMain_ItemClick);
    connect(chMain, &ChartView::itemActivated, this, &frmMain::chMain_ItemActivate);
}

bool frmMain::selectAndShow(int row) {
    if (row < ScanTree::TopRow || row >= fgTree.rows())
        return false;
    for (int above = fgTree.parentRow(row); above >= ScanTree::TopRow;
         above = fgTree.parentRow(above)) {
        if (fgTree.isCollapsed(above))
            fgTree.setOutlineState(above, OutlineExpanded);
    }
    fgTree.select(row, TreeCol::Name, row, TreeCol::Bytes);
    fgTree.showCell(row, TreeCol::Name);
    return true;
}

void frmMain::selectAndChart(int row) {
    if (selectAndShow(row))
        fgTree_Click();
}

void frmMain::chMain_SeriesClick(int series) {
    if (m_scanning)
        return;
    selectAndChart(m_nodeChart->childRow(series));
}

void frmMain::chMain_Up() {
    if (m_scanning)
        return;
    int from = m_nodeChart->chartedRow();
    if (from < 0 && fgTree.selectedRowCount() > 0)
        // A files row shows no chart; Up leads to its folder.
        from = fgTree.selectedRow(fgTree.selectedRowCount() - 1);
    if (from > ScanTree::TopRow && from < fgTree.rows())
        selectAndChart(fgTree.parentRow(from));
}

void frmMain::ClearTheChart() {
    m_nodeChart->clear();
    m_typeShown.reset();
    fillChartPage();
}

void frmMain::ShowTheChart(bool show) {
    m_chartShown = show;
    picClose->setVisible(show);
    tabChartPane->setVisible(show);
    showChartPage();
    lblBar->setVisible(show);
    mnuDispChart->setChecked(show);
    Form_Resize();
}

void frmMain::mnuDispChart_Click() {
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in mnuDispChart_Click"));
    trap.run([&] {
        mnuDispChart->setChecked(!mnuDispChart->isChecked());
        if (mnuDispChart->isChecked()) {
            ShowTheChart(true);
            fgTree_Click();
        } else {
            ShowTheChart(false);
        }
    });
}

void frmMain::chMain_ItemClick(int id) {
    // A single file's tile selects the files row that holds it, and stays marked.
    if (!m_scanning && selectAndShow(m_nodeChart->rowOfItem(id)))
        m_nodeChart->showItem(id);
}

void frmMain::chMain_ItemActivate(int row) {
    if (m_scanning || row < ScanTree::TopRow || row >= fgTree.rows())
        return;
    if (row == m_nodeChart->chartedRow())
        chMain_Up();
    else if (ScanTree::isFolderRow(fgTree, row))
        selectAndChart(row);
}

void frmMain::buildChartTypeMenu() {
    QMenu *types = mnuView->addMenu(QStringLiteral("Chart Type"));
    static const char *const captions[] = {"Pie Chart", "Bar Chart", "Treemap", "Rings"};
    for (int i = 0; i < static_cast<int>(mnuChartType.size()); ++i) {
        QAction *a = types->addAction(QString::fromLatin1(captions[i]));
        a->setCheckable(true);
        mnuChartType[static_cast<std::size_t>(i)] = a;
        connect(a, &QAction::triggered, this, [this, i] { mnuChartType_Click(i); });
    }
    types->addSeparator();
    mnuCushions = types->addAction(QStringLiteral("Cushion Shading"));
    mnuCushions->setCheckable(true);
    connect(mnuCushions, &QAction::triggered, this, &frmMain::mnuCushions_Click);
    checkChartTypeMenu();
}

void frmMain::checkChartTypeMenu() {
    for (std::size_t i = 0; i < mnuChartType.size(); ++i)
        if (mnuChartType[i])
            mnuChartType[i]->setChecked(static_cast<int>(i) == m_settings.Chart_Type);
    if (mnuCushions)
        mnuCushions->setChecked(m_settings.Treemap_Cushions);
}

void frmMain::mnuChartType_Click(int Index) {
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in mnuChartType_Click"));
    trap.run([&] {
        const Chart::Type before = chart().chartType();
        m_settings.Chart_Type = static_cast<std::int16_t>(Index);
        checkChartTypeMenu();
        m_nodeChart->applyChartSettings();
        // Bars carry sizes in the display unit, the others bytes: moving to or from bars fills
        // the chart again; a treemap or rings draw the subtree the last fill left.
        if ((before == Chart::Type::Bar) != (chart().chartType() == Chart::Type::Bar) &&
            !m_scanning)
            fgTree_Click();
    });
}

void frmMain::mnuCushions_Click() {
    m_settings.Treemap_Cushions = mnuCushions->isChecked();
    m_nodeChart->applyChartSettings();
}

void frmMain::followChartGrowth() {
    if (!m_walking || m_settings.Redraw_Scan_Progress == 0 || !m_chartShown ||
        !Chart::drawsSubtree(chart().chartType()))
        return;
    const qint64 now = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - m_walkStart)
                           .count();
    // Direct redraws at every tick, buffered about three times a second; and a big tree's
    // drawing never takes more than a fifth of the walk's time.
    const qint64 pace = m_settings.Redraw_Scan_Progress == 1 ? 100 : 300;
    if (m_chartGrowthAt > 0 && now - m_chartGrowthAt < std::max(pace, 5 * m_chartGrowthCost))
        return;
    m_chartGrowthAt = std::max<qint64>(now, 1);
    const auto start = std::chrono::steady_clock::now();
    if (m_nodeChart->chartedRow() != m_walkRoot) {
        // The scan's own root, which the scan selected, is what grows.
        try {
            m_nodeChart->fill(true);
        } catch (...) {
            return; // the scan's end fills it again and reports what went wrong
        }
    } else if (!chart().refreshSubtree()) {
        return;
    }
    chMain->repaint();
    m_chartGrowthCost = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
}
