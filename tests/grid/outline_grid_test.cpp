#include "GridCellCodec.h"
#include "OutlineGrid.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

namespace {

// Reference definitions, straight from the rule "the parent is the nearest row above with a
// lower level", computed the slow way.
int naiveParent(const OutlineGrid &g, int r) {
    if (r < g.fixedRows())
        return -1;
    for (int p = r - 1; p >= g.fixedRows(); --p)
        if (g.level(p) < g.level(r))
            return p;
    return -1;
}

std::vector<int> naiveChildren(const OutlineGrid &g, int r) {
    std::vector<int> out;
    for (int c = g.fixedRows(); c < g.rows(); ++c)
        if (c != r && naiveParent(g, c) == r)
            out.push_back(c);
    return out;
}

void expectLinksMatchNaive(const OutlineGrid &g) {
    for (int r = g.fixedRows(); r < g.rows(); ++r) {
        SCOPED_TRACE("row " + std::to_string(r));
        const int p = naiveParent(g, r);
        ASSERT_EQ(g.parentRow(r), p);
        const auto kids = naiveChildren(g, r);
        EXPECT_EQ(g.firstChild(r), kids.empty() ? -1 : kids.front());
        EXPECT_EQ(g.lastChild(r), kids.empty() ? -1 : kids.back());
        std::vector<int> sibs;
        for (int s = g.fixedRows(); s < g.rows(); ++s)
            if (naiveParent(g, s) == p)
                sibs.push_back(s);
        auto it = std::find(sibs.begin(), sibs.end(), r);
        EXPECT_EQ(g.nextSibling(r), it + 1 == sibs.end() ? -1 : *(it + 1));
        EXPECT_EQ(g.firstSibling(r), sibs.front());
        int end = r + 1;
        while (end < g.rows() && g.level(end) > g.level(r))
            ++end;
        EXPECT_EQ(g.subtreeEnd(r), end);
    }
}

int appendRow(OutlineGrid &g, int level, const QString &cells) {
    const int r = g.addRow();
    g.setNode(r, true);
    g.setLevel(r, level);
    g.setTextRange(r, 0, g.cols() - 1, cells);
    return r;
}

} // namespace

TEST(OutlineGridShape, CuttingRowsKeepsTheFirstRowsWithEverything) {
    OutlineGrid g;
    g.setCols(6);
    g.setRows(1);
    g.setFixedRows(1);
    const int pic = g.addPicture(QIcon());
    appendRow(g, -1, "Scans\t0\tMB\t0\t0");
    g.setCellPicture(1, 0, pic);
    g.setCellBold(1, 0, 1, 0, true);
    g.setRowData(1, "keep");
    for (int i = 0; i < 50; ++i)
        appendRow(g, 0, QString("root%1\t%2\tMB\t1\t%2").arg(i).arg(i * 3));
    g.setCellForeColor(40, 0, 40, 3, 255);
    g.select(30, 0);
    g.setRows(2);
    ASSERT_EQ(g.rows(), 2);
    EXPECT_EQ(g.text(1, 0), "Scans");
    EXPECT_EQ(g.level(1), -1);
    EXPECT_TRUE(g.isNode(1));
    EXPECT_EQ(g.cellPicture(1, 0), pic);
    EXPECT_TRUE(g.cellBold(1, 0));
    EXPECT_EQ(g.rowData(1), "keep");
    EXPECT_EQ(g.selectedRowCount(), 0);
    EXPECT_EQ(g.cursorRow(), -1);
    EXPECT_EQ(g.firstChild(1), -1);
    // Rows appended after the cut start clean: no looks left over from the dropped rows.
    for (int i = 0; i < 50; ++i)
        appendRow(g, 0, "again");
    EXPECT_EQ(g.cellForeColor(40, 0), 0u);
    EXPECT_EQ(g.lastChild(1), 51);
}

TEST(OutlineGridCells, TextsComeBackExactlyWhateverTheirStorage) {
    OutlineGrid g;
    g.setDecimalSeparator('.');
    g.setCols(2);
    g.setRows(1);
    const QStringList texts = {"0",
                               "1024",
                               "12.5",
                               "-3.0001",
                               "1.50",
                               "007",
                               "-0",
                               "1e5",
                               "",
                               "MB",
                               "é",
                               "Ünïcødé long name with spaces",
                               "<Files in x>",
                               "9999999999999999999999.5",
                               "230584300921369.5",
                               "12.34567",
                               QString(300, 'x'),
                               QString::fromUtf8("\xF0\x9F\x98\x80")};
    for (const QString &t : texts) {
        g.setText(0, 1, t);
        EXPECT_EQ(g.text(0, 1), t);
    }
    g.setText(0, 0, "12.5");
    ASSERT_TRUE(g.fixedValue(0, 0).has_value());
    EXPECT_EQ(*g.fixedValue(0, 0), 125000);
    g.setText(0, 0, "1.50"); // not canonical: kept as text, still a number
    EXPECT_FALSE(g.fixedValue(0, 0).has_value());
    EXPECT_DOUBLE_EQ(*g.number(0, 0), 1.5);
    g.setText(0, 0, "abc");
    EXPECT_FALSE(g.number(0, 0).has_value());
}

TEST(OutlineGridCells, CanonicalNumbersFollowTheDecimalSeparator) {
    EXPECT_EQ(GridCellCodec::parseCanonical(u"12,5", QChar(',')), 125000);
    EXPECT_FALSE(GridCellCodec::parseCanonical(u"12.5", QChar(',')).has_value());
    EXPECT_EQ(GridCellCodec::canonicalText(125000, QChar(',')), "12,5");
    EXPECT_EQ(GridCellCodec::canonicalText(-1, QChar('.')), "-0.0001");
    EXPECT_EQ(GridCellCodec::canonicalText(std::numeric_limits<qint64>::min(), QChar('.')),
              "-922337203685477.5808");
    EXPECT_FALSE(GridCellCodec::parseCanonical(u"01", QChar('.')).has_value());
    EXPECT_FALSE(GridCellCodec::parseCanonical(u"1.", QChar('.')).has_value());
    EXPECT_FALSE(GridCellCodec::parseCanonical(u"1.23456", QChar('.')).has_value());
}

TEST(OutlineGridCells, RangeWriteRaisesOneChangePerCellEvenWithoutRedraw) {
    OutlineGrid g;
    g.setCols(6);
    g.setRows(3);
    g.setRedraw(GridRedraw::None);
    std::vector<std::tuple<int, int, QString>> seen;
    QObject::connect(&g, &OutlineGrid::cellChanged, &g,
                     [&](int r, int c) { seen.emplace_back(r, c, g.text(r, c)); });
    g.setTextRange(2, 0, 4, "name\t1.5\tKB\t3");
    ASSERT_EQ(seen.size(), 5u);
    for (int c = 0; c <= 4; ++c) {
        EXPECT_EQ(std::get<0>(seen[c]), 2);
        EXPECT_EQ(std::get<1>(seen[c]), c);
    }
    EXPECT_EQ(std::get<2>(seen[0]), "name");
    EXPECT_EQ(std::get<2>(seen[2]), "KB");
    EXPECT_EQ(std::get<2>(seen[4]), ""); // missing piece: empty cell
    seen.clear();
    g.setTextRange(1, 0, 1, "a\tb\tc"); // extra pieces are ignored
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_EQ(g.text(1, 1), "b");
    EXPECT_EQ(g.text(1, 2), "");
}

TEST(OutlineGridCells, RewritingTextsManyTimesKeepsThemIntact) {
    OutlineGrid g;
    g.setCols(2);
    g.setRows(200);
    for (int round = 0; round < 200; ++round)
        for (int r = 0; r < 200; ++r) {
            g.setText(r, 0, QString("folder name %1 round %2 with padding").arg(r).arg(round));
            if (round == 0)
                g.setRowData(r, QString("/data/%1/").arg(r));
        }
    for (int r = 0; r < 200; ++r) {
        EXPECT_EQ(g.text(r, 0), QString("folder name %1 round 199 with padding").arg(r));
        EXPECT_EQ(g.rowData(r), QString("/data/%1/").arg(r));
    }
}

TEST(OutlineGridCells, LooksAreSparseAndClearable) {
    OutlineGrid g;
    g.setCols(6);
    g.setRows(10);
    g.setCellForeColor(3, 0, 3, 3, 255);
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ(g.cellForeColor(3, c), c <= 3 ? 255u : 0u);
    EXPECT_EQ(g.cellForeColor(4, 0), 0u);
    g.setCellForeColor(3, 0, 3, 3, 0);
    EXPECT_EQ(g.cellForeColor(3, 0), 0u);
    g.setColAlignment(1, AlignRightCenter);
    g.setCellAlignment(2, 1, 2, 1, AlignLeftTop);
    EXPECT_EQ(g.effectiveAlignment(2, 1), AlignLeftTop);
    EXPECT_EQ(g.effectiveAlignment(3, 1), AlignRightCenter);
    EXPECT_EQ(g.mergedRange(2, 3), (GridRange{2, 3, 2, 3}));
    EXPECT_THROW(g.text(10, 0), std::out_of_range);
}

TEST(OutlineGridLinks, OddLevelSequencesFollowTheNearestLowerRow) {
    OutlineGrid g;
    g.setCols(1);
    g.setRows(1);
    g.setFixedRows(1);
    g.setLevel(0, -1);
    for (int lv : {-1, 0, 3, 1, 2, 0, 2, 2, 5, 1, -1, 0})
        appendRow(g, lv, "x");
    expectLinksMatchNaive(g);
    EXPECT_EQ(g.parentRow(3), 2); // level 3 under level 0
    EXPECT_EQ(g.parentRow(4), 2); // level 1 under level 0 as well
    EXPECT_EQ(g.nextSibling(3), 4);
    EXPECT_EQ(g.parentRow(11), -1); // a second top row
    EXPECT_EQ(g.firstSibling(11), 1);
}

TEST(OutlineGridLinks, RandomTreesWithQueriesBetweenAppendsAndEdits) {
    std::mt19937 rng(7);
    for (int trial = 0; trial < 20; ++trial) {
        OutlineGrid g;
        g.setCols(1);
        g.setRows(1);
        g.setFixedRows(1);
        for (int i = 0; i < 60; ++i) {
            const int lv = static_cast<int>(rng() % 6) - 1;
            const int r = appendRow(g, lv, "x");
            if (rng() % 3 == 0)
                (void)g.parentRow(r); // index grows with the appends
            if (rng() % 17 == 0)
                g.setLevel(static_cast<int>(rng() % g.rows()), static_cast<int>(rng() % 5));
            if (rng() % 23 == 0 && g.rows() > 5)
                g.removeRows(1 + static_cast<int>(rng() % (g.rows() - 2)), 2);
        }
        expectLinksMatchNaive(g);
    }
}

namespace {

// A scan-shaped grid: header, "Scans", then nested folders with unique names and sizes.
struct TreeFixture {
    OutlineGrid g;
    std::mt19937 rng{11};
    TreeFixture() {
        g.setCols(6);
        g.setRows(1);
        g.setFixedRows(1);
        g.setLevel(0, -1);
        appendRow(g, -1, "Scans\t0\tMB\t0\t0");
    }
    void build(int count) {
        int lv = 0;
        for (int i = 0; i < count; ++i) {
            lv = i == 0 ? 0 : std::clamp(lv + static_cast<int>(rng() % 3) - 1, 0, 6);
            const int bytes = static_cast<int>(rng() % 5) * 100; // many ties
            const QString name =
                QString(i % 3 ? "Dir%1" : "dir%1").arg(static_cast<int>(rng() % 40));
            const int r =
                appendRow(g, lv, QString("%1\t%2\tMB\t%3\t%2").arg(name).arg(bytes).arg(i));
            g.setRowData(r, QString::number(i)); // identity of the row
        }
    }
    // Each row's identity, with its parent's identity, as a set of edges.
    std::multiset<std::pair<QString, QString>> edges() const {
        std::multiset<std::pair<QString, QString>> out;
        for (int r = 2; r < g.rows(); ++r) {
            const int p = g.parentRow(r);
            out.emplace(g.rowData(r), p >= 0 ? g.rowData(p) + g.text(p, 0) : QString("-"));
        }
        return out;
    }
};

void expectChildrenOrdered(const OutlineGrid &g, int col, GridSort how) {
    for (int r = 1; r < g.rows(); ++r) {
        int prev = -1;
        for (int c = g.firstChild(r); c >= 0; c = g.nextSibling(c)) {
            if (prev >= 0) {
                const bool numeric = how == GridSort::NumericAscending ||
                                     how == GridSort::NumericDescending ||
                                     (g.number(prev, col) && g.number(c, col));
                int cmp;
                if (numeric) {
                    const double a = g.number(prev, col).value_or(0),
                                 b = g.number(c, col).value_or(0);
                    cmp = a < b ? -1 : (a > b ? 1 : 0);
                } else {
                    cmp = QString::compare(g.text(prev, col), g.text(c, col), Qt::CaseInsensitive);
                }
                const bool desc =
                    how == GridSort::GenericDescending || how == GridSort::NumericDescending;
                EXPECT_LE(desc ? -cmp : cmp, 0) << "rows " << prev << " and " << c;
                if (cmp == 0) { // ties keep their original order
                    EXPECT_LT(g.rowData(prev).toInt(), g.rowData(c).toInt());
                }
            }
            prev = c;
        }
    }
}

} // namespace

TEST(OutlineGridSort, EverySettingOrdersChildrenAndSubtreesMoveWithThem) {
    const std::pair<int, GridSort> cases[] = {
        {0, GridSort::GenericAscending}, {0, GridSort::GenericDescending},
        {4, GridSort::NumericAscending}, {4, GridSort::NumericDescending},
        {3, GridSort::GenericAscending}, {3, GridSort::NumericDescending}};
    for (auto [col, how] : cases) {
        SCOPED_TRACE(static_cast<int>(how));
        TreeFixture f;
        f.build(300);
        const auto before = f.edges();
        f.g.setColSort(col, how);
        for (int r = 1; r < f.g.rows(); ++r)
            f.g.sortNode(r);
        expectChildrenOrdered(f.g, col, how);
        EXPECT_EQ(f.edges(), before);
        expectLinksMatchNaive(f.g);
    }
}

TEST(OutlineGridSort, SortingAllAtOnceEqualsSortingNodeByNode) {
    TreeFixture a, b;
    a.build(400);
    b.build(400);
    a.g.setColSort(4, GridSort::NumericDescending);
    b.g.setColSort(4, GridSort::NumericDescending);
    for (int r = 1; r < a.g.rows(); ++r)
        a.g.sortNode(r);
    b.g.sortAllNodes();
    ASSERT_EQ(a.g.rows(), b.g.rows());
    for (int r = 0; r < a.g.rows(); ++r) {
        ASSERT_EQ(a.g.rowData(r), b.g.rowData(r)) << r;
        ASSERT_EQ(a.g.level(r), b.g.level(r));
    }
    expectLinksMatchNaive(b.g);
}

TEST(OutlineGridSort, ASortItsCallerStopsMovesNoRow) {
    TreeFixture f;
    f.build(12000); // the caller is asked every few thousand children
    std::vector<QString> before;
    for (int r = 0; r < f.g.rows(); ++r)
        before.push_back(f.g.rowData(r));
    f.g.setColSort(4, GridSort::NumericDescending);
    int asked = 0;
    EXPECT_FALSE(f.g.sortAllNodes([&] { return ++asked < 2; }));
    EXPECT_EQ(asked, 2);
    for (int r = 0; r < f.g.rows(); ++r)
        ASSERT_EQ(f.g.rowData(r), before[static_cast<std::size_t>(r)]) << r;
    EXPECT_TRUE(f.g.sortAllNodes([&] { return ++asked > 0; }));
    EXPECT_GT(asked, 3);
    expectChildrenOrdered(f.g, 4, GridSort::NumericDescending);
}

TEST(OutlineGridSort, GenericOrderReadsNumbersAsNumbersAndIgnoresCase) {
    OutlineGrid g;
    g.setCols(1);
    g.setRows(1);
    g.setFixedRows(1);
    appendRow(g, 0, "top");
    for (const char *n : {"banana", "10", "Apple", "2", "cherry", "apple"})
        appendRow(g, 1, n);
    g.setColSort(0, GridSort::GenericAscending);
    g.sortNode(1);
    QStringList got;
    for (int r = 2; r < g.rows(); ++r)
        got << g.text(r, 0);
    EXPECT_EQ(got, (QStringList{"2", "10", "Apple", "apple", "banana", "cherry"}));
    g.setColSort(0, GridSort::None);
    g.setColSort(0, GridSort::None);
    appendRow(g, 1, "0");
    g.sortNode(1); // no setting: nothing moves
    EXPECT_EQ(g.text(g.rows() - 1, 0), "0");
}

TEST(OutlineGridSort, SelectionLooksAndBordersFollowTheirRows) {
    TreeFixture f;
    f.build(120);
    const int target = 57;
    const QString id = f.g.rowData(target);
    f.g.select(target, 0, target, 4);
    f.g.setRowSelected(80, true);
    const QString id2 = f.g.rowData(80);
    f.g.setCellForeColor(target, 0, target, 3, 0xff0000);
    f.g.setCellBorder({{target, 0, target, 5}, 0x00ff00, 2, 2, 2, 2, 0, 0});
    f.g.setColSort(0, GridSort::GenericDescending);
    f.g.sortAllNodes();
    const int now = f.g.cursorRow();
    EXPECT_EQ(f.g.rowData(now), id);
    ASSERT_EQ(f.g.selectedRowCount(), 2);
    QStringList ids{f.g.rowData(f.g.selectedRow(0)), f.g.rowData(f.g.selectedRow(1))};
    EXPECT_TRUE(ids.contains(id) && ids.contains(id2));
    EXPECT_EQ(f.g.cellForeColor(now, 3), 0xff0000u);
    ASSERT_EQ(f.g.borders().size(), 1u);
    EXPECT_EQ(f.g.borders()[0].range, (GridRange{now, 0, now, 5}));
    int colored = 0;
    for (int r = 0; r < f.g.rows(); ++r)
        colored += f.g.cellForeColor(r, 0) != 0;
    EXPECT_EQ(colored, 1);
}

TEST(OutlineGridOutline, CollapsingHidesEveryDescendantOnly) {
    TreeFixture f;
    f.build(80);
    int node = -1;
    for (int r = 2; r < f.g.rows() && node < 0; ++r)
        if (f.g.firstChild(r) >= 0 && f.g.firstChild(f.g.firstChild(r)) >= 0)
            node = r;
    ASSERT_GE(node, 0);
    f.g.setOutlineState(node, OutlineCollapsed);
    const int end = f.g.subtreeEnd(node);
    for (int r = 1; r < f.g.rows(); ++r)
        EXPECT_EQ(f.g.isRowVisible(r), !(r > node && r < end)) << r;
    f.g.outline(1);
    for (int r = 2; r < f.g.rows(); ++r)
        EXPECT_EQ(f.g.isRowVisible(r), f.g.level(r) <= 1) << r;
    f.g.setRowHeight(2, 0);
    EXPECT_FALSE(f.g.isRowVisible(2));
}

TEST(OutlineGridRemove, RemovingARootBetweenOthersRemovesExactlyItsRows) {
    TreeFixture f;
    appendRow(f.g, 0, "A");
    appendRow(f.g, 1, "a1");
    const int b = appendRow(f.g, 0, "B");
    appendRow(f.g, 1, "b1");
    appendRow(f.g, 2, "b2");
    const int c = appendRow(f.g, 0, "C");
    f.g.select(c, 0);
    const int next = f.g.nextSibling(b);
    ASSERT_EQ(next, c);
    f.g.removeRows(b, next - b);
    QStringList names;
    for (int r = 1; r < f.g.rows(); ++r)
        names << f.g.text(r, 0);
    EXPECT_EQ(names, (QStringList{"Scans", "A", "a1", "C"}));
    EXPECT_EQ(f.g.cursorRow(), 4);
    EXPECT_EQ(f.g.selectedRow(0), 4);
    EXPECT_EQ(f.g.nextSibling(2), 4);
    expectLinksMatchNaive(f.g);
}

TEST(OutlineGridCells, HandlersSeeThePreviousValueEvenWhenTheyWriteCellsThemselves) {
    OutlineGrid g;
    g.setDecimalSeparator('.');
    g.setCols(3);
    g.setRows(2);
    g.setTextRange(1, 0, 2, "old\t2.5\t7");
    std::vector<std::pair<int, QString>> seen;
    QObject::connect(&g, &OutlineGrid::cellChanged, &g, [&](int r, int c) {
        seen.emplace_back(r * 10 + c, g.previousText());
        if (r == 1 && c == 1) { // a handler carrying the change to another row
            const qint64 delta = *g.fixedValue(1, 1) - g.previousFixedValue().value_or(0);
            g.setText(0, 1, QString::number(delta));
        }
    });
    g.setTextRange(1, 0, 2, "new\t4\t8");
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0], std::make_pair(10, QString("old")));
    EXPECT_EQ(seen[1], std::make_pair(11, QString("2.5")));
    EXPECT_EQ(seen[2], std::make_pair(1, QString("")));
    EXPECT_EQ(seen[3], std::make_pair(12, QString("7"))); // restored after the nested write
    EXPECT_EQ(g.text(0, 1), "15000");
}

TEST(OutlineGridCells, FixedValuesWriteTheSameCellAsTheirText) {
    OutlineGrid g;
    g.setDecimalSeparator(',');
    g.setCols(2);
    g.setRows(1);
    int changes = 0;
    QString previous;
    g.setCellChangedHandler([&](int, int) {
        ++changes;
        previous = g.previousText();
    });
    g.setText(0, 0, "x");
    for (qint64 v : {qint64(0), qint64(125000), qint64(-1), std::numeric_limits<qint64>::max(),
                     std::numeric_limits<qint64>::min()}) {
        g.setFixedValue(0, 0, v);
        g.setText(0, 1, GridCellCodec::canonicalText(v, ','));
        EXPECT_EQ(g.text(0, 0), g.text(0, 1));
    }
    EXPECT_EQ(g.text(0, 0), "-922337203685477,5808");
    EXPECT_EQ(changes, 11);
    EXPECT_EQ(previous, "922337203685477,5807"); // column 1's last value before the last write
}

TEST(OutlineGridRowData, ExtendingRowDataSurvivesSortsRewritesAndCompaction) {
    OutlineGrid g;
    g.setCols(1);
    g.setRows(1);
    const int top = g.addRow();
    g.setRowDataBytes(top, "/start/");
    std::vector<int> chain{top};
    QByteArray expected = "/start/";
    std::vector<QByteArray> paths{expected};
    for (int i = 0; i < 3000; ++i) {
        const int r = g.addRow();
        g.setLevel(r, i + 1);
        const QByteArray part = "p" + QByteArray::number(i) + "/";
        g.setRowDataExtending(r, chain.back(), part.constData(), part.size());
        chain.push_back(r);
        expected += part;
        paths.push_back(expected);
    }
    // The base row's data may be replaced later: rows that extended it keep what they extended.
    const int side = g.addRow();
    g.setLevel(side, 1);
    g.setRowDataExtending(side, top, "side/", 5);
    g.setRowDataBytes(top, "/elsewhere/");
    paths[0] = "/elsewhere/";
    // Enough rewritten text to make the next row removal compact the arena.
    for (int round = 0; round < 8; ++round)
        g.setText(top, 0, QString(300000, QChar(u'a' + round)));
    const int doomed = g.addRow();
    g.setLevel(doomed, 0);
    g.removeRows(doomed, 1);
    for (std::size_t i = 0; i < chain.size(); i += 97)
        EXPECT_EQ(g.rowDataBytes(chain[i]), paths[i]) << i;
    EXPECT_EQ(g.rowDataBytes(chain.back()), paths.back());
    EXPECT_EQ(g.rowDataBytes(side), "/start/side/");
    EXPECT_EQ(g.rowData(chain[2]), "/start/p0/p1/"); // as if the bytes had been copied
}

TEST(OutlineGridLinks, LevelsGoFarBeyondSixteenBits) {
    OutlineGrid g;
    g.setCols(1);
    g.setRows(1);
    const int levels = 70000;
    for (int i = 0; i <= levels; ++i)
        g.setLevel(g.addRow(), i);
    EXPECT_EQ(g.level(levels + 1), levels);
    EXPECT_EQ(g.parentRow(levels + 1), levels);
    EXPECT_EQ(g.subtreeEnd(1), levels + 2);
    g.setLevel(1, OutlineGrid::MaxLevel + 10);
    EXPECT_EQ(g.level(1), OutlineGrid::MaxLevel);
    g.setRowHeight(2, 1 << 30);
    EXPECT_EQ(g.rowHeight(2), OutlineGrid::MaxRowHeight);
    g.setRowHeight(2, -5);
    EXPECT_EQ(g.rowHeight(2), -1);
}
