#include "ChartView.h"

#include "ChartAccessible.h"
#include "TreeChartSource.h"

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
        m_pictureValid = false;
        m_hover = QPainterPath();
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
    const qreal ratio = devicePixelRatioF();
    if (!m_pictureValid || m_picture.size() != size() * ratio) {
        m_picture = QPixmap(size() * ratio);
        m_picture.setDevicePixelRatio(ratio);
        QPainter painter(&m_picture);
        const ChartPainter chartPainter(*m_chart, font(), logicalDpiY());
        chartPainter.paint(painter, rect());
        m_pictureValid = true;
        const ChartPainter::Layout layout = chartPainter.layout(rect());
        if (layout != m_layout) {
            m_layout = layout;
            scheduleLaidOut();
        }
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
    if (!m_hover.isEmpty()) {
        painter.setRenderHint(QPainter::Antialiasing, true);
        QColor mark = palette().color(QPalette::Highlight);
        painter.setPen(QPen(mark, 2));
        mark.setAlpha(50);
        painter.setBrush(mark);
        painter.drawPath(m_hover);
    }
}

void ChartView::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    m_pictureValid = false;
    m_hover = QPainterPath();
    scheduleLaidOut();
}

void ChartView::setHover(const QPainterPath &shape) {
    if (shape == m_hover)
        return;
    update(m_hover.boundingRect().toAlignedRect().adjusted(-2, -2, 2, 2));
    m_hover = shape;
    update(m_hover.boundingRect().toAlignedRect().adjusted(-2, -2, 2, 2));
}

void ChartView::leaveEvent(QEvent *event) {
    setHover(QPainterPath());
    QWidget::leaveEvent(event);
}

ChartPainter::TreeHit ChartView::treeItemAt(const QPointF &pos) const {
    return ChartPainter(*m_chart, font(), logicalDpiY()).treeItemAt(rect(), pos);
}

QString ChartView::treeToolTipText(const QPointF &pos) const {
    const ChartPainter::TreeHit hit = treeItemAt(pos);
    const Chart::Content &content = m_chart->shownContent();
    if (hit.id >= 0 && content.subtree)
        return content.subtree->toolTip(hit.id);
    if (hit.foldedCount > 0 && content.subtree) {
        // A ring's folded group: how many items, and their share of the centre.
        const double centre = content.subtree->value(content.subtree->rootId());
        return content.grouping.shownLabel() +
               QStringLiteral(" (%1 items)\nShare: %2%")
                   .arg(QLocale().toString(hit.foldedCount))
                   .arg(QLocale().toString(centre > 0 ? 100 * hit.value / centre : 0.0, 'f', 2));
    }
    return {};
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
    if (Chart::drawsSubtree(m_chart->shownContent().type)) {
        ChartPainter::TreeHit hit = treeItemAt(event->position());
        setCursor(hit.id >= 0 ? Qt::PointingHandCursor : Qt::ArrowCursor);
        setHover(hit.centre ? QPainterPath() : hit.shape);
        if (QToolTip::isVisible())
            QToolTip::showText(event->globalPosition().toPoint(),
                               treeToolTipText(event->position()), this);
        QWidget::mouseMoveEvent(event);
        return;
    }
    const int series = seriesAt(event->position());
    setCursor(series >= 0 ? Qt::PointingHandCursor : Qt::ArrowCursor);
    QWidget::mouseMoveEvent(event);
}

void ChartView::mouseReleaseEvent(QMouseEvent *event) {
    QWidget::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    if (Chart::drawsSubtree(m_chart->shownContent().type)) {
        const ChartPainter::TreeHit hit = treeItemAt(event->position());
        if (hit.id >= 0)
            emit itemClicked(hit.id);
        else if (hit.foldedCount > 0)
            QToolTip::showText(event->globalPosition().toPoint(),
                               treeToolTipText(event->position()), this);
        return;
    }
    press(seriesAt(event->position()), event->globalPosition().toPoint());
}

void ChartView::mouseDoubleClickEvent(QMouseEvent *event) {
    QWidget::mouseDoubleClickEvent(event);
    if (event->button() != Qt::LeftButton || !Chart::drawsSubtree(m_chart->shownContent().type))
        return;
    const ChartPainter::TreeHit hit = treeItemAt(event->position());
    if (hit.id >= 0)
        emit itemActivated(hit.id);
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
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange)
        m_pictureValid = false;
    if (event->type() == QEvent::PaletteChange) {
        const bool done = QWidget::event(event);
        emit paletteChanged();
        return done;
    }
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    // The tooltip names the slice or bar under the pointer, useful where labels were left out.
    const auto *help = static_cast<QHelpEvent *>(event);
    const QString text = Chart::drawsSubtree(m_chart->shownContent().type)
                             ? treeToolTipText(help->pos())
                             : toolTipText(seriesAt(help->pos()));
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), text, this);
    return true;
}
