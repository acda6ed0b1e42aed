#pragma once

#include "Chart.h"
#include "ChartPainter.h"
#include "ChartPicture.h"

#include <QWidget>

/// The widget that shows a Chart. It repaints once a batch ends or a value changes outside
/// batch mode, and tells its owner when the pointer moves over it and when the chart has been
/// laid out again (so the owner can place things over it, such as a close box).
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

    QSize sizeHint() const override { return QSize(480, 360); }
    QSize minimumSizeHint() const override { return QSize(120, 90); }

signals:
    void pointerMoved(const QPoint &pos);
    /// The title, plot or legend moved: after a resize or a repaint with new content.
    void laidOut();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    bool event(QEvent *event) override;

private:
    QSize pictureSize() const;
    void scheduleLaidOut();

    Chart *m_chart;
    ChartPainter::Layout m_layout;
    bool m_laidOutPending = false;
};
