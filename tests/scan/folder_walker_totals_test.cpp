// Totals of petabytes and exabytes: sizes handed to the walker through its stat seam, so sparse
// files of any size can be had on any file system.
#include "AppError.h"
#include "ScanFixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

namespace {

constexpr qint64 Max64 = std::numeric_limits<qint64>::max();

// Files whose names start with a number are that many bytes long; others are as they are.
int statWithNamedSizes(int fd, const char *name, struct stat *st) {
    const int rc = FolderReader::statEntry(fd, name, st);
    if (rc == 0 && S_ISREG(st->st_mode) && name[0] >= '1' && name[0] <= '9')
        st->st_size = std::stoll(name);
    return rc;
}

class WalkerTotals : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ScanFixture s;
    QByteArray base() const { return tempPath(dir) + '/'; }

    void SetUp() override { s.search.setStatFunction(&statWithNamedSizes); }

    int childNamed(int parent, const QString &name) const {
        for (int c : s.children(parent))
            if (s.grid.text(c, 0) == name)
                return c;
        ADD_FAILURE() << "no child named " << name.toStdString();
        return -1;
    }

    // Every node's counts are the sums of its children's, down from `row`, exactly.
    void expectSums(int row) const {
        const auto kids = s.children(row);
        if (kids.empty())
            return;
        Fixed files, bytes;
        for (int c : kids) {
            files += s.tree.cellValue(c, 3);
            bytes += s.tree.cellValue(c, 4);
            expectSums(c);
        }
        EXPECT_EQ(s.tree.cellValue(row, 3), files) << s.line(row);
        EXPECT_EQ(s.tree.cellValue(row, 4), bytes) << s.line(row);
    }
};

TEST_F(WalkerTotals, FoldersOfPetabytesAndTheirSumsAreExact) {
    // 922,337,203,685,477 bytes was the end of the old range; a folder at it and siblings whose
    // sum passes it are counted to the byte.
    makeDir(base() + "one");
    makeFile(base() + "one/922337203685477", 0);
    makeFile(base() + "one/7", 0);
    makeDir(base() + "a");
    makeFile(base() + "a/900000000000001", 0);
    makeDir(base() + "b");
    makeFile(base() + "b/900000000000002", 0);
    const int root = s.scan(base());
    EXPECT_EQ(s.grid.text(childNamed(root, "one"), 4), "922337203685484");
    EXPECT_EQ(s.grid.text(childNamed(root, "a"), 4), "900000000000001");
    EXPECT_EQ(s.grid.text(root, 4), "2722337203685487");
    EXPECT_EQ(s.grid.text(root, 3), "4");
    EXPECT_EQ(s.grid.text(ScanTree::TopRow, 4), "2722337203685487");
    expectSums(ScanTree::TopRow);
}

TEST_F(WalkerTotals, TotalsAreExactToTwoToTheSixtyThreeAndBeyond) {
    makeDir(base() + "x");
    makeFile(base() + "x/9223372036854775807", 0);
    makeDir(base() + "y");
    makeFile(base() + "y/9223372036854775807", 0); // a folder's own sum passes 64 bits
    makeFile(base() + "y/9223372036854775806", 0);
    makeFile(base() + "y/3", 0);
    makeDir(base() + "x/inner");
    makeFile(base() + "x/inner/1", 0);
    makeDir(base() + "z");
    makeFile(base() + "z/9223372036854775807", 0);
    makeFile(base() + "z/2", 0);
    const int root = s.scan(base());
    const int x = childNamed(root, "x"), y = childNamed(root, "y"), z = childNamed(root, "z");
    EXPECT_EQ(s.grid.text(x, 4), "9223372036854775808");
    EXPECT_EQ(s.grid.text(z, 4), "9223372036854775809");
    EXPECT_EQ(s.grid.text(y, 4), "18446744073709551616"); // 2^64
    EXPECT_EQ(s.grid.text(root, 4), "36893488147419103233");
    EXPECT_EQ(s.grid.text(root, 3), "7");
    // The size column is the quotient written with 15 digits; it still adds up.
    EXPECT_EQ(s.grid.text(y, 1), "17592186044416"); // MB
    expectSums(ScanTree::TopRow);
    // Sorting by size puts the larger folder first, also where a double could not tell them
    // apart; the grid shows the grouped digits exactly.
    EXPECT_EQ(s.grid.displayText(y, 1), "17,592,186,044,416");
    for (GridSort order : {GridSort::NumericDescending, GridSort::NumericAscending}) {
        s.grid.setColSort(4, order);
        s.grid.sortNode(root);
        std::string names;
        for (int c : s.children(root))
            if (!s.grid.text(c, 0).startsWith(u'<')) // the files row, of 0 bytes
                names += s.grid.text(c, 0).toStdString() + ' ';
        EXPECT_EQ(names, order == GridSort::NumericDescending ? "y z x " : "x z y ") << names;
    }
}

TEST_F(WalkerTotals, AFolderWhoseFilesAreBeyondTheRangeEndsTheWalkNamingIt) {
    makeDir(base() + "fine");
    makeFile(base() + "fine/5", 0);
    makeDir(base() + "huge");
    for (int i = 0; i < 11; ++i) // 11 x (2^63 - 1) is beyond 10^20 - 1
        makeFile(base() + "huge/9223372036854775807." + QByteArray::number(i), 0);
    try {
        s.scan(base());
        FAIL() << "the walk succeeded";
    } catch (const AppError &e) {
        EXPECT_EQ(e.number(), AppError::Overflow);
        EXPECT_TRUE(e.description().contains(QString::fromUtf8(base() + "huge/")))
            << e.description().toStdString();
    }
    expectSums(ScanTree::TopRow);
    EXPECT_EQ(s.grid.text(ScanTree::TopRow, 3), s.grid.text(ScanTree::TopRow + 1, 3));
}

TEST_F(WalkerTotals, ATotalBeyondTheRangeEndsTheWalkNamingItsFolderAndChangesNoTotal) {
    // Eleven sibling folders of 2^63 - 1 bytes each: the eleventh files row would take their
    // parent past the range.
    makeDir(base() + "p");
    for (int i = 0; i < 11; ++i) {
        const QByteArray sub = base() + "p/d" + QByteArray::number(i);
        makeDir(sub);
        makeFile(sub + "/9223372036854775807", 0);
    }
    try {
        s.scan(base());
        FAIL() << "the walk succeeded";
    } catch (const AppError &e) {
        EXPECT_EQ(e.number(), AppError::Overflow);
        EXPECT_TRUE(e.description().contains(QString::fromUtf8(base() + "p/")))
            << e.description().toStdString();
        EXPECT_FALSE(e.description().contains(QString::fromUtf8(base() + "p/d")));
    }
    // What was added stays consistent: ten folders' worth, every parent the sum of its rows.
    expectSums(ScanTree::TopRow);
    EXPECT_EQ(s.grid.text(ScanTree::TopRow, 4), "92233720368547758070");
    EXPECT_EQ(s.grid.text(ScanTree::TopRow, 3), "10");
}

} // namespace
