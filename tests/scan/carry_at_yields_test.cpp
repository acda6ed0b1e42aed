// Totals gathered per open folder and carried up at yields: what a yield shows is exact, while
// a tree is walked and while it is read back from a scan file; an aborted read changes nothing.
#include "ScanFixture.h"

#include "AppError.h"
#include "Interrupt.h"
#include "ScanFile.h"

#include <gtest/gtest.h>

#include <random>

namespace {

constexpr int SumCols[] = {TreeCol::Size, TreeCol::Files, TreeCol::Bytes};

// The first node whose shown totals are not the sums of its children's, or an empty text.
std::string firstWrongTotal(const ScanFixture &s) {
    for (int r = ScanTree::TopRow; r < s.grid.rows(); ++r) {
        const int first = s.grid.firstChild(r);
        if (first < 0)
            continue;
        for (int col : SumCols) {
            if (r == ScanTree::TopRow && col == TreeCol::Size && s.tree.topSizeInCurrentUnit())
                continue; // written in the unit by UpdateRoots, not summed
            Fixed sum;
            for (int c = first; c >= 0; c = s.grid.nextSibling(c))
                sum += s.tree.cellValue(c, col);
            if (s.tree.cellValue(r, col) != sum)
                return s.line(r) + " column " + std::to_string(col) + " should be " +
                       sum.text(u'.').toStdString();
        }
    }
    return {};
}

// A tree both wide and deep: random folders and file sizes, and one chain 150 folders deep.
void makeRandomTree(const QByteArray &root, std::mt19937 &random, int depth, int &budget) {
    makeDir(root);
    for (int f = static_cast<int>(random() % 4); f > 0; --f)
        makeFile(root + "f" + QByteArray::number(f), static_cast<qint64>(random() % 5000000000));
    const int subfolders = depth > 6 ? 0 : static_cast<int>(random() % 5);
    for (int d = 0; d < subfolders && budget-- > 0; ++d)
        makeRandomTree(root + "d" + QByteArray::number(d) + '/', random, depth + 1, budget);
}

std::vector<std::string> dump(const ScanFixture &s) {
    std::vector<std::string> rows;
    for (int r = 0; r < s.grid.rows(); ++r)
        rows.push_back(s.line(r) + (s.grid.isCollapsed(r) ? " collapsed" : ""));
    return rows;
}

} // namespace

struct CarryAtYields : ::testing::Test {
    QTemporaryDir dir;
    QByteArray base() const { return tempPath(dir) + "/tree/"; }
    QString file(const char *name) const { return dir.filePath(name); }

    void SetUp() override {
        std::mt19937 random(36);
        int budget = 400;
        makeRandomTree(base(), random, 0, budget);
        QByteArray chain = base() + "chain/";
        for (int level = 0; level < 150; ++level, chain += "c/") {
            makeDir(chain);
            makeFile(chain + "x", level * 1000 + 1);
        }
    }
};

TEST_F(CarryAtYields, EveryYieldShowsExactTotalsWalkingAndReading) {
    for (const int sizeUnit : {0, 1}) { // bytes, then KB whose sizes are rounded quotients
        SCOPED_TRACE(sizeUnit);
        ScanFixture walked;
        walked.settings.Object_Size = sizeUnit;
        walked.tree.SetSizeFactor();
        std::string wrong;
        walked.onYield = [&] {
            if (wrong.empty())
                wrong = firstWrongTotal(walked);
        };
        const int root = walked.scan(base());
        EXPECT_GT(walked.yields, 150);
        EXPECT_EQ(wrong, "") << "at a yield of the walk";
        EXPECT_EQ(firstWrongTotal(walked), "");
        ScanFile::Save(walked.tree, root, file("tree.json"));

        ScanFixture read;
        read.settings.Object_Size = sizeUnit;
        read.tree.SetSizeFactor();
        int paces = 0;
        const int opened =
            ScanFile::Open(read.tree, file("tree.json"), nullptr, ScanFile::maxDepth(),
                           {[&](std::uint64_t) {
                                ++paces;
                                if (wrong.empty())
                                    wrong = firstWrongTotal(read);
                            },
                            std::chrono::nanoseconds(0)});
        EXPECT_GT(paces, 5);
        EXPECT_EQ(wrong, "") << "at a pace of the reading";
        EXPECT_EQ(firstWrongTotal(read), "");
        for (int col : SumCols)
            EXPECT_EQ(read.tree.cellValue(opened, col), walked.tree.cellValue(root, col));
    }
}

TEST_F(CarryAtYields, AnAbortedReadingLeavesTheTreeAsItWas) {
    ScanFixture s;
    const int root = s.scan(base());
    ScanFile::Save(s.tree, root, file("tree.json"));
    s.tree.UpdateRoots();
    const std::vector<std::string> before = dump(s);
    struct Stop {
        const char *how;
        std::function<void()> stop;
    };
    const Stop stops[] = {{"abort", [] { throw AppError::scanAborted(); }},
                          {"interrupt", [] { Interrupt::request(); }}};
    for (const Stop &stop : stops) {
        SCOPED_TRACE(stop.how);
        int paces = 0;
        try {
            ScanFile::Open(s.tree, file("tree.json"), nullptr, ScanFile::maxDepth(),
                           {[&](std::uint64_t) {
                                if (++paces == 3)
                                    stop.stop();
                            },
                            std::chrono::nanoseconds(0)});
            ADD_FAILURE() << "the reading was not stopped";
        } catch (const AppError &e) {
            EXPECT_EQ(e.number(), AppError::ScanAborted);
        }
        Interrupt::clear();
        EXPECT_EQ(paces, 3);
        EXPECT_EQ(dump(s), before);
        EXPECT_EQ(firstWrongTotal(s), "");
    }
}
