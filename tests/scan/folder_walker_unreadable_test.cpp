// Folders that cannot be listed keep their row and are marked with the reason: refused, vanished
// or failing part way through the walker's system-call seams, and refused for real to a user
// without the right to read them.
#include "ScanFixture.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <system_error>

namespace {

class UnreadableFolders : public ::testing::Test {
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

TEST_F(UnreadableFolders, EachKeepsItsRowAndCarriesTheReasonWhereverTheSortMovesIt) {
    for (const char *name : {"alpha", "locked", "gone", "flaky", "zulu"}) {
        makeDir(base() + name);
        makeFile(base() + name + "/f", 10);
    }
    // "flaky" opens, then its listing fails with an I/O error.
    int flakyFd = -1;
    s.search.setOpenDirFunction([&, open = [](int fd, const char *name) {
        if (std::strcmp(name, "locked") == 0 || std::strcmp(name, "gone") == 0) {
            errno = name[0] == 'l' ? EACCES : ENOENT;
            return -1;
        }
        return FolderReader::openDirectory(fd, name);
    }](int fd, const char *name) {
        const int got = open(fd, name);
        if (std::strcmp(name, "flaky") == 0)
            flakyFd = got;
        return got;
    });
    s.search.setReadDirFunction([&](int fd, char *buffer, std::size_t size) -> long {
        if (fd == flakyFd) {
            flakyFd = -2; // the number is free for the next folder once this one is closed
            errno = EIO;
            return -1;
        }
        return FolderReader::readDirectory(fd, buffer, size);
    });
    s.grid.setColSort(0, GridSort::GenericDescending); // rows move after they are marked
    const int root = s.scan(base());

    EXPECT_EQ(s.search.unreadableFolders(), 3u);
    const int alpha = childNamed(root, "alpha");
    ASSERT_GE(alpha, 0);
    EXPECT_EQ(s.grid.cellNote(alpha, 0), QString());
    const int folderPicture = s.grid.cellPicture(alpha, 0);
    const std::pair<const char *, int> expected[] = {
        {"locked", EACCES}, {"gone", ENOENT}, {"flaky", EIO}};
    for (const auto &[name, error] : expected) {
        const int row = childNamed(root, QString::fromLatin1(name));
        ASSERT_GE(row, 0) << name;
        EXPECT_EQ(s.grid.cellNote(row, 0), QString::fromLocal8Bit(std::strerror(error))) << name;
        EXPECT_NE(s.grid.cellPicture(row, 0), folderPicture) << name;
        // The row the walk gives such a folder: one files row of zeros.
        ASSERT_EQ(s.children(row).size(), 1u) << name;
        EXPECT_EQ(s.grid.text(s.children(row).front(), 3), "0");
    }
    EXPECT_EQ(s.grid.cellNote(childNamed(root, "locked"), 0), "Permission denied");
    // The marked rows share one picture; the other folders keep theirs.
    EXPECT_EQ(s.grid.cellPicture(childNamed(root, "locked"), 0),
              s.grid.cellPicture(childNamed(root, "gone"), 0));
    EXPECT_EQ(s.grid.cellPicture(childNamed(root, "zulu"), 0), folderPicture);
    EXPECT_EQ(s.grid.text(root, 3), "2"); // alpha's and zulu's files

    // A walk without any starts its count afresh.
    s.search.setOpenDirFunction(&FolderReader::openDirectory);
    s.search.setReadDirFunction(&FolderReader::readDirectory);
    s.scan(base());
    EXPECT_EQ(s.search.unreadableFolders(), 0u);
}

// Walks a tree with a folder of mode 000 and one that can be listed but not searched (mode 644)
// as a user without rights to them; returns a failure description, empty when all is as
// expected.
std::string walkAsUnprivileged(const QByteArray &base) {
    makeDir(base + "open");
    makeFile(base + "open/f", 10);
    makeDir(base + "closed");
    makeFile(base + "closed/f", 99);
    makeDir(base + "listonly");
    for (const char *name : {"/a", "/b", "/c"})
        makeFile(base + "listonly" + name, 1000);
    if (::chmod((base + "closed").constData(), 0) != 0 ||
        ::chmod((base + "listonly").constData(), 0644) != 0)
        return "chmod failed";
    if (!becomeNobody())
        return "could not become nobody";
    ScanFixture s;
    const int root = s.scan(base);
    const QString denied = QString::fromLocal8Bit(std::strerror(EACCES));
    for (const char *name : {"closed", "listonly"}) {
        int row = -1;
        for (int c : s.children(root))
            if (s.grid.text(c, 0) == QLatin1String(name))
                row = c;
        if (row < 0)
            return std::string("no row for ") + name;
        if (s.grid.cellNote(row, 0) != denied)
            return std::string(name) + " note: " + s.grid.cellNote(row, 0).toStdString();
    }
    if (s.search.unreadableFolders() != 2)
        return "count: " + std::to_string(s.search.unreadableFolders());
    // The folder that can only be listed shows its files, unsized.
    if (s.grid.text(root, 3) != "4" || s.grid.text(root, 4) != "10")
        return "files and bytes: " + s.grid.text(root, 3).toStdString() + ", " +
               s.grid.text(root, 4).toStdString();
    return {};
}

TEST_F(UnreadableFolders, FoldersOfMode000And644AreMarkedForAUserWithoutRightsToThem) {
    // As root, chmod denies nothing: the walk runs in a child that has become "nobody".
    ASSERT_EQ(::chmod(tempPath(dir).constData(), 0777), 0);
    EXPECT_EQ(inChild([&] { return walkAsUnprivileged(base()); }), "");
}

// Replaces the length of the record of an entry named "breaks" with 0, as a broken file system
// (or driver) might return it.
long readWithBrokenRecord(int fd, char *buffer, std::size_t size) {
    const long got = FolderReader::readDirectory(fd, buffer, size);
    for (long pos = 0; pos < got;) {
        unsigned short reclen = 0;
        std::memcpy(&reclen, buffer + pos + 16, sizeof reclen);
        if (std::strcmp(buffer + pos + 19, "breaks") == 0) {
            std::memset(buffer + pos + 16, 0, sizeof reclen);
            break;
        }
        pos += reclen;
    }
    return got;
}

// Sizing a file is refused, runs out of memory or fails by throwing a system error, by its name;
// safe from several threads at once.
int statFailingByName(int fd, const char *name, struct stat *st) {
    if (std::strncmp(name, "refuses", 7) == 0) {
        errno = EACCES;
        return -1;
    }
    if (std::strcmp(name, "oom") == 0)
        throw std::bad_alloc();
    if (std::strcmp(name, "overflows") == 0)
        throw std::system_error(EOVERFLOW, std::generic_category());
    return FolderReader::statEntry(fd, name, st);
}

TEST_F(UnreadableFolders, AFolderWhoseFilesCannotBeSizedOrWhoseListingBreaksIsMarked) {
    struct Case {
        const char *folder;
        std::vector<const char *> files;
        int error;
        const char *filesCounted;
    };
    const Case cases[] = {
        {"searchless", {"refuses1", "refuses2", "refuses3"}, EACCES, "3"}, // mode drw-r--r--
        {"broken", {"breaks"}, EIO, "0"},
        {"nomemory", {"oom", "f"}, ENOMEM, "0"},
        {"overflow", {"overflows"}, EOVERFLOW, "0"},
        {"fine", {"f", "g"}, 0, "2"},
    };
    for (const Case &c : cases) {
        makeDir(base() + c.folder);
        for (const char *file : c.files)
            makeFile(base() + c.folder + '/' + file, 100);
    }
    for (int workers : {-1, 0, 3}) { // whichever thread reads a folder, the outcome is the same
        SCOPED_TRACE(workers);
        s.grid.setRows(2);
        s.search.setWorkers(workers);
        s.search.setReadDirFunction(&readWithBrokenRecord);
        s.search.setStatFunction(&statFailingByName);
        const int root = s.scan(base());
        for (const Case &c : cases) {
            const int row = childNamed(root, QString::fromLatin1(c.folder));
            ASSERT_GE(row, 0) << c.folder;
            EXPECT_EQ(s.grid.cellNote(row, 0),
                      c.error ? QString::fromLocal8Bit(std::strerror(c.error)) : QString())
                << c.folder;
            EXPECT_EQ(s.grid.text(row, 3), c.filesCounted) << c.folder;
        }
        EXPECT_EQ(s.search.unreadableFolders(), 4u);
        EXPECT_EQ(s.grid.text(childNamed(root, "fine"), 4), "200");
        EXPECT_EQ(s.grid.text(childNamed(root, "searchless"), 4), "0");
    }
}

} // namespace
