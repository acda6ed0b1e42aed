// Builds a scan-shaped tree of about a million rows through the scan tree (a folder row, its
// subfolders, then its files row, as a walk appends them), then re-sorts every level by each
// choice of the Sort menu and prints the seconds of each full re-sort.
//
//   sort_bench [ROWS]
#include "OutlineGrid.h"
#include "ScanTree.h"
#include "Settings.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>

namespace {

struct TreeMaker {
    ScanTree &tree;
    std::mt19937 rng{7};
    int rowsLeft;

    // A folder's subtree: some subfolders (fewer the deeper), then its files row.
    void folder(int level, const QString &name) {
        --rowsLeft;
        tree.AddTreeRow(name, level, RowKind::Folder, Fixed(), false, Fixed());
        const int fanOut = level < 3 ? 12 : (level < 8 ? static_cast<int>(rng() % 6) : 0);
        for (int i = 0; i < fanOut && rowsLeft > 1; ++i)
            folder(level + 1, QStringLiteral("%1%2").arg(i % 2 ? "Dir" : "dir").arg(rng() % 5000));
        --rowsLeft;
        tree.AddTreeRow(QStringLiteral("<Files in ") + name + u'>', level + 1, RowKind::Files,
                        Fixed::fromInt(rng() % 50000000), false, Fixed::fromInt(rng() % 300));
    }
};

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const int wanted = argc > 1 ? std::atoi(argv[1]) : 1000000;
    Settings settings;
    OutlineGrid grid;
    ScanTree tree(grid, settings);
    tree.InitTreeGrid();
    grid.setRedraw(GridRedraw::None);
    TreeMaker maker{tree, {}, wanted};
    while (maker.rowsLeft > 1)
        maker.folder(0, QStringLiteral("/data/volume%1/").arg(grid.rows()));
    tree.UpdateRoots();

    struct Choice {
        const char *name;
        int column;
        GridSort order;
    };
    const Choice choices[] = {{"name_asc", 0, GridSort::GenericAscending},
                              {"name_desc", 0, GridSort::GenericDescending},
                              {"size_asc", 4, GridSort::NumericAscending},
                              {"size_desc", 4, GridSort::NumericDescending},
                              {"files_asc", 3, GridSort::NumericAscending},
                              {"files_desc", 3, GridSort::NumericDescending}};
    double worst = 0;
    for (const Choice &c : choices) {
        for (int col : {0, 1, 3, 4})
            grid.setColSort(col, GridSort::None);
        grid.setColSort(c.column, c.order);
        const auto t0 = std::chrono::steady_clock::now();
        grid.sortAllNodes();
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        worst = std::max(worst, s);
        std::printf("%s_s=%.3f\n", c.name, s);
    }
    std::printf("sort_bench: rows=%d max_sort_s=%.3f\n", grid.rows(), worst);
    return 0;
}
