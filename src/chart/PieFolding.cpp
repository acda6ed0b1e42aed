#include "PieFolding.h"

#include <algorithm>
#include <numeric>

PieFolding PieFolding::fold(const QList<double> &values, const Chart::PieGrouping &grouping) {
    const int n = int(values.size());
    PieFolding result;
    const auto keepAll = [&] {
        result.own.resize(n);
        std::iota(result.own.begin(), result.own.end(), 0);
        return result;
    };
    if (grouping.mode == 0 || n <= std::max(grouping.minSlices, 0))
        return keepAll();

    double total = 0;
    for (double v : values)
        total += std::max(v, 0.0);

    // Smallest first; among equal values the later series first.
    QList<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const double va = std::max(values[a], 0.0), vb = std::max(values[b], 0.0);
        return va != vb ? va < vb : a > b;
    });

    int folded = 0;
    double group = 0;
    if (grouping.mode & 1) {
        const double below = total * grouping.minPercent / 100.0;
        const double limit = grouping.maxShare > 0 ? total * grouping.maxShare / 100.0 : total;
        while (n - folded > 1) { // the largest slice always keeps its own

            const double v = std::max(values[order[folded]], 0.0);
            if (v >= below || (v > 0 && group + v > limit))
                break;
            group += v;
            ++folded;
        }
    }
    if (grouping.mode & 2) {
        const int cap = 2 * std::max(grouping.minSlices, 1);
        while (n - folded > cap) {
            group += std::max(values[order[folded]], 0.0);
            ++folded;
        }
    }
    if (folded <= 1)
        return keepAll();

    QList<bool> isFolded(n, false);
    for (int i = 0; i < folded; ++i)
        isFolded[order[i]] = true;
    result.own.reserve(n - folded);
    result.grouped.reserve(folded);
    for (int i = 0; i < n; ++i)
        (isFolded[i] ? result.grouped : result.own).append(i);
    result.otherValue = group;
    result.otherCount = folded;
    return result;
}

PieFolding PieFolding::foldBars(const QList<double> &values, int maxBars) {
    Chart::PieGrouping count;
    count.mode = 2;
    count.minSlices = std::max(maxBars / 2, 1);
    return fold(values, count);
}

void PieFolding::dropEmpty(const QList<double> &values) {
    const auto empty = [&](int series) { return series >= values.size() || values[series] <= 0; };
    own.removeIf(empty);
    grouped.removeIf(empty);
    if (grouped.size() == 1) {
        own.insert(std::lower_bound(own.begin(), own.end(), grouped.first()), grouped.first());
        grouped.clear();
    }
    otherCount = int(grouped.size());
    if (otherCount == 0)
        otherValue = 0;
}
