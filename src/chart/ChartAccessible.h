#pragma once

#include <QAccessibleWidget>
#include <QHash>

class ChartView;

/// What assistive technology sees of a ChartView: a chart named by its title, with one child
/// per slice or bar (the grouped one too), named by its label, described by its figures, at
/// its place on the screen, and with a press action that does what a click does.
class ChartAccessible : public QAccessibleWidget {
public:
    explicit ChartAccessible(ChartView *view);
    ~ChartAccessible() override;

    /// Makes Qt ask this class for the interface of every ChartView; safe to call repeatedly.
    static void installFactory();

    QString text(QAccessible::Text t) const override;
    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;

private:
    ChartView *view() const;
    mutable QHash<int, QAccessible::Id> m_items;
};
