// The Help menu: the manual, the maker's web site, the update check and the About box.
#include "frmMain.h"

#include "MakerSite.h"
#include "frmAbout.h"
#include "frmUpdate.h"
#include "mdlHelp.h"
#include "mdlProperties.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

void frmMain::buildHelpMenu() {
    m_help = std::make_unique<mdlHelp>(m_prompts, addressOpener());
    mnuHelpMain = menuBar()->addMenu(QStringLiteral("&Help"));
    const char *captions[] = {"Help Content...", "Help Index...", "Help Search..."};
    for (int i = 0; i < 3; ++i) {
        QAction *a = mnuHelpMain->addAction(QString::fromLatin1(captions[i]));
        mnuHelp[static_cast<std::size_t>(i)] = a;
        connect(a, &QAction::triggered, this, [this, i] { mnuHelp_Click(i); });
    }
    mnuHelp[0]->setShortcut(QKeySequence::HelpContents);
    mnuHelpMain->addSeparator();
    mnuVLM_URL = mnuHelpMain->addAction(QStringLiteral("Velmoria on the Web..."));
    connect(mnuVLM_URL, &QAction::triggered, this, &frmMain::mnuVLM_URL_Click);
    mnuUpdate = mnuHelpMain->addAction(QStringLiteral("Check for Update..."));
    connect(mnuUpdate, &QAction::triggered, this, &frmMain::mnuUpdate_Click);
    mnuHelpMain->addSeparator();
    mnuAbout = mnuHelpMain->addAction(QStringLiteral("About Cairnmeter..."));
    connect(mnuAbout, &QAction::triggered, this, &frmMain::mnuAbout_Click);
}

std::function<void(QWidget *, const QString &)> frmMain::addressOpener() {
    return [this](QWidget *owner, const QString &address) {
        mdlProperties::ShellOpen(address, 1, QString(), owner, m_prompts, shellLauncher());
    };
}

mdlHelp &frmMain::help() {
    return *m_help;
}

void frmMain::mnuHelp_Click(int Index) {
    m_help->setHelpFile(m_helpFile);
    switch (Index) {
    case 0:
        m_help->HelpContents(1, this);
        break;
    case 1:
        m_help->HelpIndex(1, this);
        break;
    case 2:
        m_help->HelpSearch(1, this);
        break;
    default:
        m_prompts.message(this, QStringLiteral("Invalid Help menu selection."),
                          QStringLiteral("Cairnmeter Help"), Prompts::Icon::Exclamation);
    }
}

void frmMain::mnuVLM_URL_Click() {
    addressOpener()(this, QString::fromLatin1(MakerSite::WebAddress));
}

void frmMain::mnuUpdate_Click() {
    // Made on each use and gone when it closes, so every opening starts afresh.
    frmUpdate dialog(m_prompts, addressOpener(), this);
    dialog.exec();
}

void frmMain::mnuAbout_Click() {
    frmAbout about(m_prompts, addressOpener(), this);
    about.exec();
}
