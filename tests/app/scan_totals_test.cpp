// Scans whose totals pass 64-bit fixed point, through the real window: the sizes come from the
// walker's stat seam, so any size can be had without a file system that holds it.
#include "MainFixture.h"
#include "ScanTree.h"
#include "TreeCol.h"
#include "mdlFileSearch.h"

#include <sys/stat.h>

#include <string>

namespace {

// Files whose names start with a digit are that many bytes long.
int statWithNamedSizes(int fd, const char *name, struct stat *st) {
    const int rc = FolderReader::statEntry(fd, name, st);
    if (rc == 0 && S_ISREG(st->st_mode) && name[0] >= '1' && name[0] <= '9')
        st->st_size = std::stoll(name);
    return rc;
}

struct ScanTotals : MainFixture {
    void SetUp() override {
        MainFixture::SetUp();
        form->fileSearch().setStatFunction(&statWithNamedSizes);
    }
};

TEST_F(ScanTotals, ExabyteTotalsFinishExactlyAndShowGrouped) {
    QDir().mkpath(root + "/x");
    QDir().mkpath(root + "/y");
    makeFile(root + "/x/9223372036854775807", 0);
    makeFile(root + "/y/9223372036854775807", 0);
    scan(root);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "The scan has finished.");
    const int top = ScanTree::TopRow;
    // 2 x (2^63 - 1) and the fixture's 2,130 bytes.
    EXPECT_EQ(form->grid().text(top, TreeCol::Bytes), "18446744073709553744");
    EXPECT_EQ(form->grid().text(rowNamed(root + "/"), TreeCol::Bytes), "18446744073709553744");
    // In bytes the size is the exact count, as the workbook and the byte column hold it.
    EXPECT_EQ(form->grid().displayText(rowNamed("x"), TreeCol::Size), "9,223,372,036,854,775,807");
    EXPECT_EQ(form->grid().text(top, TreeCol::Files), "5");
}

TEST_F(ScanTotals, ATotalBeyondWhatCanBeCountedIsAFailureNamingTheFolder) {
    QDir().mkpath(root + "/big");
    for (int i = 0; i < 11; ++i) {
        QDir().mkpath(root + "/big/d" + QString::number(i));
        makeFile(root + "/big/d" + QString::number(i) + "/9223372036854775807", 0);
    }
    scan(root);
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].title, "Error in scanning");
    EXPECT_EQ(prompts.shown[0].icon, Prompts::Icon::Critical);
    EXPECT_TRUE(prompts.shown[0].text.startsWith("6\nOverflow: the total of " + root +
                                                 "/big/ is beyond what can be counted"))
        << prompts.shown[0].text.toStdString();
    EXPECT_EQ(form->statusText(2), "Error encountered.");
    EXPECT_TRUE(form->startPathBox()->isEnabled());
    // The rows kept add up: ten folders of 2^63 - 1 bytes, at most, and the fixture's files.
    const OutlineGrid &g = form->grid();
    for (int r = 1; r < g.rows(); ++r) {
        if (!g.hasChildren(r))
            continue;
        Fixed bytes;
        for (int c = g.firstChild(r); c >= 0; c = g.nextSibling(c))
            bytes += *Fixed::parse(g.text(c, TreeCol::Bytes), u'.');
        EXPECT_EQ(g.text(r, TreeCol::Bytes), bytes.text(u'.')) << g.text(r, 0).toStdString();
    }
}

} // namespace
