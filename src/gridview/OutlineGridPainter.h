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
/// frame. The same painting gives the grid's printed form, see paintPrinted().
class OutlineGridPainter {
public:
    OutlineGridPainter(const OutlineGridView &view, QPainter &painter);

    void paint(const QRect &region);
    /// Paints a slice of the printed grid from the painter's origin, unscrolled: the header
    /// row (when the grid has fixed rows), then the rows at positions `first` to `last - 1`
    /// of the view's shown-row index. Paper shows the grid's own colours and fonts as the
    /// enabled, active window shows them, without selection, focus frame or wallpaper.
    void paintPrinted(int first, int last);

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
    QList<int> m_printX; ///< printed x of each column, by column
    int m_iconSize = 16;
    int m_firstIndex = 0;    ///< shown-row index position of the first band
    bool m_printing = false; ///< painting the printed form

    void paintHeader(int height);
    int columnX(int col) const;
    bool isSelected(int row) const;
    void paintRow(const RowBand &band);
    void paintCell(const RowBand &band, int col, const QRect &cell, bool selected);
    int paintOutline(int row, const QRect &cell);
    void paintShareBar(int row, const QRect &cell, bool selected);
    void paintGridLines(int bottom);
    void paintBorder(const GridBorder &border);
    void paintFocus();
    /// A stored colour as drawn over `under` (invalid: the palette's base); 0 gives `fallback`.
    QColor color(quint32 stored, QColor fallback, const QColor &under = QColor()) const;
};
