#pragma once

#include "OutlineGrid.h"
#include "OutlineGridRowIndex.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QFont>
#include <QPixmap>
#include <QStandardItemModel>
#include <QTimer>

#include <functional>

class QHeaderView;

/// The widget that shows an OutlineGrid: a scrolling table whose outline column draws the tree.
///
/// Only the shown rows are painted, from an index of shown rows brought up to date when the
/// grid's structure changes (rows appended at the end extend it). Row 0 of a grid with fixed
/// rows is the header; its texts label the header sections, whose widths are the grid's column
/// widths. The grid's redraw mode decides when changes reach the screen: never (None), at the
/// next turn of the event loop, once for all changes since the last repaint and at most once a
/// screen frame (Direct), or coalesced to at most about 30 repaints a second (Buffered). Positions
/// passed to the mouse and drag notifications are in viewport coordinates, ready for rowAt(). The
/// grid must outlive the view.
class OutlineGridView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit OutlineGridView(OutlineGrid *model, QWidget *parent = nullptr);
    /// Pixels between a cell's edge and its text.
    static constexpr int TextPadding = 3;
    ~OutlineGridView() override;

    OutlineGrid *model() const { return m_model; }
    QHeaderView *header() const { return m_header; }

    /// The row under a viewport position, or -1 when there is none.
    int rowAt(QPoint viewportPos) const;
    /// The shown column under a viewport x, or -1.
    int columnAt(int x) const;
    /// A cell's rectangle in viewport coordinates; empty when the row or column is not shown.
    /// Rows scrolled out of sight get a rectangle outside the viewport.
    QRect cellRect(int row, int col) const;
    /// Scrolls so that the cell is in sight (rows hidden by a collapsed node stay hidden).
    void showCell(int row, int col);
    /// The widget's width in twips.
    int controlWidth() const;
    double twipsPerPixel() const;

    /// Asks beforeCollapse and, unless cancelled, sets the row's outline state. Returns
    /// whether the state was changed. This is the path of every expand or collapse by the user.
    bool requestOutlineState(int row, GridOutlineState state);
    /// Selects a cell as a click does, then raises clicked().
    void activateCell(int row, int col);

    /// Takes up the grid's look, columns and shown rows now, whatever the redraw mode, without
    /// painting (for a printout taken between repaints).
    void syncWithModel();
    /// Brings a pending buffered repaint forward and paints now (when the grid's redraw is
    /// not None).
    void flush();

    // Geometry used by the painter and the accessibility interface ----------------------------
    /// Rebuilds the shown-row index when the grid's structure has changed since the last time.
    void ensureRowIndex();
    int visibleRowCount() const { return m_index.count(); }
    int visibleRowAt(int index) const { return m_index.rowAt(index); }
    int visibleIndexOf(int row) const { return m_index.indexOf(row); }
    int firstBodyIndex() const { return m_index.firstBodyIndex(); }
    int topIndex() const;
    int rowHeightPixels(int row) const;
    int defaultRowHeight() const { return m_defaultRowHeight; }
    /// Columns that are neither hidden nor of width 0, in order.
    QList<int> shownColumns() const;
    bool isColumnShown(int col) const;
    int columnX(int col) const;
    int columnWidthPixels(int col) const;
    int contentWidth() const;
    /// Rows the index holds from topIndex() that fit in the viewport (at least 1 when any).
    int rowsInView() const;
    /// Number of tree ancestors of a row (0 for a row without a parent in the tree).
    int rowDepth(int row) const;
    int indentation() const { return m_indent; }
    /// The font of cells without a font of their own (the grid's font name, else the widget's).
    const QFont &cellFont() const { return m_cellFont; }
    /// The grid's wallpaper as a pixmap, converted once per image.
    const QPixmap &wallpaper() const;
    /// The viewport's background with the wallpaper: `base` under the wallpaper's tiles, drawn
    /// once per size, wallpaper and base, and copied at each paint (tiling the viewport anew
    /// splits the fill across Qt's painting threads and waits for them, long on a busy
    /// machine). Null when the grid has no wallpaper.
    const QPixmap &background(const QColor &base) const;
    /// The outline column's branch square of a row (where its expand glyph is), in viewport
    /// coordinates; empty when no glyph is drawn for it.
    QRect glyphRect(int row) const;
    /// Where a cell's text is drawn inside the cell's rectangle: right of the tree and picture.
    QRect textRect(int row, int col, const QRect &cell) const;
    /// A cell's text as drawn before eliding: control characters (a newline or tab in a file
    /// name) each shown as a visible mark, so the text stays on one line.
    QString shownText(int row, int col) const;
    /// How a text too long for its cell is shortened: in the middle for a text in angle
    /// brackets (a row that stands for a group, such as a folder's files), whose end tells
    /// which group it is; at the right otherwise.
    static Qt::TextElideMode elideModeFor(const QString &text);
    /// The font a cell's text is drawn in.
    QFont fontOf(int row, int col) const;
    /// The width in pixels a cell needs to show a text whole in the cell font (bold or not).
    int cellWidthFor(const QString &text, bool bold = false) const;
    /// The width in pixels a header section needs to show a label with a sort arrow.
    int headerWidthFor(const QString &label) const;

    /// The column that takes the room left over when the columns are narrower than the view
    /// (-1: none). Its width in the grid stays the one the user gave it.
    int stretchColumn() const { return m_stretchColumn; }
    void setStretchColumn(int col);
    /// A cell's own tooltip text, for a cell that has one (without a source, the grid's note
    /// of the cell); the cell's whole text comes before it when it does not fit.
    using ToolTipSource = std::function<QString(int row, int col)>;
    void setToolTipSource(ToolTipSource source) { m_toolTipSource = std::move(source); }
    /// The tooltip a cell shows: its own, else its whole text when it is cut short, else none.
    QString toolTipFor(int row, int col) const;
    /// A column the view fills itself, for the screen only, with each row's share of its
    /// parent: a percentage over a bar as long as the share. `share` gives a fraction from 0
    /// to 1, or less than 0 for a row without one. The grid's cells are never written, so
    /// printouts and reports keep their columns; `label` heads the column while the grid's
    /// header cell is empty. A column of -1 turns it off.
    using ShareSource = std::function<double(int row)>;
    void setShareColumn(int col, const QString &label, ShareSource share);
    int shareColumn() const { return m_shareSource ? m_shareColumn : -1; }
    /// A row's share in the share column, or a negative number when it has none.
    double shareOf(int row) const;
    /// The label of a column's header section.
    QString headerText(int col) const;

    /// A colour the screen shows in place of a stored one, given what it is drawn over (the
    /// palette's base for fills and borders); an invalid colour keeps the stored one. Paper
    /// always gets the stored colours.
    using ColorSource = std::function<QColor(quint32 stored, const QColor &under)>;
    void setColorSource(ColorSource source);
    /// The colour the screen shows for a stored colour (system colours from the palette).
    QColor shownColor(quint32 stored, const QColor &under) const;
    /// Selects the next shown row whose name starts with `text`, as typing in a list does.
    /// Returns whether a row was found.
    bool keyboardSearch(const QString &text);

Q_SIGNALS:
    /// Raised before the user's expand or collapse takes effect; set `cancel` to refuse it.
    void beforeCollapse(int row, GridOutlineState newState, bool &cancel);
    /// Raised on a mouse press before the grid acts on it, then mouseDown() after it has.
    void beforeMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);
    /// Raised when a left click has selected a cell.
    void clicked();
    /// Raised when the label of a column in the header row is clicked.
    void headerClicked(int col);
    /// Files are dragged over the grid; `effect` starts as the proposed action, and
    /// Qt::IgnoreAction refuses the drop.
    void dragOver(const QStringList &paths, QPoint pos, Qt::DropAction &effect);
    void dragDrop(const QStringList &paths, QPoint pos);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    OutlineGrid *m_model;
    QHeaderView *m_header;
    QStandardItemModel m_headerModel;
    OutlineGridRowIndex m_index;
    quint64 m_indexGeneration = 0;
    quint64 m_announcedGeneration = ~quint64(0);
    QFont m_cellFont;
    mutable QPixmap m_wallpaper;
    mutable qint64 m_wallpaperKey = 0;
    mutable QPixmap m_background;
    mutable qint64 m_backgroundWallpaper = 0;
    mutable QRgb m_backgroundBase = 0;
    QTimer m_repaintTimer;
    QElapsedTimer m_sinceLastPaint;
    qint64 m_rebuildMs = 0; // how long the last index rebuild took
    int m_defaultRowHeight = 20;
    int m_indent = 20;
    int m_anchorRow = -1;
    int m_pressedRow = -1;
    int m_stretchColumn = -1;
    ToolTipSource m_toolTipSource;
    ColorSource m_colorSource;
    ShareSource m_shareSource;
    QString m_shareLabel;
    int m_shareColumn = -1;
    QString m_search;           // what was typed so far for the type-ahead search
    QElapsedTimer m_searchTime; // since the last key of it
    bool m_syncingColumns = false;
    bool m_lookDirty = false;
    bool m_ownSelection = false; // the view itself is changing the selection

    void onStructureChanged();
    void onModelChanged();
    void onLookChanged();
    void onRefreshRequested();
    void onSelectionChanged(int oldRow, int newRow);
    void onRedrawChanged(GridRedraw mode);
    void applyPendingChanges();
    void scheduleRepaint(int minimumMs);
    void syncColumns();
    void updateLook();
    void updateGeometries();
    void updateScrollBars();
    void onSectionResized(int col, int oldSize, int newSize);
    void handleDrag(QDragMoveEvent *event);
    bool handleOutlineKey(int key, int row);
    void moveCursorTo(int index, Qt::KeyboardModifiers modifiers);
    void selectWithModifiers(int row, int col, Qt::KeyboardModifiers modifiers);
    void expandSubtree(int row);
    QStringList localPaths(const QMimeData *mime) const;
    void announceModelReset();
    void announceSelection();
};
