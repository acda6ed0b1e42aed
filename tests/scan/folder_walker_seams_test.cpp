// The walker where the file system does not report entry types, and where files vanish between
// being listed and being sized: both fed through the walker's system-call seams.
#include "ScanFixture.h"

#include "AppError.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <set>
#include <string>

namespace {

// Reads entries as the system does, then blanks every entry's type, as some file systems
// (and overlay or network ones at times) report them.
long readWithoutTypes(int fd, char *buffer, std::size_t size) {
    const long got = FolderReader::readDirectory(fd, buffer, size);
    for (long pos = 0; pos < got;) {
        unsigned short reclen = 0;
        std::memcpy(&reclen, buffer + pos + 16, sizeof reclen);
        buffer[pos + 18] = static_cast<char>(DT_UNKNOWN);
        pos += reclen;
    }
    return got;
}

class WalkerSeams : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ScanFixture s;
    QByteArray base() const { return tempPath(dir) + '/'; }

    int childNamed(int parent, const QString &name) const {
        for (int c : s.children(parent))
            if (s.grid.text(c, 0) == name)
                return c;
        return -1;
    }
};

TEST_F(WalkerSeams, FoldersOfUnknownTypeAreFoundByStatAndWalked) {
    makeDir(base() + "sub");
    makeDir(base() + "sub/inner");
    makeFile(base() + "sub/inner/deep", 300);
    makeFile(base() + "sub/f", 20);
    makeFile(base() + "top", 1);
    ASSERT_EQ(::symlink("sub", (base() + "link").constData()), 0);
    s.search.setReadDirFunction(&readWithoutTypes);
    std::set<std::string> statted;
    s.search.setWorkers(-1); // the set of names below is not for several threads
    s.search.setStatFunction([&](int fd, const char *name, struct stat *st) {
        statted.insert(name);
        return FolderReader::statEntry(fd, name, st);
    });
    const int root = s.scan(base());
    const int sub = childNamed(root, "sub");
    ASSERT_GE(sub, 0);
    const int inner = childNamed(sub, "inner");
    ASSERT_GE(inner, 0);
    EXPECT_EQ(s.grid.rowDataBytes(inner), base() + "sub/inner/");
    EXPECT_EQ(s.grid.text(inner, 4), "300");
    EXPECT_EQ(s.grid.text(sub, 3), "2");
    EXPECT_EQ(s.grid.text(sub, 4), "320");
    // The link is a file of its own size (3 bytes: "sub"), not a second way into "sub".
    EXPECT_EQ(childNamed(root, "link"), -1);
    EXPECT_EQ(s.grid.text(root, 3), "4");
    EXPECT_EQ(s.grid.text(root, 4), "324");
    EXPECT_EQ(s.yields, 3);
    // Every entry's type had to be asked, folders' too, and each entry only once.
    EXPECT_TRUE(statted.count("sub") && statted.count("inner") && statted.count("top"));
}

TEST_F(WalkerSeams, AFileThatVanishesBeforeItIsSizedCountsWithZeroBytes) {
    makeFile(base() + "gone", 5000);
    makeFile(base() + "kept", 7);
    makeDir(base() + "later");
    makeFile(base() + "later/f", 11);
    s.search.setStatFunction([](int fd, const char *name, struct stat *st) {
        if (std::strcmp(name, "gone") == 0) {
            errno = ENOENT;
            return -1;
        }
        return FolderReader::statEntry(fd, name, st);
    });
    const int root = s.scan(base());
    const int files = s.children(root).back();
    EXPECT_EQ(s.grid.text(files, 3), "2");
    EXPECT_EQ(s.grid.text(files, 4), "7");
    const int later = childNamed(root, "later");
    ASSERT_GE(later, 0);
    EXPECT_EQ(s.grid.text(later, 4), "11");
    EXPECT_EQ(s.grid.text(root, 3), "3");
    EXPECT_EQ(s.grid.text(root, 4), "18");
}

TEST_F(WalkerSeams, AnEntryOfUnknownTypeThatVanishesIsAFileOfZeroBytes) {
    makeDir(base() + "was-a-folder");
    makeFile(base() + "f", 9);
    s.search.setReadDirFunction(&readWithoutTypes);
    s.search.setStatFunction([](int fd, const char *name, struct stat *st) {
        if (std::strcmp(name, "was-a-folder") == 0) {
            errno = ENOENT;
            return -1;
        }
        return FolderReader::statEntry(fd, name, st);
    });
    const int root = s.scan(base());
    ASSERT_EQ(s.children(root).size(), 1u); // no folder row: only the files row
    EXPECT_EQ(s.grid.text(root + 1, 3), "2");
    EXPECT_EQ(s.grid.text(root + 1, 4), "9");
}

TEST_F(WalkerSeams, ABigFolderYieldsWhileItIsReadAndAnAbortThereStopsTheReading) {
    makeDir(base() + "big");
    for (int i = 0; i < 3000; ++i)
        makeFile(base() + "big/f" + QByteArray::number(i), 1);
    s.search.setWorkers(-1); // the walk's own thread reads the folder
    int reads = 0;           // getdents calls on the big folder
    int bigFd = -1;
    s.search.setOpenDirFunction([&](int fd, const char *name) {
        const int opened = FolderReader::openDirectory(fd, name);
        if (std::strcmp(name, "big") == 0)
            bigFd = opened;
        return opened;
    });
    s.search.setReadDirFunction([&](int fd, char *buffer, std::size_t) -> long {
        reads += fd == bigFd;
        return FolderReader::readDirectory(fd, buffer, 4096); // about 150 entries a call
    });

    // Without time passing between them, only the two folders opened yield.
    s.search.setInFolderYieldGap(std::chrono::hours(1));
    s.scan(base());
    EXPECT_EQ(s.yields, 2);
    const int allReads = reads;
    ASSERT_GT(allReads, 10);

    // When reading takes long, the folder yields every few hundred entries: 3002 entries
    // ("." and ".." too) give five more yields.
    s.grid.setRows(2);
    s.yields = 0;
    s.search.setInFolderYieldGap(std::chrono::steady_clock::duration::zero());
    int root = s.scan(base());
    EXPECT_EQ(s.yields, 2 + 5);
    EXPECT_EQ(s.grid.text(root, 3), "3000");

    // Abort pressed at the first of them stops the reading there: the folder keeps its row,
    // gets no files row, and the rest of its entries are never read.
    s.grid.setRows(2);
    s.yields = 0;
    reads = 0;
    s.onYield = [&] {
        if (s.yields == 3)
            s.search.AbortRequested = true;
    };
    EXPECT_THROW(s.scan(base()), AppError);
    EXPECT_EQ(s.yields, 3);
    EXPECT_LT(reads, allReads / 2);
    root = 2;
    ASSERT_EQ(s.grid.rows(), root + 2);
    EXPECT_EQ(s.grid.text(root + 1, 0), "big");
    EXPECT_FALSE(s.grid.isCollapsed(root + 1));
}

} // namespace
