#include "OutlineGridPrintout.h"

#include "OutlineGridPainter.h"
#include "OutlineGridView.h"

#include <QHeaderView>

OutlineGridPrintout::OutlineGridPrintout(OutlineGridView &view) : m_view(view) {
    view.syncWithModel();
}

int OutlineGridPrintout::resolution() const {
    return m_view.logicalDpiY();
}

int OutlineGridPrintout::width() const {
    int width = 0;
    for (int col : m_view.shownColumns())
        width += m_view.columnWidthPixels(col);
    return width;
}

int OutlineGridPrintout::headerHeight() const {
    const OutlineGrid &grid = *m_view.model();
    return grid.fixedRows() > 0 && grid.rows() > 0 ? m_view.header()->sizeHint().height() : 0;
}

int OutlineGridPrintout::rowCount() const {
    return m_view.visibleRowCount();
}

int OutlineGridPrintout::rowHeight(int index) const {
    return m_view.rowHeightPixels(m_view.visibleRowAt(index));
}

void OutlineGridPrintout::paint(QPainter &painter, int first, int last) const {
    OutlineGridPainter(m_view, painter).paintPrinted(first, last);
}
