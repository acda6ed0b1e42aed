// Folders that cannot be listed keep their row and are marked with the reason: refused, vanished
// or failing part way through the walker's system-call seams, and refused for real to a user
// without the right to read them.
#include "ScanFixture.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/wait.h>

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

// Walks a tree with a folder of mode 000 as a user without rights to it; returns a failure
// description, empty when all is as expected.
std::string walkAsUnprivileged(const QByteArray &base) {
    makeDir(base + "open");
    makeFile(base + "open/f", 10);
    makeDir(base + "closed");
    makeFile(base + "closed/f", 99);
    if (::chmod((base + "closed").constData(), 0) != 0)
        return "chmod failed";
    ScanFixture s;
    const int root = s.scan(base);
    ::chmod((base + "closed").constData(), 0755);
    int closed = -1;
    for (int c : s.children(root))
        if (s.grid.text(c, 0) == "closed")
            closed = c;
    if (closed < 0)
        return "no row for the closed folder";
    if (s.grid.cellNote(closed, 0) != QString::fromLocal8Bit(std::strerror(EACCES)))
        return "note: " + s.grid.cellNote(closed, 0).toStdString();
    if (s.search.unreadableFolders() != 1)
        return "count: " + std::to_string(s.search.unreadableFolders());
    if (s.grid.text(root, 4) != "10")
        return "bytes: " + s.grid.text(root, 4).toStdString();
    return {};
}

TEST_F(UnreadableFolders, AFolderOfMode000IsMarkedForAUserWithoutRightsToIt) {
    if (::geteuid() != 0) {
        EXPECT_EQ(walkAsUnprivileged(base()), "");
        return;
    }
    // As root, chmod denies nothing: the walk runs in a child that has become "nobody".
    ASSERT_EQ(::chmod(tempPath(dir).constData(), 0777), 0);
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeFds[0]);
        std::string failure;
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            failure = "could not become nobody";
        else
            failure = walkAsUnprivileged(base());
        const ssize_t written = ::write(pipeFds[1], failure.data(), failure.size());
        ::_exit(written < 0 || !failure.empty() ? 1 : 0);
    }
    ::close(pipeFds[1]);
    char buffer[512];
    const ssize_t got = ::read(pipeFds[0], buffer, sizeof buffer);
    ::close(pipeFds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << std::string(buffer, got > 0 ? static_cast<std::size_t>(got) : 0);
}

} // namespace
