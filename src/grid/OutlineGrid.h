#pragma once

#include "NativeText.h"
#include "NumberFormat.h"

#include <QByteArray>
#include <QChar>
#include <QIcon>
#include <QImage>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

/// Per-column sort setting used by node sorts.
enum class GridSort : std::uint8_t {
    None = 0,
    GenericAscending = 1, ///< numbers as numbers, other text without regard to case
    GenericDescending = 2,
    NumericAscending = 3, ///< cell values as numbers (non-numbers count as 0)
    NumericDescending = 4,
};

enum class GridRedraw : std::uint8_t { None = 0, Direct = 1, Buffered = 2 };

/// Outline state of a node row.
enum GridOutlineState : int { OutlineExpanded = 0, OutlineCollapsed = 2 };

/// Column alignment codes: left/centre/right by top/centre/bottom, and general (numbers right,
/// text left, vertically centred).
enum GridAlign : int {
    AlignLeftTop = 0,
    AlignLeftCenter = 1,
    AlignLeftBottom = 2,
    AlignCenterTop = 3,
    AlignCenterCenter = 4,
    AlignCenterBottom = 5,
    AlignRightTop = 6,
    AlignRightCenter = 7,
    AlignRightBottom = 8,
    AlignGeneral = 9,
};

/// Column data kinds; dates and booleans are told apart from text and numbers.
enum GridDataType : int {
    TypeEmpty = 0,
    TypeLong = 3,
    TypeDouble = 5,
    TypeCurrency = 6,
    TypeDate = 7,
    TypeString = 8,
    TypeBoolean = 11,
};

/// A rectangular cell range, inclusive.
struct GridRange {
    int top = -1, left = -1, bottom = -1, right = -1;
    bool contains(int r, int c) const { return r >= top && r <= bottom && c >= left && c <= right; }
    friend bool operator==(const GridRange &, const GridRange &) = default;
};

/// A border drawn round a range. Colours are stored colour values (0x00BBGGRR, top bit = system
/// colour); widths are in pixels.
struct GridBorder {
    GridRange range;
    std::uint32_t color = 0;
    int left = 0, top = 0, right = 0, bottom = 0, vertical = 0, horizontal = 0;
};

/// Whole-grid look. Colours are stored colour values; 0 in a colour that may be "none" means
/// the palette's default.
struct GridLook {
    int gridLines = 1; ///< 1 flat lines, 14 none
    QString fontName;  ///< empty: the widget's font
    std::uint32_t backColor = 0;
    std::uint32_t gridColor = 0;
    std::uint32_t backColorFixed = 0;
    std::uint32_t foreColorFixed = 0;
    std::uint32_t gridColorFixed = 0;
    std::uint32_t treeColor = 0;
    std::uint32_t backColorBkg = 0; ///< the empty area below the last row
    QImage wallpaper;               ///< drawn behind the cells when set
    int highlight = 1;              ///< 0 never fill the selection, 1 always
    std::uint32_t backColorSel = 0; ///< selection fill; 0: the palette's highlight
    int outlineBar = 1;             ///< 0 none (no tree lines or glyphs)
    int outlineCol = 0;             ///< column that carries the tree
};

/// The outline grid: a table of text cells whose rows also form a collapsible tree.
///
/// This is the only store of scan results, so it is built for a million rows: rows live in
/// display order in compact records, cell texts sit in one arena (short ones inline), cells
/// whose text is the canonical text of a fixed-point number (optional "-", digits, optional
/// decimal separator and up to four digits, no redundant zeros) are kept as 64-bit numbers,
/// per-cell looks other than the outline column's picture are stored sparsely, and node links
/// are answered from an index kept up to date on appends and rebuilt lazily after other
/// structural changes.
///
/// Rows below fixedRows() take no part in the tree. The parent of a row is the nearest row
/// above it with a lower outline level.
///
/// cellChanged() is emitted synchronously for every cell whose text the program sets, each
/// cell of a range write included, whatever the redraw mode.
class OutlineGrid : public QObject {
    Q_OBJECT
public:
    explicit OutlineGrid(QObject *parent = nullptr);
    ~OutlineGrid() override;

    // Shape --------------------------------------------------------------------------------
    int rows() const { return static_cast<int>(m_rows.size()); }
    /// Fewer rows drop rows from the end; more rows append empty rows (level 0, not nodes).
    void setRows(int n);
    int cols() const { return static_cast<int>(m_cols.size()); }
    void setCols(int n);
    int fixedRows() const { return m_fixedRows; }
    void setFixedRows(int n);
    int fixedCols() const { return m_fixedCols; }
    void setFixedCols(int n);
    /// Appends one row at the end and returns its index.
    int addRow();
    /// Removes `count` rows starting at `first`; later rows move up.
    void removeRows(int first, int count);
    /// Moves the `count` rows from `first` on up to `to` (not below `first`): the rows between
    /// move down behind them. Looks, selection and cursor follow their rows.
    void moveRowsUp(int first, int count, int to);

    // Cells --------------------------------------------------------------------------------
    QString text(int row, int col) const;
    void setText(int row, int col, const QString &text);
    /// Sets the cell to the canonical text of a fixed-point value (ten-thousandths): the same as
    /// setText() with that text, without building and reading the text back.
    void setFixedValue(int row, int col, FixedRaw tenThousandths);
    /// Fills columns col1..col2 of `row` from a tab-separated text, one piece per cell (missing
    /// pieces make empty cells); raises cellChanged for each cell in column order.
    void setTextRange(int row, int col1, int col2, const QString &tabSeparated);
    /// The cell's value in ten-thousandths when its text is a canonical fixed-point number.
    std::optional<FixedRaw> fixedValue(int row, int col) const;
    /// The cell's value as a number: exact for fixed-point cells, otherwise the text read in the
    /// grid's locale or in C form; nullopt when the text is not a number.
    std::optional<double> number(int row, int col) const;
    /// The grid's own cell-changed handler: called synchronously for every cell whose text the
    /// program sets, before cellChanged is emitted. There is one, as a form has one event
    /// procedure per event; it costs far less per call than a connection, which matters when
    /// a scan writes millions of cells. Other observers connect to cellChanged.
    using CellChangedHandler = std::function<void(int row, int col)>;
    void setCellChangedHandler(CellChangedHandler handler) { m_cellHandler = std::move(handler); }

    /// While the cell change is being reported (handler and signal): the reported cell's text
    /// before this write, and its fixed-point value when that text was a canonical number (so a
    /// handler can carry the change up instead of re-summing).
    QString previousText() const;
    std::optional<FixedRaw> previousFixedValue() const;
    /// The text as shown: numbers go through the column's display format.
    QString displayText(int row, int col) const;

    /// Row pictures are registered once and referred to by a small id (0 = none).
    int addPicture(const QIcon &icon);
    QIcon picture(int id) const;
    int cellPicture(int row, int col) const;
    void setCellPicture(int row, int col, int pictureId);

    /// Per-cell looks; 0 / empty / -1 mean "none of its own". Setters take a range.
    std::uint32_t cellBackColor(int row, int col) const;
    void setCellBackColor(int r1, int c1, int r2, int c2, std::uint32_t color);
    std::uint32_t cellForeColor(int row, int col) const;
    void setCellForeColor(int r1, int c1, int r2, int c2, std::uint32_t color);
    /// A note on the cell that its text does not tell (a view shows it as the cell's tooltip).
    QString cellNote(int row, int col) const;
    void setCellNote(int row, int col, const QString &note);
    QString cellFontName(int row, int col) const;
    bool cellBold(int row, int col) const;
    void setCellBold(int r1, int c1, int r2, int c2, bool on);
    bool cellItalic(int row, int col) const;
    void setCellItalic(int r1, int c1, int r2, int c2, bool on);
    bool cellUnderline(int row, int col) const;
    void setCellUnderline(int r1, int c1, int r2, int c2, bool on);
    /// The cell's own alignment code, or -1 when it follows its column.
    int cellAlignment(int row, int col) const;
    void setCellAlignment(int r1, int c1, int r2, int c2, int align);
    /// The alignment that applies to the cell (its own, else the column's).
    int effectiveAlignment(int row, int col) const;
    /// Cells are never merged here, so this is the cell itself (or an invalid range outside).
    GridRange mergedRange(int row, int col) const;

    /// Draws a border round a range; colour 0 with all widths 0 removes the borders that lie on
    /// that range. A border round a single row follows the row when rows move.
    void setCellBorder(const GridBorder &border);
    const std::vector<GridBorder> &borders() const { return m_borders; }

    /// Text colour of selected cells (stored colour value); 0 = the palette's highlighted text.
    std::uint32_t selectionForeColor() const { return m_selForeColor; }
    void setSelectionForeColor(std::uint32_t color);

    // Rows ---------------------------------------------------------------------------------
    /// Row data as raw bytes (file names keep bytes that are not valid UTF-8).
    QByteArray rowDataBytes(int row) const;
    void setRowDataBytes(int row, const QByteArray &data);
    /// Sets a row's data to `baseRow`'s followed by `suffix`, sharing the base's bytes: the paths
    /// of a deep folder tree then cost memory in proportion to their number, not their length.
    void setRowDataExtending(int row, int baseRow, const char *suffix, qsizetype size);
    /// Row data as text for the screen; a path's bytes come back from it unchanged through
    /// NativeText::encode, but anything that touches the file system takes rowDataBytes().
    QString rowData(int row) const { return NativeText::decode(rowDataBytes(row)); }
    void setRowData(int row, const QString &data) {
        setRowDataBytes(row, NativeText::encode(data));
    }

    bool isNode(int row) const;
    void setNode(int row, bool on);
    /// Outline levels run from -1 to MaxLevel; others are clamped.
    static constexpr int MaxLevel = (1 << 23) - 1;
    /// Row heights are clamped to this many twips.
    static constexpr int MaxRowHeight = (1 << 23) - 1;
    int level(int row) const;
    void setLevel(int row, int level);
    GridOutlineState outlineState(int row) const;
    void setOutlineState(int row, GridOutlineState state);
    bool isCollapsed(int row) const { return outlineState(row) == OutlineCollapsed; }
    /// Collapses every node at `level` or deeper and expands every node above it.
    void outline(int level);
    /// Row height in twips; -1 is the default height, 0 hides the row.
    int rowHeight(int row) const;
    void setRowHeight(int row, int twips);
    /// The row's own hidden flag.
    bool isRowHidden(int row) const;
    void setRowHidden(int row, bool hidden);
    /// Whether a scan root's sizes count the space used on disk (see ScanTree::basisOfRoot);
    /// it moves with its row and goes with it.
    bool countsDiskUsage(int row) const;
    void setCountsDiskUsage(int row, bool on);
    /// What a row stands for, as its owner numbers it (0 to MaxRowKind; 0 for a new row); it
    /// moves with its row, so nothing needs to guess it from the row's text.
    int rowKind(int row) const;
    void setRowKind(int row, int kind);
    static constexpr int MaxRowKind = 7;
    /// True when a collapsed ancestor hides the row.
    bool isHiddenByOutline(int row) const;
    /// Shown: not hidden, not of height 0, no collapsed ancestor.
    bool isRowVisible(int row) const;

    // Node links (-1 when none) ------------------------------------------------------------
    int parentRow(int row) const;
    int firstChild(int row) const;
    int lastChild(int row) const;
    int firstSibling(int row) const;
    int nextSibling(int row) const;
    /// One past the last row of the row's subtree.
    int subtreeEnd(int row) const;
    bool hasChildren(int row) const { return firstChild(row) >= 0; }

    // Node sort ----------------------------------------------------------------------------
    /// Orders the direct children of `row` by the column sort settings (the first column with a
    /// setting is the key; ties go to later columns, then keep their order). Each child moves
    /// with its subtree; selection, cursor, looks and borders follow the rows.
    void sortNode(int row);
    /// Orders the children of every node in one pass. A million rows take a while: `goOn`, when
    /// given, is called now and then while the new order is worked out (nothing has changed
    /// yet, so it may let the event loop turn); when it returns false the sort stops there,
    /// every row left where it was, and false is returned.
    bool sortAllNodes(const std::function<bool()> &goOn = {});
    /// Puts the rows from `first` on into a new order: the row at first + i becomes the one that
    /// was at order[i], which must name each of those rows once. Looks, selection and borders
    /// follow their rows.
    void reorderRows(int first, const std::vector<int> &order);

    // Columns ------------------------------------------------------------------------------
    int colWidth(int col) const; ///< twips
    void setColWidth(int col, int twips);
    bool isColHidden(int col) const;
    void setColHidden(int col, bool hidden);
    int colAlignment(int col) const;
    void setColAlignment(int col, int align);
    int colDataType(int col) const;
    void setColDataType(int col, int type);
    QString colFormat(int col) const;
    void setColFormat(int col, const QString &picture);
    GridSort colSort(int col) const;
    void setColSort(int col, GridSort sort);

    // Selection ----------------------------------------------------------------------------
    int cursorRow() const { return m_cursorRow; }
    int cursorCol() const { return m_cursorCol; }
    /// Sets the cursor row; -1 leaves no cursor but keeps the list of selected rows.
    void setCursorRow(int row);
    void setCursorCol(int col);
    /// Selects one cell: the cursor moves there and its row becomes the only selected row.
    void select(int row, int col) { select(row, col, row, col); }
    /// Selects a range: cursor at (row1, col1), rows row1..row2 become the selected rows.
    void select(int row1, int col1, int row2, int col2);
    GridRange selectionRange() const;
    bool isRowSelected(int row) const;
    /// Adds or removes one row from the list of selected rows (Ctrl+click style).
    void setRowSelected(int row, bool selected);
    int selectedRowCount() const { return static_cast<int>(m_selected.size()); }
    /// The i-th selected row, in increasing row order.
    int selectedRow(int i) const;
    void clearSelection();
    /// Asks every view to scroll the cell into view.
    void showCell(int row, int col);

    // Redraw and look ----------------------------------------------------------------------
    GridRedraw redraw() const { return m_redraw; }
    void setRedraw(GridRedraw mode);
    /// Asks every view to repaint now.
    void refresh();
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool on);
    const GridLook &look() const { return m_look; }
    void setLook(const GridLook &look);

    /// Decimal separator of canonical numbers; the locale's by default.
    QChar decimalSeparator() const { return m_decimal; }
    void setDecimalSeparator(QChar c);
    const QLocale &locale() const { return m_locale; }

    /// Bumped on every change that alters which rows exist, their order, levels or outline
    /// state; views compare it to know when to rebuild their row index.
    quint64 structureStamp() const { return m_structureStamp; }
    /// The lowest row whose existence, order, level, flags or height changed since the grid's
    /// stamp was `stamp`: rows above it are shown exactly as before, so a view's row index can
    /// keep them. rows() when nothing changed; 0 when the grid no longer knows (only changes
    /// since the last markStructureSeen() are tracked).
    int structureChangedFrom(quint64 stamp) const;
    /// Starts tracking changes afresh from the current stamp (a view calls it once its row index
    /// is current).
    void markStructureSeen();

Q_SIGNALS:
    void cellChanged(int row, int col);
    void selectionChanged(int oldRow, int newRow);
    /// Rows added, removed, moved, re-levelled or collapsed (only while redraw is not None).
    void structureChanged();
    /// Cell texts or looks changed (only while redraw is not None; coalesced until a view
    /// calls contentsPainted()).
    void contentsChanged();
    void lookChanged();
    void redrawChanged(GridRedraw mode);
    void enabledChanged(bool on);
    void refreshRequested();
    void showCellRequested(int row, int col);

public:
    /// A view calls this after it has painted, re-arming contentsChanged/structureChanged.
    void contentsPainted();

private:
    /// One row's record; cells and links live in parallel arrays.
    struct RowRec {
        std::uint64_t data = 0;        ///< arena reference of the row data (0 = none)
        std::int32_t height : 24 = -1; ///< twips, -1 default
        std::uint32_t picture : 8 = 0; ///< picture of the outline column's cell
        std::int32_t level : 24 = 0;   ///< deep enough for any folder tree met in practice
        std::uint8_t flags = 0;        ///< RowFlag bits
    };
    static_assert(sizeof(RowRec) == 16, "row records must stay small");
    enum RowFlag : std::uint8_t {
        FlagNode = 1,
        FlagCollapsed = 2,
        FlagHidden = 4,
        FlagLooks = 8,
        FlagDiskUsage = 16,
        KindShift = 5, ///< the top three bits hold the row's kind
    };

    struct ColInfo {
        int width = 960;
        bool hidden = false;
        int align = AlignGeneral;
        int dataType = TypeEmpty;
        GridSort sort = GridSort::None;
        QString format;
        NumberFormat formatter;
    };

    struct CellLook {
        std::uint32_t back = 0, fore = 0;
        QString font;
        QString note;
        std::int8_t align = -1;
        bool bold = false, italic = false, underline = false;
        std::uint16_t picture = 0;
        friend bool operator==(const CellLook &, const CellLook &) = default;
    };

    // Everything per row is kept in parallel arrays indexed by row position.
    std::vector<RowRec> m_rows;
    // Cells by column, encoded (see GridCellCodec.h); a column never written holds no vector.
    std::vector<std::vector<std::uint64_t>> m_cells;
    std::vector<ColInfo> m_cols;
    std::vector<char> m_arena; // length-prefixed UTF-8 texts
    std::size_t m_arenaGarbage = 0;
    std::unordered_map<std::uint64_t, CellLook> m_looks; // key: row << 16 | col
    std::vector<GridBorder> m_borders;
    std::vector<QIcon> m_pictures;
    std::vector<int> m_selected; // sorted rows
    int m_cursorRow = -1, m_cursorCol = 0, m_selRowEnd = -1, m_selColEnd = 0;
    int m_fixedRows = 0, m_fixedCols = 0;
    std::uint32_t m_selForeColor = 0;
    GridRedraw m_redraw = GridRedraw::Buffered;
    bool m_enabled = true;
    bool m_notified = false, m_structureNotified = false;
    quint64 m_structureStamp = 0;
    quint64 m_seenStamp = 0; // changes are tracked since this stamp,
    int m_changedFrom = 0;   // from this row on
    GridLook m_look;
    QChar m_decimal;
    QLocale m_locale;

    // Node-link index, valid for rows [fixedRows, m_indexedEnd): each row's parent and the end
    // of its subtree (-1 while the subtree is still open at the last indexed row).
    mutable std::vector<std::int32_t> m_parent, m_end;
    mutable std::vector<std::int32_t> m_stack; // open ancestors after the last indexed row
    mutable int m_indexedEnd = 0;

    void ensureIndexed(int upTo) const;
    void invalidateIndex(int fromRow);
    /// Records a structural change of rows `fromRow` and below (0: of any row).
    void noteStructure(int fromRow = 0);
    void noteContents();
    void compactArena();
    std::uint64_t writeCell(int row, int col, QStringView text); // returns the old cell
    void raiseCellChanged(int row, int col, std::uint64_t oldCell);
    std::uint64_t m_previousCell = 0;
    CellChangedHandler m_cellHandler;
    std::uint64_t cellAt(int row, int col) const {
        const auto &column = m_cells[static_cast<std::size_t>(col)];
        return column.empty() ? 0 : column[static_cast<std::size_t>(row)];
    }
    const CellLook *lookOf(int row, int col) const;
    template <typename F> void editLooks(int r1, int c1, int r2, int c2, F &&f);
    void permuteBlock(int first, const std::vector<int> &order);
    void relinkBlock(int row, int end);
    std::vector<std::pair<int, GridSort>> sortKeys() const;
    void checkRow(int row) const;
    void checkCell(int row, int col) const;
};
