// Row and column geometry of the outline grid view: scroll ranges, cell rectangles, hit tests.
#include "OutlineGridView.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

namespace {

// Beyond this many rows from the top, cell positions are estimated from the default height.
constexpr int ExactPositionRows = 512;

} // namespace

// Layout ------------------------------------------------------------------------------------

void OutlineGridView::updateGeometries() {
    const bool hasHeader = m_model->fixedRows() > 0 && m_model->rows() > 0;
    const int hh = hasHeader ? m_header->sizeHint().height() : 0;
    m_header->setHidden(!hasHeader);
    setViewportMargins(0, hh, 0, 0);
    const QRect vg = viewport()->geometry();
    m_header->setGeometry(vg.left(), vg.top() - hh, vg.width(), hh);
    updateScrollBars();
}

void OutlineGridView::updateScrollBars() {
    const int count = m_index.count();
    const int vh = viewport()->height();
    int y = 0;
    int k = count - 1;
    for (; k >= 0; --k) {
        const int h = rowHeightPixels(m_index.rowAt(k));
        if (y + h > vh && y > 0)
            break;
        y += h;
    }
    const int fit = count - 1 - k;
    QScrollBar *bar = verticalScrollBar();
    const int max = std::max(0, count - fit);
    // A new range that neither shows nor hides the bar, nor moves it, is not announced: the
    // scroll area would lay out and repaint both bars again a turn later, at every repaint of
    // a growing tree as costly as the repaint itself. The bar repaints itself all the same.
    const bool same = (bar->maximum() > 0) == (max > 0) && bar->value() <= max;
    {
        const QSignalBlocker quiet(same ? bar : nullptr);
        bar->setRange(0, max);
    }
    verticalScrollBar()->setPageStep(std::max(1, fit));
    verticalScrollBar()->setSingleStep(1);
    const int vw = viewport()->width();
    horizontalScrollBar()->setRange(0, std::max(0, contentWidth() - vw));
    horizontalScrollBar()->setPageStep(std::max(1, vw));
    horizontalScrollBar()->setSingleStep(20);
}

void OutlineGridView::ensureRowIndex() {
    if (m_index.isCurrent(*m_model))
        return;
    // Keep the row at the top in place across the rebuild.
    const int top = topIndex();
    const int topRow = top < m_index.count() ? m_index.rowAt(top) : -1;
    QElapsedTimer timer;
    timer.start();
    m_index.update(*m_model);
    m_model->markStructureSeen();
    m_rebuildMs = timer.elapsed();
    ++m_indexGeneration;
    updateScrollBars();
    if (topRow >= 0 && topRow < m_model->rows())
        verticalScrollBar()->setValue(m_index.lowerBound(topRow));
}

double OutlineGridView::twipsPerPixel() const {
    const int dpi = logicalDpiX();
    return 1440.0 / (dpi > 0 ? dpi : 96);
}

int OutlineGridView::controlWidth() const {
    return static_cast<int>(std::lround(width() * twipsPerPixel()));
}

int OutlineGridView::topIndex() const {
    return verticalScrollBar()->value();
}

int OutlineGridView::rowHeightPixels(int row) const {
    if (row < 0 || row >= m_model->rows())
        return m_defaultRowHeight;
    const int twips = m_model->rowHeight(row);
    if (twips < 0)
        return m_defaultRowHeight;
    return std::max(0, static_cast<int>(std::lround(twips / twipsPerPixel())));
}

bool OutlineGridView::isColumnShown(int col) const {
    return col >= 0 && col < m_model->cols() && col < m_header->count() &&
           !m_header->isSectionHidden(col) && m_header->sectionSize(col) > 0;
}

QList<int> OutlineGridView::shownColumns() const {
    QList<int> cols;
    for (int c = 0; c < m_model->cols(); ++c) {
        if (isColumnShown(c))
            cols.append(c);
    }
    return cols;
}

int OutlineGridView::columnX(int col) const {
    return m_header->sectionViewportPosition(col);
}

int OutlineGridView::columnWidthPixels(int col) const {
    return m_header->sectionSize(col);
}

int OutlineGridView::contentWidth() const {
    return m_header->length();
}

int OutlineGridView::rowsInView() const {
    const int vh = viewport()->height();
    int y = 0;
    int n = 0;
    for (int i = topIndex(); i < m_index.count(); ++i) {
        y += rowHeightPixels(m_index.rowAt(i));
        if (y > vh && n > 0)
            break;
        ++n;
    }
    return n;
}

int OutlineGridView::rowAt(QPoint viewportPos) const {
    if (viewportPos.y() < 0)
        return -1;
    int y = 0;
    for (int i = topIndex(); i < m_index.count() && y <= viewportPos.y(); ++i) {
        const int row = m_index.rowAt(i);
        const int h = rowHeightPixels(row);
        if (viewportPos.y() < y + h)
            return row < m_model->rows() ? row : -1;
        y += h;
    }
    return -1;
}

int OutlineGridView::columnAt(int x) const {
    const int col = m_header->logicalIndexAt(x);
    return isColumnShown(col) ? col : -1;
}

QRect OutlineGridView::cellRect(int row, int col) const {
    const int index = m_index.indexOf(row);
    if (index < 0 || !isColumnShown(col))
        return {};
    const int top = topIndex();
    int y = 0;
    if (index < top) {
        y = -(top - index) * m_defaultRowHeight;
    } else if (index - top > ExactPositionRows) {
        y = (index - top) * m_defaultRowHeight;
    } else {
        for (int i = top; i < index; ++i)
            y += rowHeightPixels(m_index.rowAt(i));
    }
    return QRect(columnX(col), y, columnWidthPixels(col), rowHeightPixels(row));
}

int OutlineGridView::rowDepth(int row) const {
    const int fixed = m_model->fixedRows();
    if (row < fixed)
        return 0;
    int depth = 0;
    for (int p = m_model->parentRow(row); p >= fixed; p = m_model->parentRow(p))
        ++depth;
    return depth;
}

QRect OutlineGridView::glyphRect(int row) const {
    const GridLook &look = m_model->look();
    if (look.outlineBar == 0 || row < m_model->fixedRows() || row >= m_model->rows() ||
        !m_model->hasChildren(row))
        return {};
    const QRect cell = cellRect(row, look.outlineCol);
    if (cell.isEmpty())
        return {};
    const QRect glyph(cell.x() + rowDepth(row) * m_indent, cell.y(), m_indent, cell.height());
    return glyph.intersected(cell);
}

void OutlineGridView::showCell(int row, int col) {
    ensureRowIndex();
    const int index = m_index.indexOf(row);
    if (index >= 0) {
        const int top = topIndex();
        if (index < top) {
            verticalScrollBar()->setValue(index);
        } else if (index >= top + rowsInView()) {
            // Put the row at the bottom: walk up while the rows above it still fit.
            const int vh = viewport()->height();
            int first = index;
            int y = rowHeightPixels(row);
            while (first > 0) {
                const int h = rowHeightPixels(m_index.rowAt(first - 1));
                if (y + h > vh)
                    break;
                y += h;
                --first;
            }
            verticalScrollBar()->setValue(first);
        }
    }
    if (isColumnShown(col)) {
        const int offset = horizontalScrollBar()->value();
        const int x = columnX(col) + offset;
        const int w = columnWidthPixels(col);
        const int vw = viewport()->width();
        if (x < offset)
            horizontalScrollBar()->setValue(x);
        else if (x + w > offset + vw)
            horizontalScrollBar()->setValue(std::min(x, x + w - vw));
    }
}
