#include "AppError.h"
#include "ExportFixture.h"
#include "XlsxExport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QXmlStreamReader>

#include <map>

namespace {

// The XML parts of a workbook, read back with Python's zipfile (which also checks every
// member's CRC).
QJsonObject workbookParts(const QString &file) {
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral(CAIRN_EXPORT_TEST_DIR "/xlsx_dump.py"), file});
    EXPECT_TRUE(python.waitForFinished(60000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

struct Cell {
    QString type; ///< "n" for numbers, "inlineStr" for texts
    QString text; ///< the value or the text
    int style = 0;
};

struct Row {
    bool hidden = false, collapsed = false;
    int level = 0;
    std::map<QChar, Cell> cells; // by column letter
};

struct Style {
    QString numFormat; ///< the format code; empty for the general format
    bool bold = false;
    QString color; ///< ARGB hex, empty for the theme's
    int indent = 0;
};

// What the report tests read from a workbook: the sheet's rows, the cell styles and the pane.
struct Workbook {
    std::map<int, Row> rows; // by row number from 1
    std::vector<Style> styles;
    QString pane; // "ySplit state" of the sheet view's pane

    explicit Workbook(const QString &file) {
        const QJsonObject parts = workbookParts(file);
        readSheet(parts.value(QStringLiteral("xl/worksheets/sheet1.xml")).toString());
        readStyles(parts.value(QStringLiteral("xl/styles.xml")).toString());
    }

    const Cell &cell(int row, char col) const { return rows.at(row).cells.at(QChar(col)); }
    const Style &styleOf(int row, char col) const {
        return styles.at(static_cast<std::size_t>(cell(row, col).style));
    }
    // The row number whose column A holds `name`, or 0.
    int rowNamed(const QString &name) const {
        for (const auto &[n, row] : rows)
            if (row.cells.count(u'A') && row.cells.at(u'A').text == name)
                return n;
        return 0;
    }

private:
    void readSheet(const QString &xml) {
        QXmlStreamReader in(xml);
        Row *row = nullptr;
        Cell *cell = nullptr;
        while (!in.atEnd()) {
            in.readNext();
            if (!in.isStartElement())
                continue;
            const auto a = in.attributes();
            const auto name = in.name();
            if (name == u"pane") {
                pane = a.value("ySplit").toString() + u' ' + a.value("state").toString();
            } else if (name == u"row") {
                row = &rows[a.value("r").toInt()];
                row->hidden = a.value("hidden") == u"1";
                row->collapsed = a.value("collapsed") == u"1";
                row->level = a.value("outlineLevel").toInt();
            } else if (name == u"c" && row) {
                cell = &row->cells[a.value("r").at(0)];
                cell->type = a.hasAttribute("t") ? a.value("t").toString() : QStringLiteral("n");
                cell->style = a.value("s").toInt();
            } else if ((name == u"v" || name == u"t") && cell) {
                cell->text = in.readElementText();
            }
        }
        EXPECT_FALSE(in.hasError()) << in.errorString().toStdString();
    }

    void readStyles(const QString &xml) {
        QXmlStreamReader in(xml);
        std::map<int, QString> numFormats;
        std::vector<Style> fonts;
        bool inCellXfs = false;
        while (!in.atEnd()) {
            in.readNext();
            if (in.isEndElement() && in.name() == u"cellXfs")
                inCellXfs = false;
            if (!in.isStartElement())
                continue;
            const auto a = in.attributes();
            const auto name = in.name();
            if (name == u"numFmt")
                numFormats[a.value("numFmtId").toInt()] = a.value("formatCode").toString();
            else if (name == u"font")
                fonts.emplace_back();
            else if (name == u"b" && !fonts.empty())
                fonts.back().bold = true;
            else if (name == u"color" && !fonts.empty())
                fonts.back().color = a.value("rgb").toString();
            else if (name == u"cellXfs")
                inCellXfs = true;
            else if (name == u"xf" && inCellXfs) {
                Style s = fonts.at(a.value("fontId").toUInt());
                s.numFormat = numFormats[a.value("numFmtId").toInt()];
                styles.push_back(s);
            } else if (name == u"alignment" && inCellXfs && !styles.empty())
                styles.back().indent = a.value("indent").toInt();
        }
        EXPECT_FALSE(in.hasError()) << in.errorString().toStdString();
    }
};

} // namespace

using XlsxReport = ExportFixture;

TEST_F(XlsxReport, CellsAreTheGridsTextsWithSizesAndCountsAsNumbers) {
    ASSERT_TRUE(XlsxExport::GridToExcel(grid, out("r.xlsx")));
    const Workbook book(out("r.xlsx"));
    ASSERT_EQ(book.rows.size(), static_cast<std::size_t>(grid.rows())) << "every row";

    EXPECT_EQ(book.cell(1, 'A').text, "Node");
    EXPECT_EQ(book.cell(1, 'B').text, "Size");
    EXPECT_EQ(book.cell(1, 'D').text, "# of Files");
    EXPECT_EQ(book.cell(1, 'E').text, "ByteSize");
    EXPECT_EQ(book.rows.at(1).cells.count(u'C'), 0u) << "the empty unit header";
    EXPECT_EQ(book.cell(1, 'A').type, "inlineStr");

    const int quote = book.rowNamed(QStringLiteral("say \"hi\""));
    ASSERT_GT(quote, 0);
    EXPECT_EQ(book.cell(quote, 'B').type, "n");
    EXPECT_EQ(book.cell(quote, 'B').text, "2");
    EXPECT_EQ(book.cell(quote, 'C').text, "KB");
    EXPECT_EQ(book.cell(quote, 'C').type, "inlineStr");
    EXPECT_EQ(book.cell(quote, 'D').type, "n");
    EXPECT_EQ(book.cell(quote, 'D').text, "1");
    EXPECT_EQ(book.cell(quote, 'E').text, "2048");
    EXPECT_EQ(book.cell(2, 'E').text, "1058200") << "the top row's byte total";
    EXPECT_GT(book.rowNamed(QStringLiteral("caf\uFFFD")), 0) << "a name that is not UTF-8";
    EXPECT_GT(book.rowNamed(QStringLiteral("\U0001F4C1 photos")), 0);

    // The size column's display format is the cells' number format, without the decimal
    // point for a whole size (a spreadsheet shows "2." under "#,##0.##" where the grid shows
    // "2"); counts show every digit.
    EXPECT_EQ(book.styleOf(quote, 'B').numFormat, "#,##0");
    EXPECT_EQ(book.styleOf(2, 'B').numFormat, "#,##0.##") << "1,033.4 KB";
    EXPECT_EQ(book.styleOf(quote, 'D').numFormat, "0");
    EXPECT_EQ(book.styleOf(quote, 'E').numFormat, "0");
    EXPECT_EQ(book.styleOf(quote, 'A').indent, 1);
    EXPECT_EQ(book.styleOf(book.rowNamed("deep"), 'A').indent, 2);

    // The scan root is bold in the root colour (blue); the header is bold; folders are plain.
    const int root = book.rowNamed(QStringLiteral("fixture/"));
    EXPECT_TRUE(book.styleOf(root, 'A').bold);
    EXPECT_EQ(book.styleOf(root, 'A').color, "FF0000FF");
    EXPECT_EQ(book.styleOf(root, 'B').color, "FF0000FF");
    EXPECT_TRUE(book.styleOf(1, 'A').bold);
    EXPECT_FALSE(book.styleOf(quote, 'A').bold);
    EXPECT_EQ(book.pane, "1 frozen") << "the header row stays in view";
}

TEST_F(XlsxReport, TheTreeIsTheSheetsOutlineWithCollapsedBranchesHidden) {
    const int sub = rowNamed(QStringLiteral("sub"));
    grid.setOutlineState(sub, OutlineCollapsed);
    ASSERT_TRUE(XlsxExport::GridToExcel(grid, out("r.xlsx")));
    const Workbook book(out("r.xlsx"));

    const int header = 1, top = 2;
    const int root = book.rowNamed("fixture/"), folder = book.rowNamed("sub");
    const int deep = book.rowNamed("deep"), deepFiles = book.rowNamed("<Files in deep>");
    EXPECT_EQ(book.rows.at(header).level, 0);
    EXPECT_EQ(book.rows.at(top).level, 0);
    EXPECT_EQ(book.rows.at(root).level, 1);
    EXPECT_EQ(book.rows.at(folder).level, 2);
    EXPECT_EQ(book.rows.at(deep).level, 3);
    EXPECT_EQ(book.rows.at(deepFiles).level, 4);

    EXPECT_TRUE(book.rows.at(folder).collapsed);
    EXPECT_FALSE(book.rows.at(folder).hidden);
    for (int r = folder + 1; r <= deepFiles; ++r)
        EXPECT_TRUE(book.rows.at(r).hidden) << r;
    int hidden = 0;
    for (const auto &[n, row] : book.rows)
        hidden += row.hidden;
    EXPECT_EQ(hidden, deepFiles - folder) << "only the collapsed branch is hidden";
    EXPECT_EQ(book.rows.at(root).collapsed, false);
}

// A tree deeper than a sheet's outline keeps the deepest levels at the sheet's last one.
TEST_F(XlsxReport, OutlineLevelsStopAtTheSheetsDeepest) {
    // A chain of folders below the last folder row, "deep"'s files row, one level each.
    for (int level = 3; level < 12; ++level) {
        const int r = grid.addRow();
        grid.setNode(r, true);
        grid.setLevel(r, level);
        grid.setText(r, 0, QStringLiteral("level %1").arg(level));
    }
    ASSERT_TRUE(XlsxExport::GridToExcel(grid, out("r.xlsx")));
    const Workbook book(out("r.xlsx"));
    EXPECT_EQ(book.rows.at(book.rowNamed("level 6")).level, 7);
    EXPECT_EQ(book.rows.at(book.rowNamed("level 11")).level, 7);
    EXPECT_EQ(book.styleOf(book.rowNamed("level 11"), 'A').indent, 11);
}

TEST_F(XlsxReport, AGridThatDoesNotFitOrAFileThatCannotBeWrittenIsAFailure) {
    EXPECT_THROW(XlsxExport::GridToExcel(grid, out("missing/r.xlsx")), std::system_error);
    grid.setRows(XlsxExport::MaxRows + 1);
    try {
        XlsxExport::GridToExcel(grid, out("big.xlsx"));
        ADD_FAILURE() << "no error raised";
    } catch (const AppError &e) {
        EXPECT_EQ(e.description(),
                  "The tree has 1048577 rows; an Excel worksheet holds at most 1048576.");
    }
    EXPECT_FALSE(QFile::exists(out("big.xlsx")));
    // A full disk is the report's own write error, with its reason.
    if (QFile::exists(QStringLiteral("/dev/full"))) {
        grid.setRows(5);
        QFile full(QStringLiteral("/dev/full"));
        ASSERT_TRUE(full.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        try {
            XlsxExport::GridToExcel(grid, full, QStringLiteral("r.xlsx"));
            ADD_FAILURE() << "no error raised";
        } catch (const std::system_error &e) {
            EXPECT_EQ(e.code().value(), ENOSPC) << e.what();
        }
    }
}

TEST_F(XlsxReport, CountsBeyondWhatADoubleHoldsKeepEveryDigitAsText) {
    // 2^64 + 1 bytes in one files row: the sheet's doubles would round it.
    const int quote = rowNamed(QStringLiteral("say \"hi\""));
    ASSERT_GT(quote, 0);
    const int files = grid.firstChild(quote);
    grid.setText(files, TreeCol::Bytes, QStringLiteral("18446744073709551617"));
    ASSERT_EQ(grid.text(quote, TreeCol::Bytes), "18446744073709551617");
    ASSERT_TRUE(XlsxExport::GridToExcel(grid, out("big.xlsx")));
    const Workbook book(out("big.xlsx"));
    const int row = book.rowNamed(QStringLiteral("say \"hi\""));
    ASSERT_GT(row, 0);
    EXPECT_EQ(book.cell(row, 'E').type, "inlineStr");
    EXPECT_EQ(book.cell(row, 'E').text, "18446744073709551617");
    EXPECT_EQ(book.cell(2, 'E').text, "18446744073710607769") << "the top row: plus the rest";
    EXPECT_EQ(book.cell(row, 'D').type, "n") << "small counts stay numbers";
    EXPECT_EQ(book.cell(row, 'D').text, "1");
}
