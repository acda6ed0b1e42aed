// The walk with worker threads reading ahead against the walk whose own thread makes every
// system call: on random trees with odd names, links, deep and wide folders, folders that cannot
// be opened and files that vanish, both give the same rows, totals, order, yields and status
// texts, also when Abort is pressed at a random yield and whatever the read-ahead's memory cap.
#include "ScanFixture.h"

#include "AppError.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <new>
#include <random>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

struct Outcome {
    std::vector<std::string> rows;     // level, the five texts, row data, collapsed, picture
    std::vector<std::string> statuses; // the first panel's text at each yield
    int yields = 0;
    bool aborted = false;
    std::uint32_t entries = 0;
    std::size_t unreadable = 0;
    std::size_t peakReadAhead = 0;
};

using WalkSetup = std::function<void(ScanFixture &)>;

int countIn(const char *folder) {
    return static_cast<int>(QDir(QString::fromLatin1(folder))
                                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot)
                                .size());
}

Outcome walk(const QByteArray &base, int workers, std::size_t cap, const WalkSetup &setup,
             int abortAtYield = 0) {
    Outcome out;
    ScanFixture s;
    s.search.setWorkers(workers);
    s.search.setReadAheadCap(cap);
    if (setup)
        setup(s);
    s.onYield = [&] {
        out.statuses.push_back(s.search.statusText().toStdString());
        if (s.yields == abortAtYield)
            s.search.AbortRequested = true;
    };
    const std::uint32_t before = s.search.searchParams.EntriesSeen;
    try {
        s.scan(base);
    } catch (const AppError &e) {
        out.aborted = true;
        EXPECT_EQ(e.number(), -2147221004);
    }
    out.entries = s.search.searchParams.EntriesSeen - before;
    out.yields = s.yields;
    out.peakReadAhead = s.search.peakReadAheadBytes();
    out.unreadable = s.search.unreadableFolders();
    for (int r = 2; r < s.grid.rows(); ++r) {
        std::string line = std::to_string(s.grid.level(r));
        for (int c = 0; c <= 4; ++c)
            line += '|' + s.grid.text(r, c).toStdString();
        line += '|' + s.grid.rowDataBytes(r).toStdString();
        line += s.grid.isCollapsed(r) ? "|c" : "|e";
        line += '|' + std::to_string(s.grid.cellPicture(r, 0));
        line += '|' + s.grid.cellNote(r, 0).toStdString(); // why a folder could not be read
        out.rows.push_back(std::move(line));
    }
    return out;
}

// The first way in which a walk's outcome differs from the reference's; empty when none does.
std::string difference(const Outcome &reference, const Outcome &other) {
    if (other.rows.size() != reference.rows.size())
        return std::to_string(other.rows.size()) + " rows for " +
               std::to_string(reference.rows.size());
    for (std::size_t i = 0; i < reference.rows.size(); ++i)
        if (other.rows[i] != reference.rows[i])
            return "row " + std::to_string(i) + ": " + other.rows[i] + " for " + reference.rows[i];
    if (other.yields != reference.yields || other.statuses != reference.statuses)
        return "yields or their status texts";
    if (other.aborted != reference.aborted || other.entries != reference.entries)
        return "abort or entries seen";
    if (other.unreadable != reference.unreadable)
        return std::to_string(other.unreadable) + " unreadable for " +
               std::to_string(reference.unreadable);
    return {};
}

void expectSame(const Outcome &reference, const Outcome &parallel, const std::string &what) {
    EXPECT_EQ(difference(reference, parallel), "") << what;
}

// Refuses folders whose name starts with "locked" and loses files whose name starts with
// "gone", as a folder without permission and a file deleted mid-walk would. Safe to call from
// several threads: they keep no state.
void hostileSeams(ScanFixture &s) {
    s.search.setOpenDirFunction([](int fd, const char *name) {
        if (std::strncmp(name, "locked", 6) == 0) {
            errno = EACCES;
            return -1;
        }
        return FolderReader::openDirectory(fd, name);
    });
    s.search.setStatFunction([](int fd, const char *name, struct stat *st) {
        if (std::strncmp(name, "gone", 4) == 0) {
            errno = ENOENT;
            return -1;
        }
        return FolderReader::statEntry(fd, name, st);
    });
}

// The threads of this process. A joined thread can stay listed for a moment, until the kernel
// has reaped it, so a count expected to fall is given up to a second to do so.
int taskCount(int expected = -1) {
    int count = countIn("/proc/self/task");
    for (int i = 0; i < 100 && count > expected && expected >= 0; ++i) {
        ::usleep(10 * 1000);
        count = countIn("/proc/self/task");
    }
    return count;
}

class ParallelWalk : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::mt19937 rng{4242};
    QList<QByteArray> m_files; // made so far by makeRandomTree()
    QByteArray base() const { return tempPath(dir) + '/'; }

    void TearDown() override {
        QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), dir.path()});
    }

    QByteArray randomName(int serial) {
        static const char *const odd[] = {
            "a\nb",   "quote\"s", "sp ace",    "\xff\xfe-bytes", "\303\234bersicht", ".hidden",
            "star*?", "locked",   "MiXeD.Mp3", "x.TXT",          "gone.mp3",         "tab\there"};
        QByteArray name = odd[rng() % (sizeof odd / sizeof *odd)];
        if (rng() % 17 == 0)
            name = QByteArray(180, 'L');
        return name + '_' + QByteArray::number(serial);
    }

    // A random tree below `path`, `budget` folders at most, with files, links and empties.
    void makeRandomTree(const QByteArray &path, int depth, int &budget, int &serial) {
        const int files = static_cast<int>(rng() % 12);
        for (int i = 0; i < files; ++i) {
            const QByteArray name = path + randomName(++serial);
            const qint64 size = rng() % 50 == 0 ? (qint64(5) << 30) + rng() % 1000 : rng() % 5000;
            makeFile(name, size);
            m_files.push_back(name);
        }
        if (rng() % 6 == 0) // a link to a folder is a file, never followed
            ::symlink("..", (path + "up_" + QByteArray::number(++serial)).constData());
        // A second name for a file met before, often in another folder: the disk basis counts
        // its space where the walk meets it first, whichever worker sized it first.
        if (!m_files.isEmpty() && rng() % 3 == 0)
            ::link(m_files[rng() % m_files.size()].constData(),
                   (path + "hard_" + QByteArray::number(++serial)).constData());
        if (rng() % 9 == 0)
            ::symlink("/nowhere", (path + "dangling_" + QByteArray::number(++serial)).constData());
        const int subs = depth > 6 ? 0 : static_cast<int>(rng() % 5);
        for (int i = 0; i < subs && budget > 0; ++i) {
            --budget;
            const QByteArray sub = path + randomName(++serial);
            makeDir(sub);
            makeRandomTree(sub + '/', depth + 1, budget, serial);
        }
    }

    // Random folders, a chain deeper than the descriptor bound, a wide folder and a big one.
    void makeHostileTree() {
        int budget = 250, serial = 0;
        makeRandomTree(base(), 0, budget, serial);
        QByteArray chain = base() + "chain";
        for (int i = 0; i < 150; ++i) {
            makeDir(chain);
            if (i % 7 == 0) {
                makeDir(chain + "/side");
                makeFile(chain + "/side/f", i);
            }
            chain += "/c";
        }
        makeFile(chain.chopped(2) + "/bottom", 77);
        makeDir(base() + "wide");
        for (int i = 0; i < 300; ++i)
            makeDir(base() + "wide/w" + QByteArray::number(i));
        makeDir(base() + "big");
        for (int i = 0; i < 1500; ++i)
            makeFile(base() + "big/f" + QByteArray::number(i) + (i % 3 ? ".mp3" : ".txt"), i);
    }
};

TEST_F(ParallelWalk, WorkersGiveTheRowsOfTheReferenceWalkOnHostileTrees) {
    makeHostileTree();
    // The first threads a process starts may bring a runtime's own helper thread with them
    // (a thread sanitizer's, say); a first walk with workers starts it before the count.
    walk(base(), 2, std::size_t(16) << 20, nullptr);
    const int tasksBefore = taskCount();
    const std::vector<std::pair<std::string, WalkSetup>> setups = {
        {"defaults", nullptr},
        {"hostile seams", hostileSeams},
        {"pattern and sort",
         [](ScanFixture &s) {
             hostileSeams(s);
             s.search.searchParams.Pattern = QStringLiteral("*.mp3;*.TXT");
             s.grid.setColSort(0, GridSort::GenericDescending);
         }},
        {"space on disk, hostile seams",
         [](ScanFixture &s) {
             hostileSeams(s);
             s.search.searchParams.SizeBasis = SizeBasis::DiskUsage;
         }},
        {"by size, recurse off",
         [](ScanFixture &s) {
             s.search.searchParams.Recurse = false;
             s.grid.setColSort(4, GridSort::NumericAscending);
         }},
    };
    for (const auto &[name, setup] : setups) {
        const Outcome reference = walk(base(), -1, std::size_t(16) << 20, setup);
        ASSERT_FALSE(reference.aborted);
        ASSERT_GT(reference.rows.size(), 2u);
        if (name.find("hostile") != std::string::npos) { // the "locked" folders were marked
            ASSERT_GT(reference.unreadable, 0u) << name;
        }
        for (int workers : {0, 1, 2, 5}) {
            expectSame(reference, walk(base(), workers, std::size_t(16) << 20, setup),
                       name + ", " + std::to_string(workers) + " workers");
        }
        // A cap below any listing: the workers read only what the walk waits for.
        expectSame(reference, walk(base(), 3, 1, setup), name + ", cap of one byte");
    }
    EXPECT_EQ(taskCount(tasksBefore), tasksBefore); // every worker has ended
}

TEST_F(ParallelWalk, AnAbortAtARandomYieldLeavesTheRowsOfTheReferenceWalk) {
    makeHostileTree();
    const Outcome whole = walk(base(), -1, std::size_t(16) << 20, hostileSeams);
    ASSERT_GT(whole.yields, 100);
    const int before = countIn("/proc/self/fd");
    for (int round = 0; round < 12; ++round) {
        const int at = 1 + static_cast<int>(rng() % static_cast<unsigned>(whole.yields));
        const Outcome reference = walk(base(), -1, std::size_t(16) << 20, hostileSeams, at);
        ASSERT_TRUE(reference.aborted) << at;
        const std::size_t cap = round % 3 == 0 ? 1 : std::size_t(16) << 20;
        expectSame(reference, walk(base(), round % 2 ? 2 : 0, cap, hostileSeams, at),
                   "abort at yield " + std::to_string(at));
    }
    EXPECT_EQ(countIn("/proc/self/fd"), before); // every folder closed again
}

TEST_F(ParallelWalk, TheMemoryCapBoundsWhatIsReadAhead) {
    for (int i = 0; i < 20; ++i) {
        const QByteArray top = base() + "top_" + QByteArray::number(i);
        makeDir(top);
        for (int j = 0; j < 20; ++j) {
            const QByteArray folder = top + "/folder_with_a_longish_name_" + QByteArray::number(j);
            makeDir(folder);
            for (int k = 0; k < 3; ++k)
                makeDir(folder + "/sub_" + QByteArray::number(k));
        }
    }
    const Outcome free = walk(base(), 2, std::size_t(64) << 20, nullptr);
    const Outcome capped = walk(base(), 2, 16 * 1024, nullptr);
    expectSame(free, capped, "capped");
    EXPECT_GT(free.peakReadAhead, 0u);
    // The cap may be passed by the listings that were being read when it was reached (here
    // some 5 KB each), never by a whole tree's worth (some 400 KB).
    EXPECT_LT(capped.peakReadAhead, 16 * 1024 + 32 * 1024);
}

// A walk whose worker threads cannot be started (the user has no processes to spare) reads the
// folders itself and gives the same rows.
TEST_F(ParallelWalk, AWalkWithoutThreadsToSpareGivesTheRowsOfTheReferenceWalk) {
    makeHostileTree();
    ASSERT_EQ(::chmod(tempPath(dir).constData(), 0755), 0);
    const Outcome reference = walk(base(), -1, std::size_t(16) << 20, nullptr);
    ASSERT_EQ(reference.unreadable, 0u);
    EXPECT_EQ(inChild([&]() -> std::string {
                  rlimit processes{0, 0};
                  if (!becomeNobody() || ::setrlimit(RLIMIT_NPROC, &processes) != 0)
                      return "could not take the threads away";
                  try {
                      std::thread([] {}).join();
                      return "a thread could still be started";
                  } catch (const std::system_error &) {
                  }
                  return difference(reference, walk(base(), 0, std::size_t(16) << 20, nullptr));
              }),
              "");
}

// What a worker thread throws while it reads a folder reaches the walk when it takes that folder:
// a shortage of memory or a failed system call as the folder's error, anything else raised.
TEST_F(ParallelWalk, WhatAWorkerThrowsReachesTheWalkAsTheFoldersErrorOrRaised) {
    struct Case {
        const char *file;
        int error; // 0: the exception is raised by take()
    };
    for (const Case c : {Case{"oom", ENOMEM}, Case{"overflows", EOVERFLOW}, Case{"faulty", 0}}) {
        SCOPED_TRACE(c.file);
        const QByteArray start = base() + c.file + '/';
        makeDir(start);
        makeDir(start + "sub");
        makeFile(start + "sub/" + c.file, 1);
        std::mutex mutex;
        std::condition_variable thrown;
        bool hasThrown = false;
        FolderReader calls;
        calls.statAt = [&](int fd, const char *name, struct stat *st) -> int {
            if (std::strcmp(name, c.file) != 0)
                return FolderReader::statEntry(fd, name, st);
            {
                std::lock_guard lock(mutex);
                hasThrown = true;
            }
            thrown.notify_all();
            if (c.error == ENOMEM)
                throw std::bad_alloc();
            if (c.error != 0)
                throw std::system_error(c.error, std::generic_category());
            throw std::runtime_error("lookup failed");
        };
        FolderReadAhead::Options options;
        options.workers = 2;
        FolderReadAhead readAhead(calls, {}, options);
        const FolderReadAhead::FolderPtr root =
            readAhead.start(FolderReader::openDirectory(AT_FDCWD, start.constData()));
        ASSERT_TRUE(root);
        { // the walk takes nothing before a worker has begun the folder, so a worker reads it
            std::unique_lock lock(mutex);
            thrown.wait(lock, [&] { return hasThrown; });
        }
        FolderReader own;
        own.readAs(calls);
        FolderListing listing;
        const auto poll = std::chrono::milliseconds(1);
        ASSERT_TRUE(readAhead.take(root, listing, own, poll, [] {}));
        ASSERT_EQ(listing.subfolders.size(), 1u);
        const FolderReadAhead::FolderPtr sub = FolderReadAhead::subfolder(root, 0);
        if (c.error != 0) {
            EXPECT_FALSE(readAhead.take(sub, listing, own, poll, [] {}));
            EXPECT_EQ(listing.error, c.error);
        } else {
            EXPECT_THROW(readAhead.take(sub, listing, own, poll, [] {}), std::runtime_error);
        }
    }
}

} // namespace
