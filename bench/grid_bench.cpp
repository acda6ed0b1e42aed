// Builds an outline grid of a million folder-shaped rows the way a scan does, sorts every
// node's children by a numeric column, and rebuilds the shown-row index after collapsing and
// expanding everything. Prints one summary line at the end.
//
//   grid_bench [ROWS]
#include "OutlineGrid.h"
#include "OutlineGridRowIndex.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <malloc.h>
#include <random>
#include <string>
#include <unistd.h>

namespace {

long residentBytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

double secondsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Names up to 15 characters, row data around 50 characters, five cells per row.
struct RowTexts {
    QString cells;
    QByteArray data;
    int level;
};

std::vector<RowTexts> makeTexts(int count, std::mt19937 &rng) {
    static const char *stems[] = {"src",   "Documents",    "photos",   "node_modules", "build",
                                  "cache", "Music",        "lib",      "include",      "share",
                                  "tmp",   "2024-holiday", "projects", "assets",       "backup"};
    std::vector<RowTexts> out;
    out.reserve(static_cast<std::size_t>(count));
    int level = 0;
    for (int i = 0; i < count; ++i) {
        level = i == 0 ? 0 : std::clamp(level + static_cast<int>(rng() % 3) - 1, 0, 12);
        const QString name =
            QString("%1%2").arg(stems[rng() % std::size(stems)]).arg(rng() % 1000).left(15);
        const qint64 bytes = static_cast<qint64>(rng() % 100000000);
        const QString mb = QString::number(static_cast<double>(bytes) / 1048576.0, 'g', 15);
        out.push_back(
            {QString("%1\t%2\tMB\t%3\t%4").arg(name, mb).arg(rng() % 5000).arg(bytes),
             QByteArray("/home/someone/a/fairly/long/path/to/folder/") + name.toUtf8() + '/',
             level});
    }
    return out;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const int rowsWanted = argc > 1 ? std::atoi(argv[1]) : 1000000;
    std::mt19937 rng(42);
    const std::vector<RowTexts> texts = makeTexts(4096, rng);

    OutlineGrid grid;
    grid.setRedraw(GridRedraw::None);
    grid.setCols(6);
    grid.setRows(1);
    grid.setFixedRows(1);
    const int folderPicture = grid.addPicture(QIcon());
    long cellChanges = 0;
    grid.setCellChangedHandler([&](int, int) { ++cellChanges; });
    grid.setTextRange(0, 0, 4, "Node\tSize\t\t# of Files\tByteSize");
    const int top = grid.addRow();
    grid.setNode(top, true);
    grid.setLevel(top, -1);
    grid.setTextRange(top, 0, 4, "Scans\t0\tMB\t0\t0");

    const long rssBefore = residentBytes();
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < rowsWanted; ++i) {
        const RowTexts &t = texts[static_cast<std::size_t>(i) & 4095];
        const int r = grid.addRow();
        grid.setNode(r, true);
        grid.setLevel(r, t.level);
        grid.setTextRange(r, 0, 4, t.cells);
        grid.setCellPicture(r, 0, folderPicture);
        grid.setRowDataBytes(r, t.data);
    }
    const double appendSeconds = secondsSince(t0);
    const long rssAppended = residentBytes();

    grid.setColSort(4, GridSort::NumericDescending);
    t0 = std::chrono::steady_clock::now();
    grid.sortAllNodes();
    const double sortSeconds = secondsSince(t0);

    t0 = std::chrono::steady_clock::now();
    // The view's shown-row index, rebuilt with everything collapsed, then expanded.
    OutlineGridRowIndex index;
    grid.outline(0);
    index.rebuild(grid);
    const int collapsedShown = index.count();
    grid.outline(32767);
    index.rebuild(grid);
    const int expandedShown = index.count();
    const double indexSeconds = secondsSince(t0);
    // Hand the allocator's cached free pages (the sort's scratch arrays) back first, so the
    // figure is what the grid itself keeps.
    malloc_trim(0);
    const long rssAfter = residentBytes();

    std::printf("append_s=%.3f cell_changes=%ld bytes_per_row_after_append=%.0f sort_all_s=%.3f "
                "index_s=%.3f shown=%d/%d\n",
                appendSeconds, cellChanges,
                static_cast<double>(rssAppended - rssBefore) / rowsWanted, sortSeconds,
                indexSeconds, collapsedShown, expandedShown);
    std::printf("grid_bench: rows=%d append_rows_per_s=%.0f sort_all_s=%.3f bytes_per_row=%.0f\n",
                grid.rows(), rowsWanted / appendSeconds, sortSeconds,
                static_cast<double>(rssAfter - rssBefore) / rowsWanted);
    return 0;
}
