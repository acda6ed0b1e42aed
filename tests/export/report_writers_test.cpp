#include "ExportFixture.h"
#include "GridExport.h"

#include <QStringList>

#include <system_error>

namespace {

// Compares a report with its golden file byte for byte. With CAIRN_UPDATE_GOLDEN set, the
// golden file is written instead (then read it before committing it).
void expectGolden(const QString &report, const char *golden) {
    const QString path = QStringLiteral(CAIRN_EXPORT_TEST_DIR "/golden/") + golden;
    const QByteArray actual = readAll(report);
    if (qEnvironmentVariableIsSet("CAIRN_UPDATE_GOLDEN")) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(actual);
        return;
    }
    const QByteArray expected = readAll(path);
    ASSERT_FALSE(expected.isEmpty()) << "missing golden file " << path.toStdString();
    EXPECT_EQ(actual.toStdString(), expected.toStdString()) << golden;
}

QStringList linesOf(const QByteArray &bytes) {
    QStringList lines = QString::fromUtf8(bytes).split(QStringLiteral("\r\n"));
    EXPECT_EQ(lines.takeLast(), QString()) << "the last line ends with CR LF";
    return lines;
}

} // namespace

using ReportWriters = ExportFixture;

// The header first, the collapsed branch's folders absent, a quote doubled, the long name on
// one line, the bad name with a replacement character, CR LF everywhere.
TEST_F(ReportWriters, CsvAndTextMatchTheirGoldenFilesWithABranchCollapsed) {
    const int sub = rowNamed(QStringLiteral("sub"));
    ASSERT_GT(sub, 0);
    grid.setOutlineState(sub, OutlineCollapsed);
    ASSERT_TRUE(GridExport::GridToCSV(grid, out("r.csv")));
    ASSERT_TRUE(GridExport::GridToText(grid, out("r.txt")));
    expectGolden(out("r.csv"), "collapsed.csv");
    expectGolden(out("r.txt"), "collapsed.txt");

    const QStringList csv = linesOf(readAll(out("r.csv")));
    EXPECT_EQ(csv.first(), QStringLiteral(R"("Node","Size","","# of Files")"));
    EXPECT_TRUE(csv.contains(QStringLiteral(R"(" say ""hi""","2","KB","1")")));
    for (const QString &line : csv)
        EXPECT_FALSE(line.contains(u'\n') || line.contains(u'\r')) << line.toStdString();
    EXPECT_FALSE(readAll(out("r.csv")).contains("deep"));
    EXPECT_FALSE(readAll(out("r.txt")).contains("deep"));
}

TEST_F(ReportWriters, ExpandingABranchBringsItsRowsIntoBothReports) {
    grid.setOutlineState(rowNamed(QStringLiteral("sub")), OutlineCollapsed);
    ASSERT_TRUE(GridExport::GridToCSV(grid, out("before.csv")));
    grid.setOutlineState(rowNamed(QStringLiteral("sub")), OutlineExpanded);
    ASSERT_TRUE(GridExport::GridToCSV(grid, out("r.csv")));
    ASSERT_TRUE(GridExport::GridToText(grid, out("r.txt")));
    expectGolden(out("r.csv"), "expanded.csv");
    expectGolden(out("r.txt"), "expanded.txt");
    // deep, and deep's files row, and sub's files row
    EXPECT_EQ(linesOf(readAll(out("r.csv"))).size(),
              linesOf(readAll(out("before.csv"))).size() + 3);
    EXPECT_TRUE(readAll(out("r.csv")).contains(R"("  deep","0.03","KB","1")"));
}

// The text report's columns, read back by character: a name that reaches column 30 pushes its
// size to column 30 of a new line; a wide character counts once.
TEST_F(ReportWriters, TextColumnsCountCharactersAndLongNamesWrap) {
    ASSERT_TRUE(GridExport::GridToText(grid, out("r.txt")));
    const QStringList lines = linesOf(readAll(out("r.txt")));
    const auto at = [&](const QString &start) {
        for (qsizetype i = 0; i < lines.size(); ++i)
            if (lines[i].startsWith(start))
                return i;
        return qsizetype(-1);
    };
    const qsizetype longName = at(QStringLiteral(" a folder name long enough"));
    ASSERT_GE(longName, 0);
    EXPECT_EQ(lines[longName].trimmed(),
              QStringLiteral("a folder name long enough to pass column 30"));
    const QString wrapped = lines[longName + 1];
    EXPECT_EQ(wrapped.indexOf(QStringLiteral("4.88")), 29);
    EXPECT_EQ(wrapped.indexOf(QStringLiteral("KB")), 44);
    EXPECT_EQ(wrapped.indexOf(QStringLiteral("1"), 45), 54);

    const qsizetype photos = at(QStringLiteral(" \U0001F4C1 photos"));
    ASSERT_GE(photos, 0);
    // Counted in UTF-16 units the size would stand one place further right.
    EXPECT_EQ(lines[photos].toUcs4().indexOf(U'1'), 29);

    // The header: an empty unit leaves only blanks before the next column.
    EXPECT_EQ(lines[0], QStringLiteral("Node") + QString(25, u' ') + QStringLiteral("Size") +
                            QString(21, u' ') + QStringLiteral("# of Files"));
}

// Rows hidden on their own (hidden flag or height 0) are left out; their children are not.
TEST_F(ReportWriters, HiddenRowsAreLeftOutButNotTheirChildren) {
    const int sub = rowNamed(QStringLiteral("sub"));
    grid.setRowHidden(sub, true);
    grid.setRowHeight(rowNamed(QStringLiteral("empty")), 0);
    ASSERT_TRUE(GridExport::GridToCSV(grid, out("r.csv")));
    const QByteArray csv = readAll(out("r.csv"));
    EXPECT_FALSE(csv.contains("\" sub\""));
    EXPECT_FALSE(csv.contains("\" empty\""));
    EXPECT_TRUE(csv.contains("\"  deep\""));
}

TEST_F(ReportWriters, AFileThatCannotBeCreatedRaisesTheSystemError) {
    for (auto writer : {qOverload<const OutlineGrid &, const QString &>(&GridExport::GridToCSV),
                        qOverload<const OutlineGrid &, const QString &>(&GridExport::GridToText)}) {
        try {
            writer(grid, out("no/such/folder/r.csv"));
            ADD_FAILURE() << "no error raised";
        } catch (const std::system_error &e) {
            EXPECT_EQ(e.code().value(), ENOENT);
            EXPECT_NE(std::string(e.what()).find("no/such/folder/r.csv"), std::string::npos);
        }
    }
}

// A writer that cannot finish (here: the disk is full) raises the error rather than report a
// complete file.
TEST_F(ReportWriters, AWriteErrorIsRaisedNotReportedAsSuccess) {
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full";
    EXPECT_THROW(GridExport::GridToCSV(grid, QStringLiteral("/dev/full")), std::system_error);
    EXPECT_THROW(GridExport::GridToText(grid, QStringLiteral("/dev/full")), std::system_error);
    // A device is never replaced by a report; written through, the disk's error comes back.
    for (auto writer :
         {qOverload<const OutlineGrid &, QIODevice &, const QString &>(&GridExport::GridToCSV),
          qOverload<const OutlineGrid &, QIODevice &, const QString &>(&GridExport::GridToText)}) {
        QFile full(QStringLiteral("/dev/full"));
        ASSERT_TRUE(full.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        try {
            writer(grid, full, QStringLiteral("r.csv"));
            ADD_FAILURE() << "no error raised";
        } catch (const std::system_error &e) {
            EXPECT_EQ(e.code().value(), ENOSPC) << e.what();
        }
    }
}

// In the unit Bytes a size is the byte count itself: beyond 2^53 a double would round it.
TEST_F(ReportWriters, SizesInBytesBeyondWhatADoubleHoldsAreExact) {
    settings.Object_Size = 0;
    tree.InitTreeGrid();
    const Fixed huge = *Fixed::parse(u"18446744073709551617", u'.');
    const int root =
        tree.AddTreeRow(QStringLiteral("big/"), 0, RowKind::HardDisk, Fixed(), true, Fixed());
    tree.AddTreeRow(QStringLiteral("vast"), 1, RowKind::Folder, huge, false, Fixed::fromInt(1));
    tree.UpdateRoots();
    ASSERT_GT(root, 0);
    ASSERT_TRUE(GridExport::GridToCSV(grid, out("r.csv")));
    const QList<QByteArray> lines = readAll(out("r.csv")).split('\n');
    ASSERT_GE(lines.size(), 4);
    for (int line : {1, 2, 3})
        EXPECT_TRUE(lines[line].contains("\"18,446,744,073,709,551,617\",\"B\""))
            << lines[line].constData();
}

// A line break or tab inside a name stays on the name's line as its control picture, as the
// grid shows it, and the size stays in its column.
TEST_F(ReportWriters, ControlCharactersInANameKeepTheTextReportsLines) {
    grid.setText(rowNamed(QStringLiteral("empty")), 0, QStringLiteral("two\nlines\tand\r"));
    ASSERT_TRUE(GridExport::GridToText(grid, out("r.txt")));
    const QByteArray bytes = readAll(out("r.txt"));
    EXPECT_EQ(bytes.count('\n'), bytes.count("\r\n")) << "no bare LF";
    EXPECT_EQ(bytes.count('\r'), bytes.count("\r\n")) << "no bare CR";
    const QStringList lines = linesOf(bytes);
    const QString name = QStringLiteral("two\u240Alines\u2409and\u240D");
    qsizetype at = -1;
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (lines[i].trimmed().startsWith(name))
            at = i;
    ASSERT_GE(at, 0) << bytes.toStdString();
    EXPECT_EQ(lines[at].indexOf(u'0', name.size()), 29) << lines[at].toStdString();
}
