#include "MountTable.h"
#include "ScanFixture.h"

#include "AppError.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

namespace {

// Removes a tree however deep, relative to descriptors.
void removeTree(int parentFd, const char *name) {
    const int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (fd < 0) {
        ::unlinkat(parentFd, name, 0);
        return;
    }
    DIR *d = ::fdopendir(fd);
    std::vector<std::string> names;
    while (dirent *e = ::readdir(d))
        if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, ".."))
            names.emplace_back(e->d_name);
    for (const auto &n : names)
        removeTree(::dirfd(d), n.c_str());
    ::closedir(d);
    ::unlinkat(parentFd, name, AT_REMOVEDIR);
}

class FolderWalker : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ScanFixture s;
    QByteArray base() const { return tempPath(dir) + '/'; }
    QString baseText() const { return QString::fromUtf8(base()); }

    // QTemporaryDir cannot remove names that are not UTF-8 or paths beyond PATH_MAX.
    void TearDown() override {
        const int fd = ::open(base().constData(), O_RDONLY | O_DIRECTORY);
        DIR *d = ::fdopendir(fd);
        std::vector<std::string> names;
        while (dirent *e = ::readdir(d))
            if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, ".."))
                names.emplace_back(e->d_name);
        for (const auto &n : names)
            removeTree(::dirfd(d), n.c_str());
        ::closedir(d);
    }
};

TEST_F(FolderWalker, EmptyFolderGetsOneFilesRowOfZeros) {
    const int root = s.scan(base());
    ASSERT_EQ(s.grid.rows(), root + 2);
    EXPECT_EQ(s.line(root + 1), "1|<Files in " + baseText().toStdString() + ">|0|MB|0|0");
    EXPECT_EQ(s.grid.cellPicture(root + 1, 0), s.tree.pictureId(TreePicture::File));
    EXPECT_EQ(s.line(root), "0|" + baseText().toStdString() + "|0|MB|0|0");
    EXPECT_TRUE(s.grid.isCollapsed(root));
    EXPECT_EQ(s.yields, 1);
}

TEST_F(FolderWalker, ThreeFilesAddUpInTheFilesRowAndTheRoot) {
    makeFile(base() + "a", 10);
    makeFile(base() + "b.txt", 20);
    makeFile(base() + ".hidden", 30);
    const int root = s.scan(base());
    ASSERT_EQ(s.children(root), std::vector<int>{root + 1});
    // 60 bytes in MB with fifteen significant digits; the root holds it rounded to 4 decimals.
    EXPECT_EQ(s.line(root + 1),
              "1|<Files in " + baseText().toStdString() + ">|0.000057220458984375|MB|3|60");
    EXPECT_EQ(s.line(root), "0|" + baseText().toStdString() + "|0.0001|MB|3|60");
    EXPECT_EQ(s.line(ScanTree::TopRow), "-1|Scans|0.0001|MB|3|60");
}

TEST_F(FolderWalker, NestedFoldersComeDepthFirstWithFilesRowsLast) {
    makeDir(base() + "a");
    makeDir(base() + "a/b");
    makeFile(base() + "top", 1);
    makeFile(base() + "a/f1", 1048576);
    makeFile(base() + "a/b/f2", 3 * 1048576);
    const int root = s.scan(base());
    const std::string b = baseText().toStdString();
    const std::vector<std::string> expected = {
        "0|" + b + "|4|MB|3|4194305",
        "1|a|4|MB|2|4194304",
        "2|b|3|MB|1|3145728",
        "3|<Files in b>|3|MB|1|3145728",
        "2|<Files in a>|1|MB|1|1048576",
        "1|<Files in " + b + ">|0.00000095367431640625|MB|1|1",
    };
    ASSERT_EQ(s.grid.rows(), root + 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(s.line(root + i), expected[static_cast<std::size_t>(i)]) << "row " << i;
    EXPECT_EQ(s.grid.rowDataBytes(root + 1), base() + "a/");
    EXPECT_EQ(s.grid.rowDataBytes(root + 2), base() + "a/b/");
    EXPECT_TRUE(s.grid.rowDataBytes(root + 3).isEmpty());
    for (int r : {root, root + 1, root + 2})
        EXPECT_TRUE(s.grid.isCollapsed(r));
    EXPECT_EQ(s.grid.cellPicture(root + 1, 0), s.tree.pictureId(TreePicture::Folder));
    EXPECT_EQ(s.yields, 3);
    EXPECT_EQ(s.search.statusText(), QString::fromUtf8(base() + "a/b"));
}

TEST_F(FolderWalker, StatusPanelGetsTheFolderEnteredLastAtEachYieldAndAtTheEnd) {
    makeDir(base() + "a");
    makeDir(base() + "a/b");
    makeDir(base() + "c");
    std::vector<QString> shown;
    s.search.setStatusSink([&](const QString &text) { shown.push_back(text); });
    s.search.setYieldFunction([&] { shown.push_back(QStringLiteral("yield")); });
    s.search.searchParams.Recurse = false;
    s.scan(base());
    // Recurse off: one folder opened, one yield; the last subfolder listed shows at the end,
    // in the order the file system lists them.
    QByteArray lastListed;
    DIR *listing = ::opendir(base().constData());
    ASSERT_NE(listing, nullptr);
    while (const dirent *e = ::readdir(listing))
        if (e->d_name == QByteArray("a") || e->d_name == QByteArray("c"))
            lastListed = e->d_name;
    ::closedir(listing);
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[1], "yield");
    EXPECT_EQ(shown[2], QString::fromUtf8(base() + lastListed));
}

TEST_F(FolderWalker, EachFolderIsSortedOnceComplete) {
    for (const char *name : {"zeta", "alpha", "Mid"}) {
        makeDir(base() + name);
        makeFile(base() + name + "/x", 100);
        makeDir(base() + name + "/inner");
    }
    s.grid.setColSort(0, GridSort::GenericAscending);
    const int root = s.scan(base());
    std::vector<std::string> names;
    for (int c : s.children(root))
        names.push_back(s.grid.text(c, 0).toStdString());
    EXPECT_EQ(names, (std::vector<std::string>{"<Files in " + baseText().toStdString() + ">",
                                               "alpha", "Mid", "zeta"}));
    // Each subtree moved with its folder.
    for (int c : s.children(root)) {
        const QString name = s.grid.text(c, 0);
        if (name.startsWith(u'<'))
            continue;
        const auto kids = s.children(c);
        ASSERT_EQ(kids.size(), 2u);
        EXPECT_EQ(s.grid.text(kids[0], 0), "<Files in " + name + ">");
        EXPECT_EQ(s.grid.text(kids[1], 0), "inner");
        EXPECT_EQ(s.grid.rowDataBytes(kids[1]), base() + name.toUtf8() + "/inner/");
    }
}

TEST_F(FolderWalker, RecurseOffListsSubfoldersWithoutEnteringThem) {
    makeDir(base() + "sub1");
    makeFile(base() + "sub1/deep", 5000);
    makeDir(base() + "sub2");
    makeFile(base() + "f", 7);
    s.search.searchParams.Recurse = false;
    const int root = s.scan(base());
    const auto kids = s.children(root);
    ASSERT_EQ(kids.size(), 3u);
    for (int i : {0, 1}) {
        EXPECT_FALSE(s.grid.hasChildren(kids[static_cast<std::size_t>(i)]));
        EXPECT_EQ(s.grid.text(kids[static_cast<std::size_t>(i)], 4), "0");
    }
    EXPECT_EQ(s.line(kids[2]),
              "1|<Files in " + baseText().toStdString() + ">|0.00000667572021484375|MB|1|7");
    EXPECT_EQ(s.grid.text(root, 4), "7");
    EXPECT_EQ(s.yields, 1);
}

TEST_F(FolderWalker, PatternCountsOnlyMatchingFilesButWalksEveryFolder) {
    makeFile(base() + "a.mp3", 300);
    makeFile(base() + "b.doc", 5000);
    makeDir(base() + "sub.doc");
    makeFile(base() + "sub.doc/c.MP2", 20);
    makeFile(base() + "sub.doc/d.mp30", 1);
    s.search.searchParams.Pattern = QStringLiteral("*.mp3;*.mp2;*.mp1");
    const int root = s.scan(base());
    const auto kids = s.children(root);
    ASSERT_EQ(kids.size(), 2u);
    EXPECT_EQ(s.grid.text(kids[0], 0), "sub.doc");
    EXPECT_EQ(s.grid.text(kids[0], 3), "1");
    EXPECT_EQ(s.grid.text(kids[0], 4), "20");
    EXPECT_EQ(s.grid.text(kids[1], 3), "1");
    EXPECT_EQ(s.grid.text(kids[1], 4), "300");
    EXPECT_EQ(s.grid.text(root, 4), "320");
    // Every entry paces the abort test, matching or not, "." and ".." included.
    EXPECT_EQ(s.search.searchParams.EntriesSeen, 5u + 4u);
}

TEST_F(FolderWalker, FolderThatCannotBeOpenedGetsAnEmptyFilesRow) {
    makeDir(base() + "locked");
    makeFile(base() + "locked/secret", 999);
    makeDir(base() + "locked/inside");
    makeDir(base() + "open");
    makeFile(base() + "open/f", 5);
    // Tests run as root, where permissions deny nothing: refuse the folder at the open call.
    s.search.setOpenDirFunction([](int fd, const char *name) {
        if (std::strcmp(name, "locked") == 0) {
            errno = EACCES;
            return -1;
        }
        return mdlFileSearch::openDirectory(fd, name);
    });
    const int root = s.scan(base());
    int locked = -1;
    for (int c : s.children(root))
        if (s.grid.text(c, 0) == "locked")
            locked = c;
    ASSERT_GE(locked, 0);
    ASSERT_EQ(s.children(locked).size(), 1u);
    EXPECT_EQ(s.line(locked + 1), "2|<Files in locked>|0|MB|0|0");
    EXPECT_EQ(s.grid.text(root, 4), "5");
    EXPECT_EQ(s.yields, 2); // the refused folder is not yielded for
}

TEST_F(FolderWalker, SparseFilesOver4GiBAreSizedExactly) {
    const qint64 big = (qint64(5) << 30) + 3;                   // 5 GiB + 3
    const qint64 lowHalfSet = (qint64(1) << 32) + 2147483653LL; // low half >= 2^31
    makeFile(base() + "big", big);
    makeFile(base() + "odd", lowHalfSet);
    const int root = s.scan(base());
    EXPECT_EQ(s.grid.text(root + 1, 4).toLongLong(), big + lowHalfSet);
    EXPECT_EQ(mdlFileSearch::FileSizeOf(QString::fromUtf8(base() + "odd")),
              Fixed::fromInt(lowHalfSet));
    EXPECT_EQ(mdlFileSearch::FileSizeOf(QString::fromUtf8(base() + "missing")), Fixed());
}

TEST_F(FolderWalker, LinksAreFilesOfTheirOwnSizeAndNeverFollowed) {
    makeDir(base() + "real");
    makeFile(base() + "real/data", 1000);
    ASSERT_EQ(::symlink(".", (base() + "real/self").constData()), 0);
    ASSERT_EQ(::symlink("..", (base() + "real/up").constData()), 0);
    ASSERT_EQ(::symlink("real", (base() + "toreal").constData()), 0);
    const int root = s.scan(base());
    EXPECT_EQ(s.grid.rows(), root + 4); // root, real, its files row, root's files row
    EXPECT_EQ(s.line(root + 2), "2|<Files in real>|0.000956535339355469|MB|3|1003");
    EXPECT_EQ(s.grid.text(root + 3, 3), "1");
    EXPECT_EQ(s.grid.text(root + 3, 4), "4"); // the link's own size: its target's length
    EXPECT_EQ(s.grid.text(root, 4), "1007");
}

TEST_F(FolderWalker, AStartPathThatIsALinkToAFolderIsWalked) {
    makeDir(base() + "real");
    makeFile(base() + "real/f", 42);
    ASSERT_EQ(::symlink("real", (base() + "alias").constData()), 0);
    const int root = s.tree.AddTreeRow("alias", 0, RowKind::Folder, Fixed(), true, Fixed());
    s.search.SearchFolder(base() + "alias", 1, root); // no trailing "/"
    EXPECT_EQ(s.grid.text(root, 4), "42");
}

TEST_F(FolderWalker, OddNamesKeepTheirBytes) {
    const QByteArray latin1 = "caf\xe9";
    makeDir(base() + latin1);
    makeFile(base() + latin1 + "/new\nline.txt", 11);
    makeFile(base() + latin1 + "/tab\there.txt", 12);
    makeDir(base() + "with\ttab");
    s.search.searchParams.Pattern = QStringLiteral("*.TXT");
    const int root = s.scan(base());
    int odd = -1, tab = -1;
    for (int c : s.children(root)) {
        if (s.grid.rowDataBytes(c) == base() + latin1 + "/")
            odd = c;
        if (s.grid.text(c, 0) == QStringLiteral("with\ttab"))
            tab = c;
    }
    ASSERT_GE(odd, 0);
    ASSERT_GE(tab, 0); // a tab in a name does not spill into the size cells
    EXPECT_EQ(s.grid.text(tab, 4), "0");
    EXPECT_EQ(s.grid.text(odd, 0), QString::fromUtf8(latin1));
    EXPECT_TRUE(s.grid.text(odd, 0).contains(QChar(0xFFFD)));
    EXPECT_EQ(s.grid.text(odd, 3), "2");
    EXPECT_EQ(s.grid.text(odd, 4), "23");
}

TEST_F(FolderWalker, TreesDeeperThanPathMaxAreWalkedToTheBottom) {
    const std::string longName(200, 'd');
    const int levels = PATH_MAX / 200 + 5;
    int fd = ::open(base().constData(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < levels; ++i) {
        ASSERT_EQ(::mkdirat(fd, longName.c_str(), 0755), 0);
        const int next = ::openat(fd, longName.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
    }
    const int file = ::openat(fd, "bottom", O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::ftruncate(file, 77), 0);
    ::close(file);
    ::close(fd);

    const int root = s.scan(base());
    const int deepest = root + levels;
    EXPECT_EQ(s.grid.level(deepest), levels);
    EXPECT_GT(s.grid.rowDataBytes(deepest).size(), PATH_MAX);
    EXPECT_EQ(s.grid.text(deepest + 1, 4), "77");
    EXPECT_EQ(s.grid.text(root, 4), "77");
    EXPECT_EQ(s.grid.text(root + 1, 3), "1");
}

// Names of a folder in the order the file system lists them.
std::vector<QString> listedFolders(const QByteArray &path) {
    std::vector<QString> out;
    DIR *d = ::opendir(path.constData());
    while (dirent *e = ::readdir(d))
        if (e->d_type == DT_DIR && std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, ".."))
            out.push_back(QString::fromUtf8(e->d_name));
    ::closedir(d);
    return out;
}

TEST_F(FolderWalker, AbortLeavesRowsUnsortedUncollapsedAndWithoutFilesRows) {
    // A chain a/b/c/... with a few siblings at every level.
    QByteArray path = base();
    for (int depth = 0; depth < 6; ++depth) {
        for (const char *sib : {"s3", "s1", "s2"})
            makeDir(path + sib);
        makeFile(path + "file", 10);
        path += "chain/";
        makeDir(path.chopped(1));
    }
    s.grid.setColSort(0, GridSort::GenericDescending);
    int yieldsBeforeAbort = 8;
    s.onYield = [&] {
        if (--yieldsBeforeAbort == 0)
            s.search.AbortRequested = true;
    };
    try {
        s.scan(base());
        FAIL() << "the walk ended without the abort error";
    } catch (const AppError &e) {
        EXPECT_EQ(e.number(), -2147221004);
        EXPECT_EQ(e.description(), "Scan was aborted.");
    }
    const int root = 2;
    ASSERT_GT(s.grid.rows(), root + 2);
    // A folder whose walk ended has its files row; the ones on the way at the abort have none,
    // are not collapsed and keep their children in the order the file system listed them.
    int walking = 0;
    for (int r = root; r < s.grid.rows(); ++r) {
        if (s.grid.text(r, 0).startsWith(u'<'))
            continue;
        const auto kids = s.children(r);
        const bool done = std::any_of(kids.begin(), kids.end(),
                                      [&](int k) { return s.grid.text(k, 0).startsWith(u'<'); });
        if (done) {
            EXPECT_TRUE(s.grid.isCollapsed(r)) << r;
            continue;
        }
        if (kids.empty()) // listed, not entered yet
            continue;
        ++walking;
        EXPECT_FALSE(s.grid.isCollapsed(r)) << r;
        std::vector<QString> names;
        for (int k : kids)
            names.push_back(s.grid.text(k, 0));
        std::vector<QString> listed = listedFolders(s.grid.rowDataBytes(r));
        listed.resize(names.size());
        EXPECT_EQ(names, listed) << "folder at row " << r;
    }
    EXPECT_GE(walking, 2);
}

TEST_F(FolderWalker, AbortIsSeenAtTheNextFiftiethEntry) {
    for (int i = 0; i < 200; ++i)
        makeFile(base() + "f" + QByteArray::number(i), 1);
    s.onYield = [&] { s.search.AbortRequested = true; };
    EXPECT_THROW(s.scan(base()), AppError);
    EXPECT_EQ(s.search.searchParams.EntriesSeen % 50, 0u);
    EXPECT_LE(s.search.searchParams.EntriesSeen, 50u);
    EXPECT_EQ(s.grid.rows(), 3); // header, top row, root: no files row
    EXPECT_FALSE(s.grid.isCollapsed(2));

    // The next scan starts with a cleared flag and runs to the end.
    s.search.AbortRequested = false;
    s.onYield = nullptr;
    const int root = s.scan(base());
    EXPECT_EQ(s.grid.text(root, 3), "200");
}

TEST_F(FolderWalker, PseudoFileSystemsAreNotEntered) {
    makeDir(base() + "sub");
    makeFile(base() + "sub/f", 10);
    struct stat st;
    ASSERT_EQ(::stat(base().constData(), &st), 0);
    const QByteArray table = "22 1 " + QByteArray::number(major(st.st_dev)) + ':' +
                             QByteArray::number(minor(st.st_dev)) + " / " + tempPath(dir) +
                             " rw - proc proc rw\n";
    s.search.setMountTable(std::make_shared<const MountTable>(MountTable::parse(table)));
    const int root = s.scan(base());
    EXPECT_EQ(s.grid.rows(), root + 2);
    EXPECT_EQ(s.grid.text(root + 1, 4), "0");
    EXPECT_EQ(s.yields, 0);
}

TEST_F(FolderWalker, PseudoFileSystemsMountedBelowTheStartAreNotEntered) {
    makeDir(base() + "proc");
    makeFile(base() + "proc/kcore", 1 << 20);
    makeDir(base() + "data");
    makeFile(base() + "data/f", 10);
    struct stat st;
    ASSERT_EQ(::stat(base().constData(), &st), 0);
    const QByteArray dev =
        QByteArray::number(major(st.st_dev)) + ':' + QByteArray::number(minor(st.st_dev));
    // The folder as the real file system it is, a pseudo one on "proc", and a real one mounted
    // over a pseudo one on "data" (the last mount on a point is the one seen).
    const QByteArray table = "1 0 " + dev + " / " + tempPath(dir) + " rw - ext4 /dev/x rw\n" +
                             "2 1 0:21 / " + base() + "proc rw - proc proc rw\n" + "3 1 0:22 / " +
                             base() + "data rw - sysfs sysfs rw\n" + "4 3 " + dev + " / " + base() +
                             "data rw - ext4 /dev/x rw\n";
    s.search.setMountTable(std::make_shared<const MountTable>(MountTable::parse(table)));
    const int root = s.scan(base());
    EXPECT_EQ(s.grid.text(root, 4), "10");
    for (int c : s.children(root)) {
        if (s.grid.text(c, 0) == "proc") {
            ASSERT_EQ(s.children(c).size(), 1u);
            EXPECT_EQ(s.grid.text(c + 1, 3), "0");
        }
    }
    EXPECT_EQ(s.yields, 2); // the start folder and "data"
}

TEST_F(FolderWalker, UnitsStayWithTheirScansAndTheTopRowShowsTheCurrentUnit) {
    makeFile(base() + "f", 3 * 1048576 + 524288); // 3.5 MB
    const int first = s.scan(base());
    s.settings.Object_Size = 0;
    s.tree.SetSizeFactor();
    const int second = s.scan(base());
    EXPECT_EQ(s.grid.text(first, 1), "3.5");
    EXPECT_EQ(s.grid.text(first, 2), "MB");
    EXPECT_EQ(s.grid.text(second, 1), "3670016");
    EXPECT_EQ(s.grid.text(second, 2), "B");
    s.tree.UpdateRoots();
    EXPECT_EQ(s.line(ScanTree::TopRow), "-1|Scans|7340032|B|2|7340032");
    for (int r = 0; r < s.grid.rows(); ++r)
        EXPECT_TRUE(s.grid.text(r, 5).isEmpty()) << "row " << r;
}

} // namespace
