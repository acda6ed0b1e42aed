// Folders a walk leaves out: excluded ones, and other file systems when it stays on its own.
#include "MountTable.h"
#include "ScanFixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <sys/mount.h>

namespace {

struct LimitedWalk {
    ScanFixture f;
    std::mutex mutex;
    std::set<std::string> opened; // every name the walk's open seam was asked for

    explicit LimitedWalk(int workers) {
        f.search.setWorkers(workers);
        f.search.setOpenDirFunction([this](int fd, const char *name) {
            std::lock_guard lock(mutex);
            opened.insert(name);
            return FolderReader::openDirectory(fd, name);
        });
    }
    int row(const QString &name) const {
        for (int r = 0; r < f.grid.rows(); ++r)
            if (f.grid.text(r, TreeCol::Name) == name)
                return r;
        ADD_FAILURE() << "no row " << name.toStdString();
        return 0;
    }
};

} // namespace

TEST(WalkLimits, ExcludedFoldersKeepAMarkedEmptyRowAndAreNeverOpened) {
    QTemporaryDir dir;
    const QByteArray root = tempPath(dir) + "/root/";
    for (const char *folder : {"", "keep", "cache", "cache/deep", "x", "x/node_modules", "x/y"})
        makeDir(root + folder);
    makeFile(root + "keep/a", 10);
    makeFile(root + "cache/b", 100);
    makeFile(root + "x/node_modules/c", 1000);
    makeFile(root + "x/y/node_modules", 7); // a file of an excluded name still counts

    for (int workers : {-1, 2}) {
        SCOPED_TRACE(workers);
        LimitedWalk w(workers);
        w.f.search.searchParams.ExcludeFolders =
            QStringLiteral(" CACHE ; ") + QFile::decodeName(root) + QStringLiteral("x/node_*/");
        const int top = w.f.scan(root);
        for (const char *never : {"cache", "deep", "node_modules"})
            EXPECT_EQ(w.opened.count(never), 0u) << never;
        EXPECT_EQ(w.opened.count("keep"), 1u);
        EXPECT_EQ(w.f.tree.cellValue(top, TreeCol::Bytes).whole(), 17);
        for (const QString name : {"cache", "node_modules"}) {
            const int r = w.row(name);
            EXPECT_EQ(w.f.tree.cellValue(r, TreeCol::Bytes).whole(), 0);
            EXPECT_TRUE(w.f.grid.cellItalic(r, TreeCol::Name));
            EXPECT_EQ(w.f.grid.cellNote(r, TreeCol::Name), "Not scanned: excluded in the options");
        }
        EXPECT_FALSE(w.f.grid.cellItalic(w.row("keep"), TreeCol::Name));
        EXPECT_EQ(w.f.search.unreadableFolders(), 0u);
    }
}

TEST(WalkLimits, StayingOnTheFileSystemStopsAtAFolderWhereAnotherIsMounted) {
    QTemporaryDir dir;
    QByteArray root = tempPath(dir) + "/root/";
    makeDir(root);
    makeDir(root + "mnt");
    makeDir(root + "plain");
    makeFile(root + "plain/a", 10);
    // A real tmpfs where the system lets this test mount one (as root); otherwise a mount table
    // that says one is there, which the walk believes just the same.
    const bool mounted = ::mount("tmpfs", (root + "mnt").constData(), "tmpfs", 0, "size=1m") == 0;
    makeFile(root + "mnt/b", 5000);
    std::shared_ptr<const MountTable> table;
    if (!mounted) {
        char *real = ::realpath(root.constData(), nullptr);
        ASSERT_NE(real, nullptr);
        table = std::make_shared<MountTable>(
            MountTable::parse("40 1 0:99 / " + QByteArray(real) + "/mnt rw - tmpfs tmpfs rw\n"));
        std::free(real);
    }
    for (bool stay : {false, true}) {
        for (int workers : {-1, 2}) {
            SCOPED_TRACE(std::to_string(stay) + " " + std::to_string(workers));
            LimitedWalk w(workers);
            if (table)
                w.f.search.setMountTable(table);
            w.f.search.searchParams.StayOnFileSystem = stay;
            const int top = w.f.scan(root);
            EXPECT_EQ(w.f.tree.cellValue(top, TreeCol::Bytes).whole(), stay ? 10 : 5010);
            EXPECT_EQ(w.opened.count("mnt"), stay ? 0u : 1u);
            EXPECT_EQ(w.f.grid.cellNote(w.row("mnt"), TreeCol::Name),
                      stay ? "Not scanned: another file system is mounted here" : "");
        }
    }
    if (mounted)
        ::umount((root + "mnt").constData());
    else
        std::printf(
            "[   NOTE   ] no tmpfs could be mounted (needs root); the mount table was given\n");
}
