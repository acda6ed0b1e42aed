// The Help menu: the update check.
#include "frmMain.h"

#include "frmUpdate.h"
#include "mdlProperties.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

void frmMain::buildHelpMenu() {
    mnuHelpMain = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuUpdate = mnuHelpMain->addAction(QStringLiteral("Check for Update..."));
    connect(mnuUpdate, &QAction::triggered, this, &frmMain::mnuUpdate_Click);
}

std::function<void(QWidget *, const QString &)> frmMain::addressOpener() {
    return [this](QWidget *owner, const QString &address) {
        mdlProperties::ShellOpen(address, 1, QString(), owner, m_prompts, shellLauncher());
    };
}

void frmMain::mnuUpdate_Click() {
    // Made on each use and gone when it closes, so every opening starts afresh.
    frmUpdate dialog(m_prompts, addressOpener(), this);
    dialog.exec();
}
