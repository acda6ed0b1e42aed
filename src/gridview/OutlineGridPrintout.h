#pragma once

class OutlineGridView;
class QPainter;

/// The printed form of the grid a view shows: every row the view shows (not only those in
/// sight), below the header row, at the view's column widths, fonts, colours, indentation,
/// tree lines and pictures, drawn unscrolled. Lengths are the view's pixels, so a printer
/// set to the view's logical resolution prints the grid at its size on screen.
class OutlineGridPrintout {
public:
    /// Brings the view up to date with the grid; the grid must not change while the printout
    /// is in use.
    explicit OutlineGridPrintout(OutlineGridView &view);

    /// Logical dots per inch of the view's pixels.
    int resolution() const;
    int width() const;
    /// The header row's height; 0 when the grid has no fixed rows.
    int headerHeight() const;
    /// Rows below the header.
    int rowCount() const;
    int rowHeight(int index) const;
    /// Paints the header and then rows `first` to `last - 1` from the painter's origin.
    void paint(QPainter &painter, int first, int last) const;

private:
    const OutlineGridView &m_view;
};
