// The chart of the selected node and showing or hiding the chart pane.
#include "frmMain.h"

#include "ChartView.h"
#include "HandlerTrap.h"
#include "NodeChart.h"

#include <QAction>
#include <QLabel>

void frmMain::fgTree_Click() {
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in fgTree_Click"));
    trap.run([&] { m_nodeChart->fill(m_chartShown); });
}

void frmMain::ClearTheChart() {
    m_nodeChart->clear();
}

void frmMain::ShowTheChart(bool show) {
    m_chartShown = show;
    picClose->setVisible(show);
    chMain->setVisible(show);
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
