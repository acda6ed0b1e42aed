#include "ChartAccessible.h"

#include "ChartView.h"

#include <QPointer>
#include <QWindow>

namespace {

QAccessibleInterface *createInterface(const QString &className, QObject *object) {
    if (className == QLatin1String("ChartView")) {
        if (auto *view = qobject_cast<ChartView *>(object))
            return new ChartAccessible(view);
    }
    return nullptr;
}

// One slice or bar, by its place in the drawing order; it describes whatever the chart shows
// there now, so a new fill needs no new objects.
class ChartItemAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    ChartItemAccessible(ChartView *view, int index) : m_view(view), m_index(index) {}

    int index() const { return m_index; }
    bool isValid() const override { return m_view && m_index < m_view->itemCount(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override {
        return m_view ? QAccessible::queryAccessibleInterface(m_view) : nullptr;
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override {
        if (!isValid())
            return {};
        if (t == QAccessible::Name)
            return m_view->itemName(m_index);
        if (t == QAccessible::Description)
            return m_view->itemDescription(m_index);
        return {};
    }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override {
        if (!isValid())
            return {};
        const QRect r = m_view->itemRect(m_index);
        return QRect(m_view->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.invalid = !isValid();
        s.invisible = !m_view || !m_view->isVisible();
        return s;
    }
    void *interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface
                   ? static_cast<QAccessibleActionInterface *>(this)
                   : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString &actionName) override {
        if (actionName == pressAction() && isValid())
            m_view->pressItem(m_index);
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QPointer<ChartView> m_view;
    int m_index;
};

} // namespace

ChartAccessible::ChartAccessible(ChartView *view) : QAccessibleWidget(view, QAccessible::Chart) {}

ChartAccessible::~ChartAccessible() {
    for (const QAccessible::Id id : std::as_const(m_items))
        QAccessible::deleteAccessibleInterface(id);
}

void ChartAccessible::installFactory() {
    static const bool installed = [] {
        QAccessible::installFactory(createInterface);
        return true;
    }();
    Q_UNUSED(installed);
}

ChartView *ChartAccessible::view() const {
    return static_cast<ChartView *>(widget());
}

QString ChartAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Name) {
        const QString title = view()->chart()->shownContent().title;
        if (!title.isEmpty())
            return title;
    }
    return QAccessibleWidget::text(t);
}

int ChartAccessible::childCount() const {
    return view()->itemCount();
}

QAccessibleInterface *ChartAccessible::child(int index) const {
    if (index < 0 || index >= childCount())
        return nullptr;
    auto it = m_items.constFind(index);
    if (it == m_items.constEnd())
        it = m_items.insert(index, QAccessible::registerAccessibleInterface(
                                       new ChartItemAccessible(view(), index)));
    return QAccessible::accessibleInterface(*it);
}

int ChartAccessible::indexOfChild(const QAccessibleInterface *child) const {
    const auto *item = dynamic_cast<const ChartItemAccessible *>(child);
    return item && item->parent() == this ? item->index() : -1;
}

QAccessibleInterface *ChartAccessible::childAt(int x, int y) const {
    const QPoint local = view()->mapFromGlobal(QPoint(x, y));
    const int index = view()->itemAt(local);
    return index >= 0 ? child(index) : nullptr;
}
