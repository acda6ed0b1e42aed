// The chart of the selected node and showing or hiding the chart pane.
#include "frmMain.h"

#include "ChartView.h"
#include "HandlerTrap.h"
#include "NodeChart.h"
#include "ScanTree.h"
#include "TreeCol.h"

#include <QAction>
#include <QLabel>
#include <QTabBar>

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
}

void frmMain::selectAndChart(int row) {
    if (row < ScanTree::TopRow || row >= fgTree.rows())
        return;
    for (int above = fgTree.parentRow(row); above >= ScanTree::TopRow;
         above = fgTree.parentRow(above)) {
        if (fgTree.isCollapsed(above))
            fgTree.setOutlineState(above, OutlineExpanded);
    }
    fgTree.select(row, TreeCol::Name, row, TreeCol::Bytes);
    fgTree.showCell(row, TreeCol::Name);
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
