#pragma once

#include <QAccessible>
#include <QPointer>

class OutlineGridView;

/// One cell of an OutlineGridView as assistive technology sees it: its shown text, its row's
/// selected and expanded states, and the select (press) and expand/collapse (toggle) actions.
/// Row -1 stands for the column's header cell.
class OutlineGridAccessibleCell : public QAccessibleInterface,
                                  public QAccessibleTableCellInterface,
                                  public QAccessibleActionInterface {
public:
    OutlineGridAccessibleCell(OutlineGridView *view, int row, int col);

    int gridRow() const { return m_row; }
    int gridCol() const { return m_col; }

    bool isValid() const override;
    QObject *object() const override { return nullptr; }
    QWindow *window() const override;
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *parent() const override;
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    void *interface_cast(QAccessible::InterfaceType type) override;

    bool isSelected() const override;
    QList<QAccessibleInterface *> columnHeaderCells() const override;
    QList<QAccessibleInterface *> rowHeaderCells() const override { return {}; }
    int columnIndex() const override;
    int rowIndex() const override;
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface *table() const override { return parent(); }

    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;
    QStringList keyBindingsForAction(const QString &actionName) const override;

private:
    QPointer<OutlineGridView> m_view;
    int m_row;
    int m_col;

    bool isHeader() const { return m_row < 0; }
    bool isExpandable() const;
};
