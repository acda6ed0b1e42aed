#pragma once

#include <QColor>
#include <QList>
#include <QPalette>
#include <QRect>

#include <vector>

class OutlineGrid;
class OutlineGridView;
class QPainter;
struct GridBorder;
struct GridLook;

/// Paints the rows of an OutlineGridView that are in sight: backgrounds (wallpaper, cell and
/// selection colours), the outline tree, pictures, texts, grid lines, borders and the focus
/// frame.
class OutlineGridPainter {
public:
    OutlineGridPainter(const OutlineGridView &view, QPainter &painter);

    void paint(const QRect &region);

private:
    struct RowBand {
        int index; ///< position in the view's shown-row index
        int row;
        int y;
        int height;
    };

    const OutlineGridView &m_view;
    const OutlineGrid &m_grid;
    const GridLook &m_look;
    QPainter &m_painter;
    QPalette m_palette;
    std::vector<RowBand> m_bands;
    QList<int> m_cols;
    int m_iconSize = 16;

    void paintRow(const RowBand &band);
    void paintCell(const RowBand &band, int col, const QRect &cell, bool selected);
    int paintOutline(int row, const QRect &cell);
    void paintGridLines(int bottom);
    void paintBorder(const GridBorder &border);
    void paintFocus();
    QColor color(quint32 stored, QColor fallback) const;
};
