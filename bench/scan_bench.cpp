// Scans a folder the way the program does (grid prepared as at start-up, size unit MB, no
// sort, redraw off) and prints the totals, the wall time of the walk and the peak memory.
//
//   scan_bench [--pattern PATTERN] [--disk] PATH
//
// Compare with `du -s --apparent-size -B1 PATH` run right before or after on a warm cache; with
// --disk the scan counts the space used on disk, to compare with `du -s -B1 PATH`.
#include "MountTable.h"
#include "OutlineGrid.h"
#include "ScanTree.h"
#include "SettingsCatalogue.h"
#include "mdlDrives.h"
#include "mdlFileSearch.h"

#include <QCoreApplication>
#include <QFile>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QString pattern = QStringLiteral("*.*");
    QString path;
    bool disk = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--disk") == 0)
            disk = true;
        else if (std::strcmp(argv[i], "--pattern") == 0 && i + 1 < argc)
            pattern = QString::fromLocal8Bit(argv[++i]);
        else
            path = QFile::decodeName(argv[i]);
    }
    if (path.isEmpty()) {
        std::fprintf(stderr, "usage: scan_bench [--pattern PATTERN] [--disk] PATH\n");
        return 2;
    }

    Settings settings; // Object_Size 2 (MB), no sort
    settings.Match_Parameters = pattern;
    SettingsCatalogue::repair(settings);
    OutlineGrid grid;
    ScanTree tree(grid, settings);
    tree.InitTreeGrid();
    grid.setRedraw(GridRedraw::None);

    mdlFileSearch search(tree);
    search.ResetSearchParams();
    search.searchParams.Pattern = settings.Match_Parameters;
    search.searchParams.Recurse = settings.Recurse_Subfolders;
    const QString start = mdlFileSearch::NormalizePath(path);
    search.searchParams.StartPath = start;
    search.searchParams.SizeBasis = disk ? Settings::DiskUsage : Settings::FileSize;

    const auto t0 = std::chrono::steady_clock::now();
    const int root = tree.AddTreeRow(start, 0, mdlDrives::rootRowKind(start, MountTable::current()),
                                     Fixed(), true, Fixed());
    grid.setRowData(root, start);
    search.SearchFolder(start, 1, root);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    tree.UpdateRoots();

    int folders = 0;
    // Every row below the root but the files rows is a folder. (Reading back every folder's
    // path would cost the square of the depth on a deep chain.)
    for (int r = root + 1; r < grid.rows(); ++r)
        if (!grid.text(r, 0).startsWith(QLatin1StringView("<Files in ")))
            ++folders;
    struct rusage ru;
    ::getrusage(RUSAGE_SELF, &ru);
    std::printf("scan_bench: basis=%s folders=%d files=%s bytes=%s rows=%d seconds=%.3f "
                "peak_rss_kb=%ld linked_files=%zu linked_set_peak_bytes=%zu\n",
                disk ? "disk" : "size", folders, qPrintable(grid.text(ScanTree::TopRow, 3)),
                qPrintable(grid.text(ScanTree::TopRow, 4)), grid.rows(), seconds, ru.ru_maxrss,
                search.linkedFilesSeen(), search.linkedSetPeakBytes());
    return 0;
}
