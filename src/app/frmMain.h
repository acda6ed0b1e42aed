#pragma once

#include "OutlineGrid.h"

#include <QMainWindow>

class OutlineGridView;

/// The main window: the scan tree grid `fgTree` with its top row.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    OutlineGrid &grid() { return fgTree; }

private:
    OutlineGrid fgTree;
    OutlineGridView *fgTreeView;

    void InitTreeGrid();
};
