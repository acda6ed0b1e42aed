// The history and the comparison on a real tree: scans PATH, keeps the scan in a history folder
// (the compressed file's size and the write's time), changes nothing on disk, scans PATH again
// and compares the two scans (the comparison's time alone, both scans loaded). `du` on the same
// tree in the same run gives the scale of the machine's speed.
//
//   compare_bench PATH [HISTORY_FOLDER]
#include "OutlineGrid.h"
#include "ScanCompare.h"
#include "ScanFile.h"
#include "ScanHistory.h"
#include "ScanTree.h"
#include "mdlFileSearch.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

int scan(ScanTree &tree, const QString &path) {
    mdlFileSearch search(tree);
    search.ResetSearchParams();
    const QString start = mdlFileSearch::NormalizePath(path);
    search.searchParams.StartPath = start;
    const int root = tree.AddTreeRow(start, 0, RowKind::Folder, Fixed(), true, Fixed());
    tree.grid().setRowData(root, start);
    search.SearchFolder(start, 1, root);
    return root;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: compare_bench PATH [HISTORY_FOLDER]\n");
        return 2;
    }
    const QString path = QFile::decodeName(argv[1]);
    QTemporaryDir temp;
    const QString history = argc > 2 ? QFile::decodeName(argv[2]) : temp.filePath("History");

    Settings settings;
    OutlineGrid grid;
    ScanTree tree(grid, settings);
    tree.InitTreeGrid();
    grid.setRedraw(GridRedraw::None);

    auto t0 = Clock::now();
    const int first = scan(tree, path);
    const double scanSeconds = since(t0);

    QProcess du;
    t0 = Clock::now();
    du.start(QStringLiteral("du"), {QStringLiteral("-s"), QStringLiteral("--apparent-size"), path});
    du.waitForFinished(-1);
    const double duSeconds = since(t0);

    t0 = Clock::now();
    const QByteArray text = ScanFile::Encode(tree, first);
    const double encodeSeconds = since(t0);
    t0 = Clock::now();
    const QString kept = ScanHistory::write(history, grid.rowDataBytes(first),
                                            QDateTime::currentDateTime(), text, 10, 200 << 20);
    const double writeSeconds = since(t0);

    // The earlier scan as a comparison has it: read from the kept file into a grid of its own.
    OutlineGrid old;
    ScanTree oldTree(old, settings);
    oldTree.InitTreeGrid();
    old.setRedraw(GridRedraw::None);
    t0 = Clock::now();
    const int oldRoot = ScanFile::Open(oldTree, kept);
    const double loadSeconds = since(t0);

    const int second = scan(tree, path);
    t0 = Clock::now();
    const auto result = ScanCompare::compare(tree, second, old, oldRoot, QDateTime(), QDateTime());
    const double compareSeconds = since(t0);

    std::printf("rows=%d scan_s=%.3f du_s=%.3f scan/du=%.2f history_kb=%.1f encode_s=%.3f "
                "write_s=%.3f load_s=%.3f compare_s=%.3f compared=%d new=%d gone=%d\n",
                grid.rows(), scanSeconds, duSeconds, scanSeconds / duSeconds,
                QFileInfo(kept).size() / 1024.0, encodeSeconds, writeSeconds, loadSeconds,
                compareSeconds, result.compared, result.added, result.gone);
    return 0;
}
