#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>

class Chart;
class QIODevice;
class QPainter;

/// The chart as a report shows it: the chart model drawn at a size, in a font and at a
/// resolution, into a PNG file or onto any painter (a PDF page). No widget is needed, so a
/// report written without a window carries the same picture as one written from it.
struct ChartPicture {
    const Chart *chart = nullptr; ///< none: the report has no chart
    QSize size{640, 480};         ///< the layout's size, in pixels at `dpi`
    QFont font;
    int dpi = 96;

    /// Saves the picture as a PNG file at its size; false when it cannot be written.
    bool savePng(const QString &path) const;
    /// The same PNG written to an open device.
    bool savePng(QIODevice &out) const;
    /// Draws the picture into `target` (the painter's device pixels), laid out at its size and
    /// scaled, so it keeps its proportions on devices of any resolution.
    void draw(QPainter &painter, const QRect &target) const;
};
