#include "ChartView.h"

#include "ChartAccessible.h"

#include <QAccessible>
#include <QHelpEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QToolTip>

#include <algorithm>

ChartView::ChartView(QWidget *parent)
    : QWidget(parent), m_chart(new Chart(this)), m_up(new QAction(QStringLiteral("Up"), this)) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // A click gives the chart the focus, so Backspace then goes up; keyboard users move
    // through the tree itself, so the chart takes no Tab stop.
    setFocusPolicy(Qt::ClickFocus);
    connect(m_chart, &Chart::changed, this, [this] {
        update();
        if (QAccessible::isActive()) { // a new title and new slices for a screen reader
            QAccessibleEvent named(this, QAccessible::NameChanged);
            QAccessible::updateAccessibility(&named);
            QAccessibleEvent reordered(this, QAccessible::ObjectReorder);
            QAccessible::updateAccessibility(&reordered);
        }
    });
    m_up->setShortcut(QKeySequence(Qt::Key_Backspace));
    m_up->setShortcutContext(Qt::WidgetShortcut);
    m_up->setToolTip(QStringLiteral("Show the folder above"));
    connect(m_up, &QAction::triggered, this, &ChartView::upRequested);
    addAction(m_up);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    ChartAccessible::installFactory();
}

QSize ChartView::pictureSize() const {
    // A chart that has never been shown still saves a picture of a useful size.
    if (!testAttribute(Qt::WA_Resized) || width() < 2 || height() < 2)
        return QSize(640, 480);
    return size();
}

ChartPicture ChartView::picture() const {
    return {m_chart, pictureSize(), font(), logicalDpiY()};
}

bool ChartView::savePicture(const QString &path) const {
    return picture().savePng(path);
}

bool ChartView::savePicture(QIODevice &out) const {
    return picture().savePng(out);
}

void ChartView::drawPicture(QPainter &painter, const QRect &target) const {
    picture().draw(painter, target);
}

void ChartView::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    const ChartPainter chartPainter(*m_chart, font(), logicalDpiY());
    chartPainter.paint(painter, rect());
    const ChartPainter::Layout layout = chartPainter.layout(rect());
    if (layout != m_layout) {
        m_layout = layout;
        scheduleLaidOut();
    }
}

void ChartView::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    scheduleLaidOut();
}

void ChartView::scheduleLaidOut() {
    // Raised from the event loop, not from inside a paint, so a handler may move widgets.
    if (m_laidOutPending)
        return;
    m_laidOutPending = true;
    QTimer::singleShot(0, this, [this] {
        m_laidOutPending = false;
        emit laidOut();
    });
}

void ChartView::mouseMoveEvent(QMouseEvent *event) {
    emit pointerMoved(event->position().toPoint());
    const int series = seriesAt(event->position());
    setCursor(series >= 0 ? Qt::PointingHandCursor : Qt::ArrowCursor);
    QWidget::mouseMoveEvent(event);
}

void ChartView::mouseReleaseEvent(QMouseEvent *event) {
    QWidget::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    press(seriesAt(event->position()), event->globalPosition().toPoint());
}

void ChartView::press(int series, const QPoint &globalPos) {
    if (series >= 0)
        emit seriesClicked(series);
    else if (series == ChartPainter::GroupedSeries)
        // The group is no folder to go to; a click shows what it holds at once.
        QToolTip::showText(globalPos, toolTipText(series), this);
}

QList<ChartPainter::Item> ChartView::items() const {
    return ChartPainter(*m_chart, font(), logicalDpiY()).items(rect());
}

int ChartView::itemCount() const {
    return int(items().size());
}

int ChartView::itemSeries(int index) const {
    const auto all = items();
    return index >= 0 && index < all.size() ? all[index].series : -1;
}

QString ChartView::itemName(int index) const {
    const int series = itemSeries(index);
    const Chart::Content &content = m_chart->shownContent();
    if (series == ChartPainter::GroupedSeries)
        return content.grouping.shownLabel();
    for (const auto &label : content.labels) {
        if (label.series == series && !label.text.isEmpty())
            return label.text;
    }
    return content.legendTexts.value(series);
}

QString ChartView::itemDescription(int index) const {
    // The tooltip without the name it starts with.
    QStringList lines = toolTipText(itemSeries(index)).split(u'\n');
    if (lines.size() > 1)
        lines.removeFirst();
    return lines.join(QStringLiteral(", "));
}

QRect ChartView::itemRect(int index) const {
    const auto all = items();
    return index >= 0 && index < all.size() ? all[index].bounds.toAlignedRect() : QRect();
}

int ChartView::itemAt(const QPoint &pos) const {
    const int series = seriesAt(pos);
    const auto all = items();
    for (int i = 0; i < all.size(); ++i) {
        if (all[i].series == series)
            return i;
    }
    return -1;
}

void ChartView::pressItem(int index) {
    const QRect r = itemRect(index);
    press(itemSeries(index), mapToGlobal(r.center()));
}

int ChartView::seriesAt(const QPointF &pos) const {
    return ChartPainter(*m_chart, font(), logicalDpiY()).seriesAt(rect(), pos);
}

QString ChartView::toolTipText(int series) const {
    const Chart::Content &content = m_chart->shownContent();
    if (series >= 0) {
        if (series < content.toolTips.size() && !content.toolTips[series].isEmpty())
            return content.toolTips[series];
        return series < content.legendTexts.size() ? content.legendTexts[series] : QString();
    }
    if (series != ChartPainter::GroupedSeries)
        return {};
    // The group names what it holds, the largest first, up to a screenful.
    constexpr int MaxLines = 15;
    QList<int> held = ChartPainter(*m_chart, font(), logicalDpiY()).folding(QRectF(rect())).grouped;
    const auto total = [&](int s) {
        double sum = 0;
        for (double v : content.values.value(s))
            sum += std::max(v, 0.0);
        return sum;
    };
    std::stable_sort(held.begin(), held.end(), [&](int a, int b) { return total(a) > total(b); });
    QStringList lines{content.grouping.shownLabel() +
                      QStringLiteral(" (%1 items):").arg(QLocale().toString(held.size()))};
    for (int i = 0; i < std::min<int>(MaxLines, int(held.size())); ++i)
        lines.append(content.legendTexts.value(held[i]));
    if (held.size() > MaxLines)
        lines.append(QStringLiteral("and %1 more").arg(QLocale().toString(held.size() - MaxLines)));
    return lines.join(u'\n');
}

bool ChartView::event(QEvent *event) {
    if (event->type() == QEvent::PaletteChange) {
        const bool done = QWidget::event(event);
        emit paletteChanged();
        return done;
    }
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    // The tooltip names the slice or bar under the pointer, useful where labels were left out.
    const auto *help = static_cast<QHelpEvent *>(event);
    const QString text = toolTipText(seriesAt(help->pos()));
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), text, this);
    return true;
}
