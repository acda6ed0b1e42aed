#include "frmMain.h"

#include "OutlineGridView.h"

#include <QIcon>
#include <QStyle>

frmMain::frmMain(QWidget *parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Cairnmeter"));
    InitTreeGrid();
    fgTreeView = new OutlineGridView(&fgTree, this);
    fgTreeView->setAccessibleName(QStringLiteral("Scan tree"));
    setCentralWidget(fgTreeView);
    resize(720, 480);
}

frmMain::~frmMain() {
    // The grid view reads fgTree until it is gone, and fgTree dies before the child widgets.
    delete fgTreeView;
}

void frmMain::InitTreeGrid() {
    fgTree.setRedraw(GridRedraw::Buffered);
    fgTree.setCols(6);
    fgTree.setFixedCols(0);
    fgTree.setRows(1);
    fgTree.setFixedRows(1);
    const int widths[] = {3045, 990, 375, 735, 960, 960};
    const int aligns[] = {AlignLeftCenter,  AlignRightCenter, AlignLeftCenter,
                          AlignRightCenter, AlignRightCenter, AlignGeneral};
    const int types[] = {TypeString,   TypeCurrency, TypeString,
                         TypeCurrency, TypeCurrency, TypeEmpty};
    for (int c = 0; c < 6; ++c) {
        fgTree.setColWidth(c, widths[c]);
        fgTree.setColAlignment(c, aligns[c]);
        fgTree.setColDataType(c, types[c]);
    }
    fgTree.setColHidden(4, true);
    fgTree.setColFormat(1, QStringLiteral("#,##0.##"));
    fgTree.setTextRange(0, 0, 4, QStringLiteral("Node\tSize\t\t# of Files\tByteSize"));
    fgTree.setNode(0, false);
    fgTree.setLevel(0, -1);

    const int top = fgTree.addRow();
    fgTree.setNode(top, true);
    fgTree.setLevel(top, -1);
    fgTree.setTextRange(top, 0, 4, QStringLiteral("Scans\t0\tMB\t0\t0"));
    const QIcon desktop = QIcon::fromTheme(QStringLiteral("user-desktop"),
                                           style()->standardIcon(QStyle::SP_DesktopIcon));
    fgTree.setCellPicture(top, 0, fgTree.addPicture(desktop));
    fgTree.select(top, 0);
}
