// The Tools menu and what the options dialog reaches of the main window.
#include "frmMain.h"

#include "Chart.h"
#include "HandlerTrap.h"
#include "NodeChart.h"
#include "OptionsHost.h"
#include "ScanTree.h"
#include "TreePictures.h"
#include "frmOptions.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

/// The main window as the options dialog sees it.
class OptionsLink final : public OptionsHost {
public:
    explicit OptionsLink(frmMain &form) : m_form(form) {}

    Settings &settings() override { return m_form.m_settings; }
    QString iniPath() const override { return m_form.m_iniPath; }
    QImage wallpaperPicture() const override { return m_form.m_wallpaper; }
    QIcon folderPicture() const override { return TreePictures::icon(TreePicture::Folder); }
    GridLook treeLook() const override { return m_form.fgTree.look(); }

    void redressTree() override {
        m_form.applyTreeLook();
        // Selecting each selected row anew draws it with the stored border and root colours.
        OutlineGrid &tree = m_form.fgTree;
        std::vector<int> rows;
        for (int i = 0; i < tree.selectedRowCount(); ++i)
            rows.push_back(tree.selectedRow(i));
        for (int r : rows) {
            tree.clearSelection();
            tree.select(r, TreeCol::Name, r, TreeCol::Bytes);
        }
    }
    void redressChart() override { m_form.m_nodeChart->applyChartSettings(); }
    void SetSizeFactor() override { m_form.m_tree->SetSizeFactor(); }
    void UpdateRoots() override { m_form.m_tree->UpdateRoots(); }
    bool chartShowsBars() const override { return m_form.chart().chartType() == Chart::Type::Bar; }
    void fgTree_Click() override { m_form.fgTree_Click(); }

private:
    frmMain &m_form;
};

void frmMain::buildToolsMenu() {
    mnuTools = menuBar()->addMenu(QStringLiteral("&Tools"));
    mnuOptions = mnuTools->addAction(QStringLiteral("Options..."));
    QList<QKeySequence> keys = QKeySequence::keyBindings(QKeySequence::Preferences);
    if (keys.isEmpty())
        keys.append(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    mnuOptions->setShortcuts(keys);
    connect(mnuOptions, &QAction::triggered, this, &frmMain::mnuOptions_Click);
}

void frmMain::mnuOptions_Click() {
    if (m_scanning)
        return; // only Abort may act while a walk runs
    HandlerTrap trap(m_prompts, this, QStringLiteral("Error in mnuOptions_Click"));
    trap.run([&] {
        OptionsLink link(*this);
        frmOptions dialog(link, m_prompts, this);
        dialog.exec();
        checkSizeBasisMenu(); // OK or Apply may have chosen the other basis
        checkChartTypeMenu();
    });
}
