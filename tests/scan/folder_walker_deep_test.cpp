// The walker on trees deeper than the thread's stack and than the process's descriptor limit.
#include "ScanFixture.h"

#include "AppError.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <dirent.h>
#include <pthread.h>
#include <sys/resource.h>

#include <cstring>
#include <functional>
#include <string>

namespace {

// Open descriptors of this process.
int openDescriptors() {
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files).size());
}

// Runs `body` on a thread with a small stack, so a walk that recursed once per level would
// overflow it long before the depths used here.
void onSmallStack(const std::function<void()> &body) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 256 * 1024);
    pthread_t thread;
    auto run = [](void *arg) -> void * {
        (*static_cast<const std::function<void()> *>(arg))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attr, run, const_cast<std::function<void()> *>(&body)), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}

// Lowers the soft limit of open files for the life of the object.
class DescriptorLimit {
public:
    explicit DescriptorLimit(rlim_t limit) {
        ::getrlimit(RLIMIT_NOFILE, &m_saved);
        rlimit lowered = m_saved;
        lowered.rlim_cur = limit;
        m_ok = ::setrlimit(RLIMIT_NOFILE, &lowered) == 0;
    }
    ~DescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &m_saved); }
    bool ok() const { return m_ok; }

private:
    rlimit m_saved{};
    bool m_ok = false;
};

// Deep trees are made and removed many times faster in memory than on a disk.
QString scratchFolder() {
    const QString shm = QStringLiteral("/dev/shm");
    return QFileInfo(shm).isDir() && QFileInfo(shm).isWritable() ? shm : QDir::tempPath();
}

class DeepTree : public ::testing::Test {
protected:
    QTemporaryDir dir{scratchFolder() + QStringLiteral("/walker-XXXXXX")};
    ScanFixture s;
    QByteArray base() const { return tempPath(dir) + '/'; }

    // QTemporaryDir's removal stops at paths longer than PATH_MAX; rm walks any depth.
    void TearDown() override {
        for (const QString &name :
             QDir(dir.path())
                 .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
            QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), dir.filePath(name)});
    }

    // A chain of `levels` folders named `name` below the base, with a file of `bottomSize`
    // bytes in the deepest. Made one level at a time relative to descriptors.
    void makeChain(int levels, const char *name, qint64 bottomSize) {
        int fd = ::open(base().constData(), O_RDONLY | O_DIRECTORY);
        for (int i = 0; i < levels; ++i) {
            ASSERT_EQ(::mkdirat(fd, name, 0755), 0) << i;
            const int next = ::openat(fd, name, O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = next;
        }
        const int file = ::openat(fd, "bottom", O_WRONLY | O_CREAT, 0644);
        ASSERT_EQ(::ftruncate(file, bottomSize), 0);
        ::close(file);
        ::close(fd);
    }
};

TEST_F(DeepTree, AChainDeeperThanTheStackCouldRecurseIsWalkedToTheBottom) {
    const int levels = 20000;
    makeChain(levels, "d", 77);
    int root = -1;
    onSmallStack([&] { root = s.scan(base()); });
    ASSERT_EQ(root, 2);
    // The root, a folder row per level, and a files row per folder.
    ASSERT_EQ(s.grid.rows(), root + 1 + levels + levels + 1);
    const int deepest = root + levels;
    EXPECT_EQ(s.grid.level(deepest), levels);
    EXPECT_EQ(s.grid.text(deepest + 1, 0), "<Files in d>");
    EXPECT_EQ(s.grid.level(deepest + 1), levels + 1);
    EXPECT_EQ(s.grid.text(deepest + 1, 4), "77");
    QByteArray path = base();
    for (int i = 0; i < levels; ++i)
        path += "d/";
    EXPECT_EQ(s.grid.rowDataBytes(deepest), path);
    EXPECT_EQ(s.grid.rowDataBytes(root + 1), base() + "d/");
    EXPECT_EQ(s.grid.text(root, 4), "77");
    EXPECT_EQ(s.grid.text(root + 1, 3), "1");
    EXPECT_EQ(s.grid.text(root + levels / 2, 4), "77");
    EXPECT_EQ(s.yields, levels + 1);
    for (int r : {root, root + 1, deepest})
        EXPECT_TRUE(s.grid.isCollapsed(r));
}

TEST_F(DeepTree, AHundredThousandLevelsScanCompletelyUnderADescriptorLimitOf256) {
    const int levels = 100000;
    makeChain(levels, "x", 5);
    const int before = openDescriptors();
    {
        DescriptorLimit limit(256);
        ASSERT_TRUE(limit.ok());
        onSmallStack([&] { s.scan(base()); });
    }
    const int root = 2;
    ASSERT_EQ(s.grid.rows(), root + 2 * levels + 2);
    EXPECT_EQ(s.grid.level(root + levels), levels);
    EXPECT_EQ(s.grid.text(root + levels + 1, 4), "5");
    EXPECT_EQ(s.grid.text(root, 4), "5");
    EXPECT_EQ(s.grid.text(root, 3), "1");
    EXPECT_LE(s.search.peakHeldDescriptors(), mdlFileSearch::MaxHeldDescriptors);
    EXPECT_EQ(openDescriptors(), before);
}

// The rows a walk must give for a folder, made independently: readdir lists entries in the
// order getdents does; each subfolder's row, its subtree, then the files row.
void expectedRows(const QByteArray &path, const std::string &name, int level,
                  std::vector<std::string> &out, qint64 &folderBytes) {
    DIR *d = ::opendir(path.constData());
    ASSERT_NE(d, nullptr) << path.constData();
    std::vector<std::string> subs;
    qint64 bytes = 0;
    while (dirent *e = ::readdir(d)) {
        if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, ".."))
            continue;
        if (e->d_type == DT_DIR) {
            subs.emplace_back(e->d_name);
        } else {
            struct stat st;
            ::fstatat(::dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW);
            bytes += st.st_size;
        }
    }
    ::closedir(d);
    for (const auto &sub : subs) {
        const std::size_t at = out.size();
        out.emplace_back();
        qint64 subBytes = 0;
        expectedRows(path + sub.c_str() + '/', sub, level + 1, out, subBytes);
        out[at] = std::to_string(level) + '|' + sub + '|' + std::to_string(subBytes);
        folderBytes += subBytes;
    }
    out.push_back(std::to_string(level) + "|<Files in " + name + ">|" + std::to_string(bytes));
    folderBytes += bytes;
}

// A comb: at every level the chain goes on in "next", beside two leaf folders with a file each,
// so many folders on the way down still have subfolders to enter when the bound is reached, and
// have to be reached again from above.
void makeComb(const QByteArray &path, int levels) {
    int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < levels; ++i) {
        for (const char *leaf : {"leafA", "leafZ"}) {
            ASSERT_EQ(::mkdirat(fd, leaf, 0755), 0);
            const int leafFd = ::openat(fd, leaf, O_RDONLY | O_DIRECTORY);
            const int file = ::openat(leafFd, "f", O_WRONLY | O_CREAT, 0644);
            ASSERT_EQ(::ftruncate(file, i + 1), 0);
            ::close(file);
            ::close(leafFd);
        }
        ASSERT_EQ(::mkdirat(fd, "next", 0755), 0);
        const int next = ::openat(fd, "next", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
    }
    ::close(fd);
}

// The first row (below the root at row 2) where the walk differs from `expected`; empty when
// none does and no folder was marked.
std::string firstDifference(const ScanFixture &s, const std::vector<std::string> &expected) {
    const int root = 2;
    if (static_cast<std::size_t>(s.grid.rows() - root - 1) != expected.size())
        return std::to_string(s.grid.rows() - root - 1) + " rows for " +
               std::to_string(expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const int r = root + 1 + static_cast<int>(i);
        const std::string got = std::to_string(s.grid.level(r)) + '|' +
                                s.grid.text(r, 0).toStdString() + '|' +
                                s.grid.text(r, 4).toStdString();
        if (got != expected[i] || !s.grid.cellNote(r, 0).isEmpty())
            return "row " + std::to_string(r) + ": " + got + " " +
                   s.grid.cellNote(r, 0).toStdString() + " for " + expected[i];
    }
    return {};
}

TEST_F(DeepTree, ABranchingTreeDeeperThanTheBoundGivesTheRowsOfAPlainWalk) {
    const int levels = 400;
    makeComb(base(), levels);

    const int before = openDescriptors();
    for (int workers : {0, -1}) { // with workers, then with the walk reading every folder itself
        s.grid.setRows(2);
        s.search.setWorkers(workers);
        onSmallStack([&] { s.scan(base()); });
        EXPECT_EQ(openDescriptors(), before);
        EXPECT_LE(s.search.peakHeldDescriptors(), mdlFileSearch::MaxHeldDescriptors);
    }
    EXPECT_EQ(s.search.peakHeldDescriptors(), mdlFileSearch::MaxHeldDescriptors);

    // Paths deeper than PATH_MAX cannot be read back with opendir; 400 levels of "next/" are
    // within it.
    std::vector<std::string> expected;
    qint64 total = 0;
    expectedRows(base(), tempPath(dir).toStdString() + '/', 1, expected, total);
    EXPECT_EQ(firstDifference(s, expected), "");
    EXPECT_EQ(s.grid.text(2, 4).toLongLong(), total);
    EXPECT_EQ(total, 2 * (levels * (levels + 1) / 2));
}

// However few files the process may open, no folder is lost or left unread: the walk holds
// fewer descriptors, and when the rest of the program takes the ones it counted on, it gives up
// its own and reaches folders by path.
TEST_F(DeepTree, UnderLowLimitsOfOpenFilesEveryFolderIsCounted) {
    makeComb(base(), 150);
    std::vector<std::string> expected;
    qint64 total = 0;
    expectedRows(base(), tempPath(dir).toStdString() + '/', 1, expected, total);
    for (rlim_t limit : {40, 24}) {
        EXPECT_EQ(inChild([&]() -> std::string {
                      DescriptorLimit lowered(limit);
                      if (!lowered.ok())
                          return "could not lower the limit";
                      // Descriptors the rest of the program holds beyond those allowed for.
                      std::vector<int> taken;
                      for (int i = 0; i < 8; ++i)
                          taken.push_back(::dup(0));
                      for (int workers : {0, -1}) {
                          s.grid.setRows(2);
                          s.search.setWorkers(workers);
                          s.scan(base());
                          std::string failure = firstDifference(s, expected);
                          if (s.search.peakHeldDescriptors() > limit / 4)
                              failure += " held " + std::to_string(s.search.peakHeldDescriptors());
                          if (!failure.empty())
                              return std::to_string(workers) + " workers: " + failure;
                      }
                      return std::string();
                  }),
                  "")
            << limit << " files";
    }
}

TEST_F(DeepTree, AnAbortDeepDownClosesEveryFolder) {
    makeChain(3000, "d", 1);
    const int before = openDescriptors();
    int yieldsLeft = 2500;
    s.onYield = [&] {
        if (--yieldsLeft == 0)
            s.search.AbortRequested = true;
    };
    EXPECT_THROW(s.scan(base()), AppError);
    EXPECT_EQ(openDescriptors(), before);
    // The folders on the way down keep their rows, are not collapsed and have no files rows.
    ASSERT_GE(s.grid.rows(), 2 + 1 + 2499);
    for (int r = 2; r < s.grid.rows(); ++r) {
        ASSERT_EQ(s.grid.level(r), r - 2);
        EXPECT_FALSE(s.grid.isCollapsed(r));
    }
}

} // namespace
