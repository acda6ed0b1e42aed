// The walker against a tree that another process keeps changing while it is scanned: files and
// folders appear, vanish and move, and a folder deep in a chain longer than the walker holds
// descriptors for is renamed back and forth. Scanned again and again, every walk must end (an
// alarm fails the test if one hangs), hold no descriptor afterwards, and leave totals that agree
// with the rows it made: every node the exact sum of its children, nothing negative.
#include "ScanFixture.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <string>
#include <vector>

namespace {

constexpr int Scans = 25;
constexpr int ChainDepth = mdlFileSearch::MaxHeldDescriptors + 16;
constexpr int RenamedLevel = mdlFileSearch::MaxHeldDescriptors + 4;

int openDescriptors() {
    int n = 0;
    if (DIR *d = ::opendir("/proc/self/fd")) {
        while (::readdir(d))
            ++n;
        ::closedir(d);
    }
    return n;
}

// What the changing process does, on paths made before it starts: after fork() it may only use
// system calls, so it allocates nothing.
struct Mutations {
    std::vector<std::string> folders; // top-level and second-level folders
    std::vector<std::string> files;   // files in them
    std::string chainAt, chainMoved;  // one deep folder of the chain, under two names

    explicit Mutations(const std::string &base) {
        for (int i = 0; i < 6; ++i) {
            const std::string top = base + "m" + std::to_string(i);
            folders.push_back(top);
            for (int k = 0; k < 3; ++k)
                folders.push_back(top + "/s" + std::to_string(k));
        }
        for (const std::string &f : folders)
            for (int j = 0; j < 4; ++j)
                files.push_back(f + "/f" + std::to_string(j));
        std::string chain = base + "chain";
        for (int level = 1; level < RenamedLevel; ++level)
            chain += "/l" + std::to_string(level);
        chainAt = chain + "/l" + std::to_string(RenamedLevel);
        chainMoved = chainAt + "x";
    }

    [[noreturn]] void run(pid_t parent) const {
        unsigned x = 2463534242u; // xorshift: no library state
        auto next = [&x](unsigned n) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            return x % n;
        };
        const auto nf = static_cast<unsigned>(folders.size());
        const auto nfiles = static_cast<unsigned>(files.size());
        for (unsigned step = 0;; ++step) {
            if (::getppid() != parent) // the test is gone
                ::_exit(0);
            switch (next(8)) {
            case 0:
            case 1:
                ::mkdir(folders[next(nf)].c_str(), 0755);
                break;
            case 2:
            case 3: {
                const int fd = ::open(files[next(nfiles)].c_str(), O_WRONLY | O_CREAT, 0644);
                if (fd >= 0) {
                    if (::ftruncate(fd, static_cast<off_t>(next(1u << 20))) != 0) {
                    }
                    ::close(fd);
                }
                break;
            }
            case 4:
                ::unlink(files[next(nfiles)].c_str());
                break;
            case 5:
                ::rename(files[next(nfiles)].c_str(), files[next(nfiles)].c_str());
                break;
            case 6:
                if (next(2))
                    ::rename(folders[next(nf)].c_str(), folders[next(nf)].c_str());
                else
                    ::rmdir(folders[next(nf)].c_str());
                break;
            default:
                if (::rename(chainAt.c_str(), chainMoved.c_str()) != 0)
                    ::rename(chainMoved.c_str(), chainAt.c_str());
                break;
            }
        }
    }
};

class WalkerStress : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ScanFixture s;
    pid_t child = -1;

    std::string base() const { return tempPath(dir).toStdString() + '/'; }

    void TearDown() override {
        if (child > 0) {
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
        ::alarm(0);
    }

    // Every node with children holds the sums of its children's files and bytes; no count is
    // negative.
    void expectConsistent() const {
        const OutlineGrid &g = s.grid;
        for (int r = 1; r < g.rows(); ++r) {
            const Fixed files = s.tree.cellValue(r, 3), bytes = s.tree.cellValue(r, 4);
            ASSERT_GE(files, Fixed()) << s.line(r);
            ASSERT_GE(bytes, Fixed()) << s.line(r);
            if (!g.hasChildren(r))
                continue;
            Fixed childFiles, childBytes;
            for (int c = g.firstChild(r); c >= 0; c = g.nextSibling(c)) {
                childFiles += s.tree.cellValue(c, 3);
                childBytes += s.tree.cellValue(c, 4);
            }
            ASSERT_EQ(files, childFiles) << s.line(r);
            ASSERT_EQ(bytes, childBytes) << s.line(r);
        }
    }
};

TEST_F(WalkerStress, ATreeChangedByAnotherProcessWhileScannedGivesTotalsThatAgree) {
    const std::string top = base();
    const Mutations mutations(top);
    for (const std::string &f : mutations.folders)
        ::mkdir(f.c_str(), 0755);
    std::string chain = top + "chain";
    for (int level = 0; level <= ChainDepth; ++level) {
        if (level > 0)
            chain += "/l" + std::to_string(level);
        ASSERT_EQ(::mkdir(chain.c_str(), 0755), 0);
        makeFile(QByteArray::fromStdString(chain + "/c"), level + 1);
    }

    // The walk yields once per folder; now and then it lets the other process run first.
    int folders = 0;
    s.onYield = [&] {
        if (++folders % 7 == 0)
            ::usleep(100);
    };
    ::alarm(300); // a walk that never ends fails the test rather than the run's time limit
    const int fdsBefore = openDescriptors();
    const pid_t parent = ::getpid();
    child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        mutations.run(parent);

    std::set<std::string> totals; // what each scan saw, to know the tree did change
    for (int scan = 0; scan < Scans; ++scan) {
        SCOPED_TRACE("scan " + std::to_string(scan));
        const int root = s.scan(tempPath(dir));
        ASSERT_LE(s.search.peakHeldDescriptors(), mdlFileSearch::MaxHeldDescriptors);
        ASSERT_EQ(openDescriptors(), fdsBefore);
        ASSERT_TRUE(s.grid.hasChildren(root));
        ASSERT_NO_FATAL_FAILURE(expectConsistent());
        totals.insert(s.grid.text(root, 3).toStdString() + ' ' +
                      s.grid.text(root, 4).toStdString());
        s.tree.UpdateRoots();
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    child = -1;
    // The chain's files, at least those above the renamed folder, were seen in every scan.
    for (int r = 1; r < s.grid.rows(); ++r) {
        if (s.grid.level(r) == 0) {
            ASSERT_GE(s.tree.cellValue(r, 3), Fixed::fromInt(RenamedLevel)) << s.line(r);
        }
    }
    expectConsistent();
    EXPECT_GT(totals.size(), 1u) << "the tree never changed between scans";
    EXPECT_GT(folders, Scans * ChainDepth / 2);
}

} // namespace
