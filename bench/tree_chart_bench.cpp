// Times the treemap and the rings of a scan tree's whole subtree: laying out and painting at
// 1280 by 800 (medians of several rounds, from a fresh layout each time) and hit-testing the
// pointer over the drawn chart, for a /usr-sized tree and a tree of a million rows. With an
// output folder it also writes the pictures.
#include "Chart.h"
#include "ChartPainter.h"
#include "GridSubtree.h"
#include "OutlineGrid.h"
#include "ScanTree.h"
#include "Settings.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

namespace {

// A folder tree of about `rows` rows: fan-out falling with depth, file sizes log-normal.
void makeTree(ScanTree &tree, int rows) {
    std::mt19937 rng(5);
    std::lognormal_distribution<double> bytes(11.0, 2.6);
    int left = rows;
    std::vector<std::pair<QString, int>> open; // the folders still to close, deepest last
    const auto files = [&](const QString &name, int level) {
        --left;
        tree.AddTreeRow(QStringLiteral("<Files in ") + name + u'>', level + 1, RowKind::Files,
                        Fixed::fromInt(static_cast<std::int64_t>(bytes(rng))), false,
                        Fixed::fromInt(1 + static_cast<int>(rng() % 40)));
    };
    tree.AddTreeRow(QStringLiteral("/usr/"), 0, RowKind::Folder, Fixed(), true, Fixed());
    open.push_back({QStringLiteral("usr"), 0});
    while (left > 2 * static_cast<int>(open.size()) + 1) {
        const int level = open.back().second;
        const bool deeper = level < 2 || int(rng() % 100) < std::max(5, 62 - 7 * level);
        if (deeper) {
            const QString name = QStringLiteral("dir%1").arg(rng() % 100000);
            --left;
            tree.AddTreeRow(name, level + 1, RowKind::Folder, Fixed(), false, Fixed());
            open.push_back({name, level + 1});
        } else {
            files(open.back().first, open.back().second);
            open.pop_back();
            if (open.empty())
                break;
        }
    }
    while (!open.empty()) {
        files(open.back().first, open.back().second);
        open.pop_back();
    }
    tree.UpdateRoots();
}

// Processor time of this thread in ms: on a shared machine it tells the work done, which wall
// time mixes with the neighbours'.
double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void bench(int rows, const QString &outDir) {
    Settings settings;
    OutlineGrid grid;
    ScanTree tree(grid, settings);
    tree.InitTreeGrid();
    grid.setRedraw(GridRedraw::None);
    makeTree(tree, rows);
    const int root = ScanTree::TopRow + 1;

    Chart chart;
    chart.setSeriesCount(0);
    int series = 0;
    for (int c = grid.firstChild(root); c >= 0; c = grid.nextSibling(c)) {
        chart.setSeriesCount(++series);
        chart.setValue(series - 1, 0, grid.number(c, TreeCol::Bytes).value_or(0));
        chart.addLegendText(grid.text(c, TreeCol::Name));
    }
    chart.setTitle(QStringLiteral("/usr/"));
    const QSize size(1280, 800);
    const QRectF rect{QPointF(0, 0), QSizeF(size)};
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    struct Style {
        const char *name;
        Chart::Type type;
        bool cushions;
        bool files = false; ///< three single files in every files row, as a scan keeps them
    };
    // Files rows with single files of half, a quarter and a tenth of their size.
    GridSubtree::FileItems files;
    files.list = [&grid](int row, std::vector<GridSubtree::FileEntry> &out) {
        const double bytes = grid.number(row, TreeCol::Bytes).value_or(0.0);
        out.push_back({0, bytes * 0.5});
        out.push_back({1, bytes * 0.25});
        out.push_back({2, bytes * 0.1});
    };
    files.path = [](int row, std::uint64_t key) {
        return QStringLiteral("/usr/%1/file%2").arg(row).arg(key);
    };
    for (const Style &style : {Style{"treemap_cushions", Chart::Type::Treemap, true},
                               Style{"treemap_flat", Chart::Type::Treemap, false},
                               Style{"treemap_kept_files", Chart::Type::Treemap, true, true},
                               Style{"rings", Chart::Type::Rings, true}}) {
        chart.setChartType(style.type);
        chart.setCushions(style.cushions);
        std::vector<double> runs, cpu;
        for (int round = 0; round < 7; ++round) {
            chart.setSubtree(std::make_shared<GridSubtree>(
                grid, root, style.files ? files : GridSubtree::FileItems{}));
            QElapsedTimer timer;
            timer.start();
            const double cpu0 = cpuMs();
            QPainter painter(&image);
            ChartPainter(chart).paint(painter, rect);
            painter.end();
            cpu.push_back(cpuMs() - cpu0);
            runs.push_back(timer.nsecsElapsed() / 1e6);
        }
        // The pointer over the chart as drawn, the layout cached.
        std::mt19937 rng(3);
        std::vector<double> hits;
        for (int round = 0; round < 2000; ++round) {
            const QPointF at(rng() % size.width(), rng() % size.height());
            QElapsedTimer timer;
            timer.start();
            const ChartPainter::TreeHit hit = ChartPainter(chart).treeItemAt(rect, at);
            hits.push_back(timer.nsecsElapsed() / 1e6);
            (void)hit;
        }
        std::printf("tree_chart_bench: rows=%d %s layout_paint_ms=%.1f cpu_ms=%.1f "
                    "hover_ms=%.3f hover_max_ms=%.3f\n",
                    grid.rows(), style.name, median(runs), median(cpu), median(hits),
                    *std::max_element(hits.begin(), hits.end()));
        if (!outDir.isEmpty())
            image.save(
                QDir(outDir).filePath(QStringLiteral("%1-%2.png").arg(style.name).arg(rows)));
    }
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (!outDir.isEmpty())
        QDir().mkpath(outDir);
    bench(36000, outDir);
    bench(1000000, outDir);
    return 0;
}
