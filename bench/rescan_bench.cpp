// Scans PATH once, then rescans its largest subfolder in place ROUNDS times (the walk, swapping
// the rows in, the totals above and the sort of the ancestors) and times `du -s --apparent-size
// -B1` on that subfolder in the same rounds; prints the medians and their ratio.
//
//   rescan_bench [--rounds N] PATH
#include "ScanSession.h"
#include "ScanTree.h"
#include "SettingsCatalogue.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    int rounds = 3;
    QByteArray path;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else
            path = argv[i];
    }
    if (path.isEmpty()) {
        std::fprintf(stderr, "usage: rescan_bench [--rounds N] PATH\n");
        return 2;
    }
    Settings settings;
    settings.Object_Size = 0;
    settings.Collapse_Root_Nodes_B4_Scan = false;
    SettingsCatalogue::repair(settings);
    ScanSession session(settings);
    session.tree().InitTreeGrid();
    OutlineGrid &grid = session.grid();
    grid.setRedraw(GridRedraw::None);
    if (!session.scan(path).done())
        return 1;
    std::vector<double> rescans, dus;
    QByteArray branch;
    for (int round = 0; round < rounds; ++round) {
        // The largest folder below the root, found afresh: a rescan may move it.
        int largest = -1;
        for (int c = grid.firstChild(2); c >= 0; c = grid.nextSibling(c))
            if (!grid.rowDataBytes(c).isEmpty() &&
                (largest < 0 || session.tree().cellValue(c, TreeCol::Bytes) >
                                    session.tree().cellValue(largest, TreeCol::Bytes)))
                largest = c;
        if (largest < 0)
            return 1;
        branch = grid.rowDataBytes(largest);
        auto start = Clock::now();
        if (!session.rescan(largest).done())
            return 1;
        rescans.push_back(secondsSince(start));
        QProcess du;
        start = Clock::now();
        du.start(QStringLiteral("du"), {QStringLiteral("-s"), QStringLiteral("--apparent-size"),
                                        QStringLiteral("-B1"), QFile::decodeName(branch)});
        du.waitForFinished(-1);
        dus.push_back(secondsSince(start));
    }
    std::printf("branch %s, %d rows in all, total %s bytes\n", branch.constData(), grid.rows(),
                grid.text(ScanTree::TopRow, TreeCol::Bytes).toUtf8().constData());
    std::printf("rescan %.3f s, du %.3f s, rescan/du %.2f (medians of %d)\n", median(rescans),
                median(dus), median(rescans) / median(dus), rounds);
    return 0;
}
