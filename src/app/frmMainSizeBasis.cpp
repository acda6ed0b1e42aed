// What sizes count: the View menu's pair of choices and the scan roots' tooltips.
#include "frmMain.h"

#include "OutlineGridView.h"
#include "ScanTree.h"

#include <QAction>

void frmMain::mnuSizeBasis_Click(int Index) {
    m_settings.Size_Basis = static_cast<std::int16_t>(Index);
    checkSizeBasisMenu();
}

void frmMain::checkSizeBasisMenu() {
    for (std::size_t i = 0; i < mnuSizeBasis.size(); ++i)
        if (mnuSizeBasis[i])
            mnuSizeBasis[i]->setChecked(static_cast<int>(i) == m_settings.Size_Basis);
}

QString frmMain::rootToolTip(int row) const {
    if (!ScanTree::isScanRoot(fgTree, row))
        return QString();
    return QStringLiteral("Sizes counted as ") + sizeBasisText(ScanTree::basisOfRoot(fgTree, row));
}

void frmMain::watchRootToolTips() {
    // A root's basis joins the cell's own note (why a folder could not be read, which file an
    // opened scan came from) rather than replacing it.
    fgTreeView->setToolTipSource([this](int row, int col) {
        const QString note = fgTree.cellNote(row, col);
        const QString basis = col == TreeCol::Name ? rootToolTip(row) : QString();
        if (basis.isEmpty() || note.isEmpty())
            return note + basis;
        return note + u'\n' + basis;
    });
}
