// Opens a saved scan (ncdu's JSON export format) the way the program does and prints the
// entries read, the rows made, the wall time and the peak memory. Without a file it writes one
// first: a generated tree of ENTRIES entries (default one million), a hundred files a folder;
// --make-deep writes a chain of LEVELS folders each inside the one before, one file each.
//
//   scanfile_bench [FILE.json | --make ENTRIES FILE.json | --make-deep LEVELS FILE.json]
#include "OutlineGrid.h"
#include "ScanFile.h"
#include "ScanTree.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>

namespace {

// ncdu -o style: every file its own entry.
bool makeFile(const char *path, long entries) {
    std::FILE *f = std::fopen(path, "wb");
    if (!f)
        return false;
    std::fputs("[1,2,{\"progname\":\"scanfile_bench\"},\n[{\"name\":\"/bench\"}", f);
    long written = 0;
    for (long d = 0; written < entries; ++d) {
        std::fprintf(f, ",\n[{\"name\":\"folder %ld\",\"asize\":4096}", d);
        ++written;
        for (int i = 0; i < 100 && written < entries; ++i, ++written)
            std::fprintf(f,
                         ",\n{\"name\":\"file-%d.dat\",\"asize\":%ld,\"dsize\":4096,\"ino\":%ld}",
                         i, (written * 7919) % 1000003, written);
        std::fputs("]", f);
    }
    std::fputs("]]\n", f);
    return std::fclose(f) == 0;
}

bool makeDeepFile(const char *path, long levels) {
    std::FILE *f = std::fopen(path, "wb");
    if (!f)
        return false;
    std::fputs("[1,2,{\"progname\":\"scanfile_bench\"},\n[{\"name\":\"/bench\"}", f);
    for (long d = 0; d < levels; ++d)
        std::fputs(",\n{\"name\":\"f\",\"asize\":100},[{\"name\":\"c\"}", f);
    for (long d = 0; d < levels; ++d)
        std::fputc(']', f);
    std::fputs("]]\n", f);
    return std::fclose(f) == 0;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QString path = QStringLiteral("/tmp/scanfile_bench.json");
    long entries = 1000000;
    bool deep = false;
    if (argc == 4 && std::strcmp(argv[1], "--make-deep") == 0) {
        entries = std::atol(argv[2]);
        path = QFile::decodeName(argv[3]);
        deep = true;
    } else if (argc == 4 && std::strcmp(argv[1], "--make") == 0) {
        entries = std::atol(argv[2]);
        path = QFile::decodeName(argv[3]);
    } else if (argc == 2) {
        path = QFile::decodeName(argv[1]);
        entries = 0;
    }
    const QByteArray native = QFile::encodeName(path);
    if (entries > 0 && !(deep ? makeDeepFile(native.constData(), entries)
                              : makeFile(native.constData(), entries))) {
        std::fprintf(stderr, "cannot write %s\n", QFile::encodeName(path).constData());
        return 2;
    }

    Settings settings;
    OutlineGrid grid;
    ScanTree tree(grid, settings);
    tree.InitTreeGrid();
    grid.setRedraw(GridRedraw::None);
    const auto start = std::chrono::steady_clock::now();
    ScanFile::Info info;
    // Paced as the program paces it, turning the event loop; the longest stretch between two
    // turns is what a window would freeze for.
    auto last = start;
    double maxGapMs = 0;
    long long maxGapAt = 0; // entries read when it ended; -1 for the end of the reading
    const ScanFile::Pace pace{[&](std::uint64_t entries) {
        const auto now = std::chrono::steady_clock::now();
        const double gap = std::chrono::duration<double, std::milli>(now - last).count();
        if (gap > maxGapMs) {
            maxGapMs = gap;
            maxGapAt = static_cast<long long>(entries);
        }
        QCoreApplication::processEvents();
        last = std::chrono::steady_clock::now();
    }};
    try {
        ScanFile::Open(tree, path, &info, ScanFile::maxDepth(), pace);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    const auto end = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(end - start).count();
    if (const double gap = std::chrono::duration<double, std::milli>(end - last).count();
        gap > maxGapMs) {
        maxGapMs = gap;
        maxGapAt = -1;
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("entries=%llu rows=%d open_s=%.3f max_gap_ms=%.1f max_gap_at=%lld "
                "peak_rss_mb=%.1f bytes=%s\n",
                static_cast<unsigned long long>(info.entries), grid.rows(), seconds, maxGapMs,
                maxGapAt, usage.ru_maxrss / 1024.0,
                qPrintable(grid.text(ScanTree::TopRow, TreeCol::Bytes)));
    return 0;
}
