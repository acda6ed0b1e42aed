#pragma once

#include "Chart.h"

#include <QList>

/// Which pie slices keep a slice of their own and which fold into the one grouped slice.
///
/// The rule keeps a pie readable however many slices it is given:
/// - nothing folds while there are at most `minSlices` slices (10), or when `mode` is 0;
/// - by share (mode bit 1): every slice under `minPercent` (2%) of the total folds, smallest
///   first, while the group stays within `maxShare` (50%) of the total (0: no limit), so a
///   pie of many equal slices never turns into one grouped slice;
/// - by count (mode bit 2): at most twice `minSlices` (20) slices keep their own, the smallest
///   of the rest fold as well;
/// - a group of one slice is no group: that slice keeps its own.
/// Slices of value 0 or less count as the smallest. Ties fold the later series first.
struct PieFolding {
    QList<int> own;        ///< series that keep their own slice, in series order
    double otherValue = 0; ///< sum of the folded slices
    int otherCount = 0;    ///< number of folded series; 0 means there is no grouped slice
    QList<int> grouped;    ///< the folded series, in series order

    static PieFolding fold(const QList<double> &values, const Chart::PieGrouping &grouping);

    /// The folding of a chart of one bar per series with room for about `maxBars` bars: the
    /// count rule alone, so the largest keep their own bar.
    static PieFolding foldBars(const QList<double> &values, int maxBars);

    /// Leaves out the series of value 0 or less, which have nothing to show: they get neither a
    /// slice or bar of their own nor a place in the group. A group left with one series is
    /// none: that series gets its own again.
    void dropEmpty(const QList<double> &values);
};
