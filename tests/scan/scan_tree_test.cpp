#include "AppError.h"
#include "OutlineGrid.h"
#include "ScanTree.h"
#include "Settings.h"

#include <gtest/gtest.h>

#include <random>

namespace {

class ScanTreeModel : public ::testing::Test {
protected:
    Settings settings;
    OutlineGrid grid;
    ScanTree tree{grid, settings};
    std::vector<std::pair<QString, int>> errors;

    void SetUp() override {
        grid.setDecimalSeparator(u'.');
        tree.setErrorSink([this](const QString &title, const AppError &e) {
            errors.emplace_back(title, e.number());
        });
    }
    std::string row(int r) const {
        QString s = QString::number(grid.level(r));
        for (int c = 0; c <= 5; ++c)
            s += u'|' + grid.text(r, c);
        return s.toStdString();
    }
};

TEST_F(ScanTreeModel, InitTreeGridPreparesColumnsHeaderAndTopRow) {
    tree.InitTreeGrid();
    EXPECT_EQ(grid.cols(), 6);
    EXPECT_EQ(grid.rows(), 2);
    EXPECT_EQ(grid.fixedRows(), 1);
    EXPECT_EQ(grid.fixedCols(), 0);
    EXPECT_EQ(row(0), "-1|Node|Size||# of Files|ByteSize|");
    EXPECT_FALSE(grid.isNode(0));
    EXPECT_EQ(grid.level(0), -1);
    EXPECT_EQ(row(1), "-1|Scans|0|MB|0|0|");
    EXPECT_TRUE(grid.isNode(1));
    EXPECT_EQ(grid.cellPicture(1, 0), tree.pictureId(TreePicture::Desktop));
    EXPECT_EQ(grid.cursorRow(), 1);
    const int widths[] = {3045, 990, 375, 735, 960, 960};
    const int aligns[] = {AlignLeftCenter,  AlignRightCenter, AlignLeftCenter,
                          AlignRightCenter, AlignRightCenter, AlignGeneral};
    const int types[] = {TypeString,   TypeCurrency, TypeString,
                         TypeCurrency, TypeCurrency, TypeEmpty};
    for (int c = 0; c < 6; ++c) {
        EXPECT_EQ(grid.colWidth(c), widths[c]) << c;
        EXPECT_EQ(grid.colAlignment(c), aligns[c]) << c;
        EXPECT_EQ(grid.colDataType(c), types[c]) << c;
        EXPECT_EQ(grid.isColHidden(c), c == 4) << c;
    }
    EXPECT_EQ(grid.look().gridLines, 14);
    EXPECT_EQ(grid.colFormat(1), "#,##0.##");
    EXPECT_EQ(tree.SizeFactor(), 1048576);
}

TEST_F(ScanTreeModel, UnitAndFormatFollowTheSettingsWithRepairs) {
    settings.Object_Size = 7;
    settings.Object_Size_Format = QStringLiteral("   ");
    tree.InitTreeGrid();
    EXPECT_EQ(tree.SizeFactor(), 1);
    EXPECT_EQ(tree.SizeUnit(), "B");
    EXPECT_EQ(tree.SizeFormat(), "#,##0.##");
    EXPECT_EQ(grid.text(1, 2), "B");
    const int r = tree.AddTreeRow("x", 0, RowKind::Folder, Fixed::fromInt(1234567), true, Fixed());
    EXPECT_EQ(grid.text(r, 1), "1234567");
    EXPECT_EQ(grid.displayText(r, 1), QLocale().toString(1234567.0, 'f', 0));

    const std::pair<int, const char *> units[] = {{0, "B"}, {1, "KB"}, {2, "MB"}, {3, "GB"}};
    for (auto [size, unit] : units) {
        settings.Object_Size = static_cast<std::int16_t>(size);
        tree.SetSizeFactor();
        EXPECT_EQ(tree.SizeUnit(), unit);
        EXPECT_EQ(tree.SizeFactor(), Settings::sizeFactorOf(size));
    }
    settings.Object_Size_Format = QStringLiteral(" 0.0 ");
    OutlineGrid other;
    ScanTree second(other, settings);
    second.InitTreeGrid();
    EXPECT_EQ(other.colFormat(1), "0.0");
}

TEST_F(ScanTreeModel, RowKindsPickPicturesAndLooks) {
    tree.InitTreeGrid();
    const std::pair<RowKind, TreePicture> kinds[] = {
        {RowKind::HardDisk, TreePicture::HDD},
        {RowKind::Remote, TreePicture::Remote},
        {RowKind::Removable, TreePicture::Removable},
        {RowKind::Optical, TreePicture::Optical},
        {RowKind::RamDisk, TreePicture::RAMDISK},
        {RowKind::Undetermined, TreePicture::Undtmnd},
        {RowKind::NoRoot, TreePicture::NoRoot},
        {RowKind::InvalidDriveNumber, TreePicture::InvDrvNum},
        {RowKind::Folder, TreePicture::Folder},
        {RowKind::Files, TreePicture::File},
        {RowKind::Warning, TreePicture::Warning},
        {static_cast<RowKind>(99), TreePicture::Folder}};
    std::set<int> ids;
    for (auto [kind, picture] : kinds) {
        const int r = tree.AddTreeRow("n", 0, kind, Fixed(), false, Fixed());
        EXPECT_EQ(grid.cellPicture(r, 0), tree.pictureId(picture));
        ids.insert(tree.pictureId(picture));
    }
    EXPECT_EQ(ids.size(), 11u); // every role its own picture (InvDrvNum and NoRoot included)

    const int warn = tree.AddTreeRow("Scan aborted", 1, RowKind::Warning, Fixed(), false, Fixed());
    for (int c = 0; c <= 3; ++c)
        EXPECT_EQ(grid.cellForeColor(warn, c), 255u);
    EXPECT_EQ(grid.cellForeColor(warn, 4), 0u);

    settings.Root_Font_Color = 0x123456;
    const int root = tree.AddTreeRow("/data/", 0, RowKind::HardDisk, Fixed(), true, Fixed());
    for (int c = 0; c <= 3; ++c)
        EXPECT_EQ(grid.cellForeColor(root, c), 0x123456u);
    EXPECT_TRUE(grid.cellBold(root, 0));
    EXPECT_FALSE(grid.cellBold(root, 1));
    EXPECT_TRUE(grid.isNode(root));

    const std::pair<int, RowKind> drives[] = {{0, RowKind::Undetermined},
                                              {1, RowKind::NoRoot},
                                              {2, RowKind::Removable},
                                              {3, RowKind::HardDisk},
                                              {4, RowKind::Remote},
                                              {5, RowKind::Optical},
                                              {6, RowKind::RamDisk},
                                              {7, RowKind::InvalidDriveNumber},
                                              {-1, RowKind::InvalidDriveNumber}};
    for (auto [type, kind] : drives)
        EXPECT_EQ(ScanTree::rowKindOfDriveType(type), kind) << type;
}

TEST_F(ScanTreeModel, ParentTakesTheValueOfItsFirstChildAndTheSumAfterwards) {
    tree.InitTreeGrid();
    settings.Object_Size = 0;
    tree.SetSizeFactor();
    const int root = tree.AddTreeRow("/r/", 0, RowKind::Folder, Fixed(), true, Fixed());
    // A folder made with a size of its own holds the sum of its children once it has some.
    const int odd =
        tree.AddTreeRow("odd", 1, RowKind::Folder, Fixed::fromInt(500), false, Fixed::fromInt(9));
    EXPECT_EQ(grid.text(root, 4), "500");
    tree.AddTreeRow("<Files in odd>", 2, RowKind::Files, Fixed::fromInt(40), false,
                    Fixed::fromInt(2));
    EXPECT_EQ(grid.text(odd, 4), "40");
    EXPECT_EQ(grid.text(odd, 3), "2");
    EXPECT_EQ(grid.text(root, 4), "40");
    tree.AddTreeRow("<Files in /r/>", 1, RowKind::Files, Fixed::fromInt(2), false,
                    Fixed::fromInt(1));
    EXPECT_EQ(row(root), "0|/r/|42|B|3|42|");
    // Rewriting a cell carries only the change.
    grid.setText(odd + 1, 4, QStringLiteral("45.5"));
    EXPECT_EQ(grid.text(root, 4), "47.5");
    grid.setText(odd + 1, 3, QString());
    EXPECT_EQ(grid.text(root, 3), "1");
    EXPECT_TRUE(errors.empty());
}

TEST_F(ScanTreeModel, ErrorsInTheHandlerAreReportedAndTheRowsStay) {
    tree.InitTreeGrid();
    const int root = tree.AddTreeRow("/r/", 0, RowKind::Folder, Fixed(), true, Fixed());
    const int files =
        tree.AddTreeRow("f", 1, RowKind::Files, Fixed::fromInt(10), false, Fixed::fromInt(1));
    grid.setText(files, 4, QStringLiteral("ten"));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].first, "Error in fgTree_CellChanged");
    EXPECT_EQ(errors[0].second, 13);
    EXPECT_EQ(grid.text(root, 4), "10");

    // A sum beyond the range is not the handler's to report and go on from: the row is not
    // kept, no total changes, and the overflow error names the folder.
    try {
        tree.AddTreeRow("g", 1, RowKind::Files, Fixed::fromInt(Fixed::MaxWhole - 5), false,
                        Fixed());
        ADD_FAILURE() << "no error";
    } catch (const AppError &e) {
        EXPECT_EQ(e.number(), 6);
        EXPECT_TRUE(e.description().startsWith("Overflow: the total of /r/ is beyond"))
            << e.description().toStdString();
    }
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(grid.rows(), files + 1);
    EXPECT_EQ(grid.text(root, 3), "1");
    EXPECT_EQ(grid.text(ScanTree::TopRow, 3), "1");
}

// The straightforward rule: every node with children holds the sums of its children's
// columns 1, 3 and 4, column 1 summed from each child's text rounded to four decimals.
void expectSumsHold(const OutlineGrid &grid, const ScanTree &tree) {
    for (int r = 1; r < grid.rows(); ++r) {
        if (!grid.hasChildren(r))
            continue;
        Fixed units, files, bytes;
        for (int c = grid.firstChild(r); c >= 0; c = grid.nextSibling(c)) {
            auto value = [&](int col) {
                const QString t = grid.text(c, col);
                return t.isEmpty() ? Fixed() : *Fixed::parse(t, u'.');
            };
            units += value(1);
            files += value(3);
            bytes += value(4);
        }
        SCOPED_TRACE("row " + std::to_string(r) + " " + grid.text(r, 0).toStdString());
        ASSERT_EQ(grid.text(r, 3), files.text(u'.'));
        ASSERT_EQ(grid.text(r, 4), bytes.text(u'.'));
        if (r == ScanTree::TopRow && tree.topSizeInCurrentUnit())
            ASSERT_EQ(grid.text(r, 1),
                      Fixed::textOfDouble(bytes.toDouble() / tree.SizeFactor(), u'.'));
        else
            ASSERT_EQ(grid.text(r, 1), units.text(u'.'));
    }
}

class RandomScans : public ScanTreeModel {
protected:
    std::mt19937_64 rng{20261207};
    int check = 0;

    void afterWrite() {
        if (++check % 7 == 0) // every write would make the test quadratic in earnest
            expectSumsHold(grid, tree);
    }
    void folder(int level, int folderRow, int depthLeft) {
        const int subfolders = depthLeft > 0 ? static_cast<int>(rng() % 4) : 0;
        for (int i = 0; i < subfolders; ++i) {
            const int r = tree.AddTreeRow(QStringLiteral("d%1").arg(rng() % 1000), level,
                                          RowKind::Folder, Fixed(), false, Fixed());
            afterWrite();
            folder(level + 1, r, depthLeft - 1 - static_cast<int>(rng() % 2));
        }
        const qint64 bytes = rng() % 3 == 0 ? 0 : static_cast<qint64>(rng() % (qint64(1) << 42));
        tree.AddTreeRow("<Files in>", level, RowKind::Files, Fixed::fromInt(bytes), false,
                        Fixed::fromInt(static_cast<qint64>(rng() % 500)));
        afterWrite();
        grid.sortNode(folderRow);
        grid.setOutlineState(folderRow, OutlineCollapsed);
    }
    void setRandomSort() {
        for (int c = 0; c < grid.cols(); ++c)
            grid.setColSort(c, GridSort::None);
        const int cols[] = {0, 1, 3, 4};
        grid.setColSort(cols[rng() % 4], static_cast<GridSort>(1 + rng() % 4));
    }
};

TEST_F(RandomScans, TotalsEqualAReSumAfterScansSortsRewritesAndRootRemovals) {
    tree.InitTreeGrid();
    for (int round = 0; round < 60; ++round) {
        const auto action = rng() % 10;
        if (action < 5) {
            settings.Object_Size = static_cast<std::int16_t>(rng() % 4);
            tree.SetSizeFactor();
            if (rng() % 3 == 0)
                setRandomSort();
            else
                for (int c = 0; c < grid.cols(); ++c)
                    grid.setColSort(c, GridSort::None);
            const int root =
                tree.AddTreeRow("/scan/", 0, RowKind::HardDisk, Fixed(), true, Fixed());
            folder(1, root, 4);
            if (rng() % 2)
                tree.UpdateRoots();
        } else if (action < 7) {
            setRandomSort();
            if (rng() % 2)
                grid.sortAllNodes();
            else
                grid.sortNode(static_cast<int>(1 + rng() % (grid.rows() - 1)));
        } else if (action < 9 && grid.rows() > 2) {
            // Rewrite a leaf's size or count, as a later write would.
            const int r = static_cast<int>(2 + rng() % (grid.rows() - 2));
            if (!grid.hasChildren(r)) {
                const int col = std::array{1, 3, 4}[rng() % 3];
                const QString text =
                    col == 1
                        ? Fixed::textOfDouble(static_cast<double>(rng() % 100000) / 977.0, u'.')
                        : Fixed::fromInt(static_cast<qint64>(rng() % 100000)).text(u'.');
                grid.setText(r, col, text);
            }
        } else if (grid.hasChildren(ScanTree::TopRow)) {
            std::vector<int> roots;
            for (int c = grid.firstChild(1); c >= 0; c = grid.nextSibling(c))
                roots.push_back(c);
            const int victim = roots[rng() % roots.size()];
            grid.removeRows(victim, grid.subtreeEnd(victim) - victim);
            tree.UpdateRoots();
        }
        SCOPED_TRACE("round " + std::to_string(round));
        expectSumsHold(grid, tree);
    }
    EXPECT_GT(grid.rows(), 100);
    EXPECT_TRUE(errors.empty());
}

TEST_F(ScanTreeModel, TopRowIsReSummedOnceAScanWritesAfterUpdateRoots) {
    tree.InitTreeGrid(); // MB
    const int a = tree.AddTreeRow("/a/", 0, RowKind::Folder, Fixed(), true, Fixed());
    tree.AddTreeRow("<Files in /a/>", 1, RowKind::Files, Fixed::fromInt(3 * 1048576), false,
                    Fixed::fromInt(1));
    settings.Object_Size = 1;
    tree.SetSizeFactor();
    tree.UpdateRoots();
    EXPECT_EQ(row(1), "-1|Scans|3072|KB|1|3145728|");
    EXPECT_TRUE(tree.topSizeInCurrentUnit());
    const int b = tree.AddTreeRow("/b/", 0, RowKind::Folder, Fixed(), true, Fixed());
    tree.AddTreeRow("<Files in /b/>", 1, RowKind::Files, Fixed::fromInt(2048), false,
                    Fixed::fromInt(1));
    // While a scan runs the top row sums the roots as they stand (3 MB + 2 KB).
    EXPECT_FALSE(tree.topSizeInCurrentUnit());
    EXPECT_EQ(grid.text(1, 1), "5");
    EXPECT_EQ(grid.text(1, 4), "3147776");
    EXPECT_EQ(grid.text(a, 2), "MB");
    EXPECT_EQ(grid.text(b, 2), "KB");
    tree.UpdateRoots();
    EXPECT_EQ(row(1), "-1|Scans|3074|KB|2|3147776|");
}

TEST_F(ScanTreeModel, ARowBelowARootFirstAfterUpdateRootsCountsInTheTopRow) {
    tree.InitTreeGrid(); // MB
    tree.AddTreeRow("/a/", 0, RowKind::Folder, Fixed(), true, Fixed());
    tree.AddTreeRow("<Files in /a/>", 1, RowKind::Files, Fixed::fromInt(3 * 1048576), false,
                    Fixed::fromInt(1));
    settings.Object_Size = 1;
    tree.SetSizeFactor();
    tree.UpdateRoots();
    ASSERT_TRUE(tree.topSizeInCurrentUnit());
    // The first row written after the change of unit lies below the root, not at its level:
    // the top row's new sum takes the root's new size (3 + 1, the roots as they stand), not
    // the one it had.
    tree.AddTreeRow("more", 1, RowKind::Files, Fixed::fromInt(1024), false, Fixed::fromInt(1));
    EXPECT_EQ(grid.text(2, 1), "4");
    EXPECT_EQ(row(1), "-1|Scans|4|KB|2|3146752|");
}

} // namespace
