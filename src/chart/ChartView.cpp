#include "ChartView.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QToolTip>

ChartView::ChartView(QWidget *parent) : QWidget(parent), m_chart(new Chart(this)) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(m_chart, &Chart::changed, this, qOverload<>(&QWidget::update));
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
    QWidget::mouseMoveEvent(event);
}

bool ChartView::event(QEvent *event) {
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    // The tooltip names the slice or bar under the pointer, useful where labels were left out.
    const auto *help = static_cast<QHelpEvent *>(event);
    const Chart::Content &content = m_chart->shownContent();
    const int series = ChartPainter(*m_chart, font(), logicalDpiY()).seriesAt(rect(), help->pos());
    QString text;
    if (series == ChartPainter::GroupedSeries)
        text = content.grouping.shownLabel();
    else if (series >= 0 && series < content.legendTexts.size())
        text = content.legendTexts[series];
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), text, this);
    return true;
}
