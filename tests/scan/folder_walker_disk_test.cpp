// The walk in the disk basis, against `du -s -B1` of the same folders.
#include "InodeSet.h"
#include "ScanFixture.h"

#include <QHash>
#include <QProcess>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

// `du -s -B1` of a path: the bytes allocated below it, each file of several names once.
qint64 du(const QByteArray &path) {
    QProcess p;
    p.start(QStringLiteral("du"),
            {QStringLiteral("-s"), QStringLiteral("-B1"), QFile::decodeName(path)});
    p.waitForFinished(60000);
    return p.readAllStandardOutput().split('\t').value(0).toLongLong();
}

// `du -B1` of a tree in one pass: every folder's bytes by its path relative to `root`, each file
// of several names counted in the folder where that pass met it first.
QHash<QByteArray, qint64> duOfEachFolder(const QByteArray &root) {
    QProcess p;
    p.start(QStringLiteral("du"), {QStringLiteral("-B1"), QFile::decodeName(root)});
    p.waitForFinished(60000);
    QHash<QByteArray, qint64> out;
    for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
        const qsizetype tab = line.indexOf('\t');
        if (tab > 0)
            out.insert(line.mid(tab + 1).mid(root.size() + 1), line.left(tab).toLongLong());
    }
    return out;
}

void writeFile(const QByteArray &path, qint64 size, char fill = 'x') {
    QFile f(QFile::decodeName(path));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(QByteArray(size, fill)), size);
}

// A file that claims `size` bytes and holds data only in its first and last block.
void writeSparse(const QByteArray &path, qint64 size) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ASSERT_EQ(::pwrite(fd, "head", 4, 0), 4);
    ASSERT_EQ(::pwrite(fd, "tail", 4, size - 4), 4);
    ::close(fd);
}

void link(const QByteArray &from, const QByteArray &to) {
    ASSERT_EQ(::link(from.constData(), to.constData()), 0) << to.constData();
}

qint64 allocated(const QByteArray &path) {
    struct stat st;
    return ::lstat(path.constData(), &st) == 0 ? qint64(st.st_blocks) * 512 : -1;
}

class DiskBasisWalk : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ScanFixture s;
    QByteArray base() const { return tempPath(dir) + '/'; }

    void SetUp() override { s.settings.Object_Size = 0; }

    int scanOnDisk(const QByteArray &path) {
        s.search.ResetSearchParams();
        s.search.searchParams.SizeBasis = SizeBasis::DiskUsage;
        return s.scan(path);
    }
    qint64 bytes(int row) const { return s.grid.text(row, TreeCol::Bytes).toLongLong(); }
    qint64 files(int row) const { return s.grid.text(row, TreeCol::Files).toLongLong(); }
    // The row of a child by name.
    int child(int row, const QString &name) const {
        for (int c : s.children(row))
            if (s.grid.text(c, TreeCol::Name) == name)
                return c;
        return -1;
    }
};

TEST_F(DiskBasisWalk, SparseFilesEmptyAndDeepFoldersTotalAsDuDoes) {
    const QByteArray b = base();
    makeDir(b + "vm");
    writeSparse(b + "vm/disk.img", qint64(2) << 30); // 2 GiB claimed, two blocks used
    writeFile(b + "vm/notes.txt", 10);
    makeDir(b + "empty");
    makeDir(b + "full");
    for (int i = 0; i < 20; ++i)
        writeFile(b + "full/f" + QByteArray::number(i), 1000 * i + 1);
    QByteArray deep = b + "deep";
    for (int i = 0; i < 60; ++i) {
        makeDir(deep);
        writeFile(deep + "/x", 100 + i);
        deep += "/d";
    }
    writeFile(b + "top.bin", 70000);
    ASSERT_EQ(::symlink("full/f3", (b + "link").constData()), 0);

    const int root = scanOnDisk(b);
    EXPECT_EQ(bytes(root), du(b));
    EXPECT_EQ(files(root), 2 + 20 + 60 + 2); // the link is a file of its own
    for (const char *name : {"vm", "empty", "full", "deep"})
        EXPECT_EQ(bytes(child(root, QString::fromLatin1(name))), du(b + name)) << name;
    // The sparse image counts the blocks it holds, far below its size.
    const int vm = child(root, QStringLiteral("vm"));
    EXPECT_LT(bytes(vm), qint64(1) << 20);
    // An empty folder counts its own blocks, with no file.
    const int empty = child(root, QStringLiteral("empty"));
    EXPECT_EQ(bytes(empty), allocated(b + "empty"));
    EXPECT_EQ(files(empty), 0);
}

TEST_F(DiskBasisWalk, AFileOfSeveralNamesCountsOnceWhereTheWalkMeetsItFirst) {
    const QByteArray b = base();
    makeDir(b + "a");
    makeDir(b + "b");
    makeDir(b + "b/c");
    writeFile(b + "a/x", 50000);
    link(b + "a/x", b + "a/y");   // twice in one folder
    link(b + "a/x", b + "b/z");   // and in another
    link(b + "a/x", b + "b/c/w"); // and deeper
    writeFile(b + "b/own", 3000);

    const int root = scanOnDisk(b);
    const qint64 x = allocated(b + "a/x");
    ASSERT_GT(x, 0);
    EXPECT_EQ(bytes(root), du(b));
    EXPECT_EQ(files(root), 5); // every name is still a file
    // Walk order without a sort is the order of the rows; the first folder met holds the space.
    const int a = child(root, QStringLiteral("a")), bRow = child(root, QStringLiteral("b"));
    ASSERT_GE(a, 0);
    ASSERT_GE(bRow, 0);
    const qint64 ownFolders = allocated(b + "a") + allocated(b + "b") + allocated(b + "b/c");
    if (a < bRow) {
        EXPECT_EQ(bytes(a), allocated(b + "a") + x);
        EXPECT_EQ(bytes(bRow), allocated(b + "b") + allocated(b + "b/c") + allocated(b + "b/own"));
    } else {
        EXPECT_EQ(bytes(a), allocated(b + "a"));
    }
    EXPECT_EQ(bytes(a) + bytes(bRow), ownFolders + x + allocated(b + "b/own"));

    // A second scan of the same tree counts the same: nothing is remembered between walks.
    const int again = scanOnDisk(b);
    EXPECT_EQ(bytes(again), bytes(root));
    EXPECT_EQ(s.search.linkedFilesSeen(), 1u);
}

// Files of exactly two names, holding data, in one folder, in a folder and its subfolder, and in
// two sibling folders. A single pass of du meets siblings in the order the walk enters them (both
// follow the order the parent lists them in), so there each folder's bytes must be du's. Between
// a folder and its subfolder du's order depends on where the subfolder comes in the listing,
// while the walk settles a folder's own files before any subfolder's: there the subfolder is
// checked against that rule, and the folder itself, which holds both names, against du.
TEST_F(DiskBasisWalk, FilesOfTwoNamesCountOnceInTheFolderTheWalkMeetsThemIn) {
    const QByteArray b = base();
    for (const char *folder : {"same", "up", "up/down", "left", "right"})
        makeDir(b + folder);
    const std::pair<const char *, qint64> data[] = {{"solo", 9000},    {"same/x", 12000},
                                                    {"up/x", 20000},   {"up/down/own", 3000},
                                                    {"left/x", 30000}, {"right/own", 7000}};
    for (const auto &[name, size] : data) {
        writeFile(b + name, size);
        ASSERT_GT(allocated(b + name), 0) << name;
    }
    link(b + "same/x", b + "same/y");
    link(b + "up/x", b + "up/down/y");
    link(b + "left/x", b + "right/y");

    const int root = scanOnDisk(b);
    const QHash<QByteArray, qint64> du = duOfEachFolder(tempPath(dir));
    const qint64 downByRule = allocated(b + "up/down") + allocated(b + "up/down/own");
    const std::pair<QByteArray, qint64> expected[] = {
        {"", du.value("")},      {"same", du.value("same")}, {"up", du.value("up")},
        {"up/down", downByRule}, {"left", du.value("left")}, {"right", du.value("right")}};
    for (const auto &[folder, bytesExpected] : expected) {
        int row = root;
        for (const QByteArray &name : folder.split('/'))
            if (!name.isEmpty())
                row = child(row, QString::fromLatin1(name));
        ASSERT_GE(row, 0) << folder.constData();
        EXPECT_GT(bytesExpected, 0) << folder.constData();
        EXPECT_EQ(bytes(row), bytesExpected) << folder.constData();
    }
    EXPECT_EQ(s.search.linkedFilesSeen(), 3u);
}

TEST_F(DiskBasisWalk, ANameOutsideTheScannedFolderLeavesTheFileCountedInside) {
    const QByteArray b = base();
    makeDir(b + "in");
    makeDir(b + "out");
    writeFile(b + "in/data", 40000);
    link(b + "in/data", b + "out/data");
    const int root = scanOnDisk(b + "in");
    EXPECT_EQ(bytes(root), du(b + "in"));
    EXPECT_EQ(bytes(root), allocated(b + "in") + allocated(b + "in/data"));
}

TEST_F(DiskBasisWalk, TheSizeBasisStaysAsItWas) {
    const QByteArray b = base();
    makeDir(b + "sub");
    writeSparse(b + "sub/sparse", 5000000);
    writeFile(b + "sub/x", 1234);
    link(b + "sub/x", b + "y");
    const int root = s.scan(b);                    // the default basis
    EXPECT_EQ(bytes(root), 5000000 + 1234 + 1234); // sizes, each name, no folder blocks
    EXPECT_EQ(files(root), 3);
    EXPECT_EQ(s.search.linkedFilesSeen(), 0u);
}

TEST(InodeSet, CountsEachFileOnceWithinSixteenBytesEach) {
    InodeSet set;
    EXPECT_TRUE(set.insert(7, 0)); // inode 0 cannot be kept in a slot; it is kept apart
    EXPECT_FALSE(set.insert(7, 0));
    EXPECT_TRUE(set.insert(8, 0));
    std::size_t n = 2;
    for (std::uint64_t i = 1; i <= 300000; ++i) {
        // Inode numbers in runs on two devices, and a few far apart.
        const std::uint64_t inode = i % 1000 == 0 ? ~std::uint64_t(0) - i : i;
        ASSERT_TRUE(set.insert(i % 3 == 0 ? 7 : 9, inode)) << i;
        ++n;
        if (n >= 20000 && n % 5000 == 0) {
            ASSERT_LE(set.peakBytes(), 16 * n) << n;
        }
    }
    EXPECT_EQ(set.size(), n);
    for (std::uint64_t i = 1; i <= 300000; i += 7) {
        const std::uint64_t inode = i % 1000 == 0 ? ~std::uint64_t(0) - i : i;
        EXPECT_FALSE(set.insert(i % 3 == 0 ? 7 : 9, inode)) << i;
    }
    // The same inode number on another device is another file.
    EXPECT_TRUE(set.insert(7, 1));
    EXPECT_TRUE(set.insert(9, 3));
    EXPECT_EQ(set.size(), n + 2);
    set.clear();
    EXPECT_EQ(set.size(), 0u);
    EXPECT_TRUE(set.insert(9, 1));
}

} // namespace
