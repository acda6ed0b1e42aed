// Scans a folder the way the program does (grid prepared as at start-up, size unit MB, no
// sort, redraw off) and prints the totals, the wall time of the walk and the peak memory; with
// --du, times `du -s --apparent-size -B1 PATH` in the same rounds and prints the ratio.
//
//   scan_bench [--pattern PATTERN] [--disk] [--workers N] [--rounds N] [--kept N] [--kept-pair]
//              [--du] [--cold] PATH
//
// --kept-pair walks twice each round, without kept files and with them (which goes first
// alternates), and prints the median of the rounds' ratios: the cost of kept files measured
// against the same moments of a shared machine. Peak memory then covers both walks.
//
// --disk counts the space used on disk, to compare with `du -s -B1 PATH` (and --du then times
// that). --workers: threads that list folders ahead of the walk (0 chooses by the cores, the
// default; -1: the walk makes every system call itself). --cold drops the page cache before
// every timed walk (and du), which needs root; the last line says whether it could.
#include "KeptFiles.h"
#include "MountTable.h"
#include "OutlineGrid.h"
#include "ScanTree.h"
#include "SettingsCatalogue.h"
#include "mdlDrives.h"
#include "mdlFileSearch.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct ScanResult {
    double seconds = 0;
    int folders = 0, rows = 0;
    QString files, bytes;
    std::size_t readAhead = 0;
    std::size_t linkedFiles = 0, linkedPeak = 0;
    std::size_t keptFiles = 0, keptBytes = 0;
    std::uint64_t keptThreshold = 0;
    double listSeconds = 0; // the root's kept files, sorted largest first, as the list shows them
};

ScanResult scanOnce(const QString &path, const QString &pattern, bool disk, int workers,
                    std::size_t keptCap) {
    Settings settings; // Object_Size 2 (MB), no sort
    settings.Match_Parameters = pattern;
    SettingsCatalogue::repair(settings);
    OutlineGrid grid;
    ScanTree tree(grid, settings);
    tree.InitTreeGrid();
    grid.setRedraw(GridRedraw::None);

    mdlFileSearch search(tree);
    search.setWorkers(workers);
    search.ResetSearchParams();
    search.searchParams.Pattern = settings.Match_Parameters;
    search.searchParams.Recurse = settings.Recurse_Subfolders;
    const QString start = mdlFileSearch::NormalizePath(path);
    search.searchParams.StartPath = start;
    search.searchParams.SizeBasis = disk ? SizeBasis::DiskUsage : SizeBasis::FileSize;

    ScanResult result;
    const auto t0 = Clock::now();
    const int root = tree.AddTreeRow(start, 0, mdlDrives::rootRowKind(start, MountTable::current()),
                                     Fixed(), true, Fixed());
    grid.setRowData(root, start);
    if (keptCap > 0)
        search.setKeptFiles(std::make_shared<KeptFiles>(grid.rowDataBytes(root), keptCap));
    search.SearchFolder(start, 1, root);
    result.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    if (const KeptFilesPtr &kept = search.keptFiles()) {
        result.keptFiles = kept->size();
        result.keptBytes = kept->memoryBytes();
        result.keptThreshold = kept->threshold();
        const auto l0 = Clock::now();
        std::vector<std::uint32_t> list = kept->filesUnder(kept->rootPath());
        std::sort(list.begin(), list.end(), [&kept](std::uint32_t a, std::uint32_t b) {
            return kept->file(a).bytes > kept->file(b).bytes;
        });
        result.listSeconds = std::chrono::duration<double>(Clock::now() - l0).count();
    }
    tree.UpdateRoots();
    // Every row below the root but the files rows is a folder. (Reading back every folder's
    // path would cost the square of the depth on a deep chain.)
    for (int r = root + 1; r < grid.rows(); ++r)
        if (!grid.text(r, 0).startsWith(QLatin1StringView("<Files in ")))
            ++result.folders;
    result.rows = grid.rows();
    result.files = grid.text(ScanTree::TopRow, 3);
    result.bytes = grid.text(ScanTree::TopRow, 4);
    result.readAhead = search.peakReadAheadBytes();
    result.linkedFiles = search.linkedFilesSeen();
    result.linkedPeak = search.linkedSetPeakBytes();
    return result;
}

// Writes back dirty pages and drops the page, dentry and inode caches; false when not allowed.
bool dropCaches() {
    ::sync();
    const int fd = ::open("/proc/sys/vm/drop_caches", O_WRONLY);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, "3\n", 2) == 2;
    ::close(fd);
    return ok;
}

double runDu(const QString &path, bool disk) {
    const auto t0 = Clock::now();
    QStringList args{QStringLiteral("-s"), QStringLiteral("-B1"), path};
    if (!disk)
        args.insert(1, QStringLiteral("--apparent-size"));
    QProcess du;
    du.start(QStringLiteral("du"), args);
    du.waitForFinished(-1);
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

QString summary(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const double mid = v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    return QString::asprintf("%.3f (%.3f-%.3f)", mid, v.front(), v.back());
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QString pattern = QStringLiteral("*.*");
    QString path;
    int workers = 0, rounds = 1;
    std::size_t keptCap = Settings().Kept_Files;
    bool withDu = false, cold = false, disk = false, keptPair = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--disk") == 0)
            disk = true;
        else if (std::strcmp(argv[i], "--pattern") == 0 && i + 1 < argc)
            pattern = QString::fromLocal8Bit(argv[++i]);
        else if (std::strcmp(argv[i], "--workers") == 0 && i + 1 < argc)
            workers = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--kept") == 0 && i + 1 < argc)
            keptCap = static_cast<std::size_t>(std::max(0, std::atoi(argv[++i])));
        else if (std::strcmp(argv[i], "--kept-pair") == 0)
            keptPair = true;
        else if (std::strcmp(argv[i], "--du") == 0)
            withDu = true;
        else if (std::strcmp(argv[i], "--cold") == 0)
            cold = true;
        else
            path = QFile::decodeName(argv[i]);
    }
    if (path.isEmpty()) {
        std::fprintf(stderr,
                     "usage: scan_bench [--pattern PATTERN] [--disk] [--workers N] [--rounds N] "
                     "[--kept N] [--kept-pair] [--du] [--cold] PATH\n");
        return 2;
    }

    bool dropped = cold;
    std::vector<double> scans, dus, ratios;
    ScanResult last;
    if (keptPair) {
        // Processor time (user and system, every thread of the process) as well as wall time:
        // on a shared machine it varies less with what else runs.
        const auto processorSeconds = [] {
            struct rusage usage;
            ::getrusage(RUSAGE_SELF, &usage);
            const auto seconds = [](const timeval &t) { return t.tv_sec + t.tv_usec / 1e6; };
            return seconds(usage.ru_utime) + seconds(usage.ru_stime);
        };
        std::vector<double> without, with, costs, cpuCosts;
        for (int r = 0; r < rounds; ++r) {
            double seconds[2] = {0, 0}, cpu[2] = {0, 0}; // without kept files, with them
            for (int turn = 0; turn < 2; ++turn) {
                const int withKept = (r + turn) % 2;
                if (cold)
                    dropped = dropCaches() && dropped;
                const double cpu0 = processorSeconds();
                last = scanOnce(path, pattern, disk, workers, withKept ? keptCap : 0);
                cpu[withKept] = processorSeconds() - cpu0;
                seconds[withKept] = last.seconds;
            }
            without.push_back(seconds[0]);
            with.push_back(seconds[1]);
            costs.push_back(seconds[1] / seconds[0]);
            cpuCosts.push_back(cpu[1] / cpu[0]);
            std::printf("round %d: without_s=%.3f with_kept_s=%.3f ratio=%.3f cpu_ratio=%.3f\n",
                        r + 1, seconds[0], seconds[1], costs.back(), cpuCosts.back());
            std::fflush(stdout);
        }
        std::printf("scan_bench: kept_pair rounds=%d kept_cap=%zu without_s=%s with_kept_s=%s "
                    "with/without=%s cpu_with/without=%s\n",
                    rounds, keptCap, qPrintable(summary(without)), qPrintable(summary(with)),
                    qPrintable(summary(costs)), qPrintable(summary(cpuCosts)));
        return 0;
    }
    for (int r = 0; r < rounds; ++r) {
        if (withDu) {
            if (cold)
                dropped = dropCaches() && dropped;
            dus.push_back(runDu(path, disk));
        }
        if (cold)
            dropped = dropCaches() && dropped;
        last = scanOnce(path, pattern, disk, workers, keptCap);
        scans.push_back(last.seconds);
        if (withDu)
            ratios.push_back(last.seconds / dus.back());
        std::printf("round %d: scan_s=%.3f%s\n", r + 1, last.seconds,
                    withDu ? qPrintable(QString::asprintf(" du_s=%.3f ratio=%.2f", dus.back(),
                                                          ratios.back()))
                           : "");
        std::fflush(stdout);
    }

    struct rusage ru;
    ::getrusage(RUSAGE_SELF, &ru);
    std::printf("scan_bench: basis=%s folders=%d files=%s bytes=%s rows=%d seconds=%.3f "
                "peak_rss_kb=%ld read_ahead_peak_kb=%zu workers=%d linked_files=%zu "
                "linked_set_peak_bytes=%zu\n",
                disk ? "disk" : "size", last.folders, qPrintable(last.files),
                qPrintable(last.bytes), last.rows, median(scans), ru.ru_maxrss,
                last.readAhead / 1024, workers, last.linkedFiles, last.linkedPeak);
    std::printf("scan_bench: rounds=%d scan_s=%s%s\n", rounds, qPrintable(summary(scans)),
                withDu ? qPrintable(QStringLiteral(" du_s=") + summary(dus) +
                                    QStringLiteral(" scan/du=") + summary(ratios))
                       : "");
    std::printf("scan_bench: kept_cap=%zu kept_files=%zu kept_kb=%zu kept_threshold=%llu "
                "largest_list_ms=%.1f\n",
                keptCap, last.keptFiles, last.keptBytes / 1024,
                static_cast<unsigned long long>(last.keptThreshold), last.listSeconds * 1000);
    if (cold)
        std::printf(dropped ? "scan_bench: cold: the page cache was dropped before every walk\n"
                            : "scan_bench: cold: the page cache could NOT be dropped (needs root "
                              "and a writable /proc/sys/vm/drop_caches): the walks ran warm\n");
    else
        std::printf("scan_bench: warm: the page cache was left as it was\n");
    return 0;
}
