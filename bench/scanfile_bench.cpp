// Opens a saved scan (ncdu's JSON export format) the way the program does and prints the
// entries read, the rows made, the wall time and the peak memory. Without a file it writes one
// first: a generated tree of ENTRIES entries (default one million), a hundred files a folder.
//
//   scanfile_bench [FILE.json | --make ENTRIES FILE.json]
#include "OutlineGrid.h"
#include "ScanFile.h"
#include "ScanTree.h"

#include <QCoreApplication>
#include <QFile>

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

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QString path = QStringLiteral("/tmp/scanfile_bench.json");
    long entries = 1000000;
    if (argc == 4 && std::strcmp(argv[1], "--make") == 0) {
        entries = std::atol(argv[2]);
        path = QFile::decodeName(argv[3]);
    } else if (argc == 2) {
        path = QFile::decodeName(argv[1]);
        entries = 0;
    }
    if (entries > 0 && !makeFile(QFile::encodeName(path).constData(), entries)) {
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
    try {
        ScanFile::Open(tree, path, &info);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("entries=%llu rows=%d open_s=%.3f peak_rss_mb=%.1f bytes=%s\n",
                static_cast<unsigned long long>(info.entries), grid.rows(), seconds,
                usage.ru_maxrss / 1024.0, qPrintable(grid.text(ScanTree::TopRow, TreeCol::Bytes)));
    return 0;
}
