#pragma once

#include "Chart.h"
#include "ChartPainter.h"
#include "ChartPicture.h"

#include <QAction>
#include <QPixmap>
#include <QWidget>

/// The widget that shows a Chart. It repaints once a batch ends or a value changes outside
/// batch mode, and tells its owner when the pointer moves over it and when the chart has been
/// laid out again (so the owner can place things over it, such as a close box).
///
/// It is also a way through what it shows: a click on a slice or bar reports that series, and
/// Backspace or "Up" in its context menu asks for the level above.
class ChartView : public QWidget {
    Q_OBJECT
public:
    explicit ChartView(QWidget *parent = nullptr);

    Chart *chart() const { return m_chart; }

    /// The chart as it is shown, for a report.
    ChartPicture picture() const;
    /// Saves the chart as it is shown, at the widget's size (640 by 480 while the widget has
    /// never been given a size), as a PNG file. False when the file cannot be written.
    bool savePicture(const QString &path) const;
    /// The same picture written as PNG to an open device.
    bool savePicture(QIODevice &out) const;
    /// Draws the chart as it is shown into `target`, given in the painter's device pixels. The
    /// picture is laid out at the widget's size and scaled, so it keeps its proportions on
    /// devices of any resolution.
    void drawPicture(QPainter &painter, const QRect &target) const;

    /// The series under `pos` (widget pixels), ChartPainter::GroupedSeries or -1.
    int seriesAt(const QPointF &pos) const;
    /// What a treemap or rings chart shows under `pos` (widget pixels).
    ChartPainter::TreeHit treeItemAt(const QPointF &pos) const;
    /// What the tooltip shows over a treemap or rings chart at `pos`.
    QString treeToolTipText(const QPointF &pos) const;
    /// What the tooltip shows for a series: its own tooltip or legend text; for the grouped
    /// slice or bar, the grouping text and the legend texts of what it holds.
    QString toolTipText(int series) const;
    /// The slices or bars as drawn, the grouped one included, for assistive technology: how
    /// many, each one's series, name (its label), description (its figures), rectangle in
    /// widget pixels, the one under a point (-1 for none), and a press that does what a click
    /// does.
    int itemCount() const;
    int itemSeries(int index) const;
    QString itemName(int index) const;
    QString itemDescription(int index) const;
    QRect itemRect(int index) const;
    int itemAt(const QPoint &pos) const;
    void pressItem(int index);

    /// The context menu's "Up" command (Backspace); the owner enables it when there is a
    /// level above.
    QAction *upAction() const { return m_up; }

    QSize sizeHint() const override { return QSize(480, 360); }
    QSize minimumSizeHint() const override { return QSize(120, 90); }

signals:
    void pointerMoved(const QPoint &pos);
    /// The title, plot or legend moved: after a resize or a repaint with new content.
    void laidOut();
    /// A slice or bar of a series was clicked (never the grouped one).
    void seriesClicked(int series);
    /// An item of a treemap or rings chart was clicked: its subtree id.
    void itemClicked(int id);
    /// An item of a treemap or rings chart was double-clicked.
    void itemActivated(int id);
    /// The user asked for the level above the one shown.
    void upRequested();
    /// The widget's palette changed (the desktop switched to a dark scheme, say).
    void paletteChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    bool event(QEvent *event) override;

private:
    QSize pictureSize() const;
    QList<ChartPainter::Item> items() const;
    void press(int series, const QPoint &globalPos);
    void scheduleLaidOut();

    Chart *m_chart;
    QAction *m_up;
    ChartPainter::Layout m_layout;
    // The picture as last painted, reused while only the hover mark changes.
    QPixmap m_picture;
    bool m_pictureValid = false;
    QPainterPath m_hover; ///< the treemap tile or ring segment under the pointer
    void setHover(const QPainterPath &shape);
    bool m_laidOutPending = false;
};
