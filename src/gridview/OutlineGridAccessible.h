#pragma once

#include <QAccessibleWidget>
#include <QHash>

class OutlineGridView;

/// What assistive technology sees of an OutlineGridView: a tree table whose rows are the rows
/// in sight (rows inside collapsed nodes are left out) and whose columns are the shown
/// columns, with the header row's cells as column headers.
class OutlineGridAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit OutlineGridAccessible(OutlineGridView *view);
    ~OutlineGridAccessible() override;

    /// Registers the interface factory for OutlineGridView (once per process).
    static void installFactory();
    /// True when assistive technology (or an observer) listens, so events are worth building.
    static bool isListening();
    /// Receives every event the grid views send, besides assistive technology; for tests.
    using EventObserver = void (*)(QAccessibleEvent *event);
    static void setEventObserver(EventObserver observer);
    /// Tells assistive technology that the rows in sight have changed.
    static void announceModelReset(OutlineGridView *view);
    /// Tells assistive technology which cell now has the cursor and selection.
    static void announceSelection(OutlineGridView *view);
    /// Tells assistive technology that a node row was expanded or collapsed.
    static void announceOutlineState(OutlineGridView *view, int row);

    OutlineGridView *gridView() const;
    /// The interface of a grid cell; row -1 is the column's header cell. Null when not shown.
    QAccessibleInterface *cellFor(int row, int col) const;

    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QAccessibleInterface *focusChild() const override;
    void *interface_cast(QAccessible::InterfaceType type) override;

    QAccessibleInterface *caption() const override { return nullptr; }
    QAccessibleInterface *summary() const override { return nullptr; }
    QAccessibleInterface *cellAt(int row, int column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface *> selectedCells() const override;
    QString columnDescription(int column) const override;
    QString rowDescription(int row) const override;
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override;
    int columnCount() const override;
    int rowCount() const override;
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override;
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override;
    bool selectRow(int row) override;
    bool selectColumn(int) override { return false; }
    bool unselectRow(int row) override;
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent *event) override;

private:
    mutable QHash<quint64, QAccessible::Id> m_cells;
    mutable quint64 m_stamp = 0;

    /// The view with its row index brought up to date; cached cells of older rows are dropped.
    OutlineGridView *freshView() const;
    bool hasHeader() const;
    void clearCells() const;
};
