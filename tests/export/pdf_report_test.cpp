#include "PdfFixture.h"

#include <QDateTime>
#include <QFile>

#include <algorithm>

#include <system_error>

namespace {

using PdfReport = PdfFixture;

// A tree longer than a page: every page is numbered with the same total, repeats the header
// row, and the rows run on from page to page with none lost or printed twice at a break.
TEST_F(PdfReport, LongTreeBreaksOverNumberedPagesWithTheHeaderOnEach) {
    addScan(150);
    const QString pdf = write(false);

    const int pages = pdfPageCount(pdf);
    ASSERT_GE(pages, 3);
    const QStringList texts = pageTexts(pdf);
    ASSERT_EQ(texts.size(), pages);

    QStringList folders;
    for (int i = 0; i < pages; ++i) {
        const QStringList lines = pageLines(texts[i]);
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_EQ(lines.last(), QStringLiteral("Page %1 of %2").arg(i + 1).arg(pages))
            << "page " << i + 1;
        // The header row, its narrow last column elided as on screen.
        EXPECT_TRUE(std::any_of(
            lines.begin(), lines.end(),
            [](const QString &line) { return line.startsWith(QStringLiteral("Node Size #")); }))
            << "no header row on page " << i + 1;
        for (const QString &line : lines) {
            if (line.startsWith(QStringLiteral("Folder")))
                folders.append(line.section(u' ', 0, 0));
        }
    }
    ASSERT_EQ(folders.size(), 150);
    for (int i = 0; i < 150; ++i)
        EXPECT_EQ(folders[i], QStringLiteral("Folder%1").arg(i, 4, 10, QChar(u'0')));
}

// Without the chart the document holds the heading, the date line, an empty line and the
// grid, and nothing else (besides the page number).
TEST_F(PdfReport, WithoutChartOnlyHeadingDateAndGrid) {
    addScan(2);
    const QDateTime before = QDateTime::currentDateTime();
    const QString pdf = write(false);
    const QDateTime after = QDateTime::currentDateTime();

    ASSERT_EQ(pdfPageCount(pdf), 1);
    const QString page = pageTexts(pdf).value(0);
    const QStringList raw = page.split(u'\n');
    ASSERT_GE(raw.size(), 4);
    EXPECT_EQ(raw[0].trimmed(), QStringLiteral("Cairnmeter v1.0.5 by Velmoria"));
    const QString date = raw[1].trimmed();
    EXPECT_TRUE(date == GridExport::reportDateLine(before) ||
                date == GridExport::reportDateLine(after))
        << date.toStdString();

    const QStringList expected = {
        QStringLiteral("Cairnmeter v1.0.5 by Velmoria"),
        date,
        QStringLiteral("Node Size # of Files"),
        QStringLiteral("Scans 2,006 B 3"),
        QStringLiteral("/data/ 2,006 B 3"),
        QStringLiteral("Folder0000 1,000 B 1"),
        QStringLiteral("<Files in 0> 1,000 B 1"),
        QStringLiteral("Folder0001 1,001 B 1"),
        QStringLiteral("<Files in 1> 1,001 B 1"),
        QStringLiteral("<Files in /data/> 5 B 1"),
        QStringLiteral("Page 1 of 1"),
    };
    QStringList lines = pageLines(page);
    ASSERT_EQ(lines.size(), expected.size());
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("Node Size #"))) << lines[2].toStdString();
    lines[2] = expected[2];
    EXPECT_EQ(lines, expected);
    // The empty paragraph: a blank line between the date and the grid.
    EXPECT_TRUE(raw[2].trimmed().isEmpty());
    EXPECT_FALSE(colorBounds(renderPage(pdf, 1, 40), ChartBack).isValid());
}

// With the chart: below the grid, at its physical size on screen (480 x 360 pixels at 96 dpi
// is 5 x 3.75 inches), and its texts on the page.
TEST_F(PdfReport, ChartBelowTheGridAtItsScreenSize) {
    addScan(2);
    const QString pdf = write(true);

    ASSERT_EQ(pdfPageCount(pdf), 1);
    const QString page = pageTexts(pdf).value(0);
    EXPECT_TRUE(page.contains(QStringLiteral("LegendAlpha")));
    EXPECT_TRUE(page.contains(QStringLiteral("Chart Title Here")));
    EXPECT_LT(page.indexOf(QStringLiteral("<Files in /data/>")),
              page.indexOf(QStringLiteral("Chart Title Here")));

    const int dpi = 48;
    const QRect box = colorBounds(renderPage(pdf, 1, dpi), ChartBack);
    ASSERT_TRUE(box.isValid());
    EXPECT_NEAR(box.width(), 5.0 * dpi, 2);
    EXPECT_NEAR(box.height(), 3.75 * dpi, 2);
    EXPECT_NEAR(box.left(), 1.0 * dpi, 2); // at the left margin
}

// A chart that does not fit below the grid starts a page of its own, and the page numbers
// count that page.
TEST_F(PdfReport, ChartThatDoesNotFitGoesToANewPage) {
    addScan(10);
    const QString withoutChart = write(false, QStringLiteral("a.pdf"));
    ASSERT_EQ(pdfPageCount(withoutChart), 1);
    chart->resize(480, 700); // about 7.3 inches: no room left below the grid
    const QString pdf = write(true, QStringLiteral("b.pdf"));

    ASSERT_EQ(pdfPageCount(pdf), 2);
    const QStringList texts = pageTexts(pdf);
    EXPECT_FALSE(texts[0].contains(QStringLiteral("LegendAlpha")));
    EXPECT_TRUE(texts[1].contains(QStringLiteral("LegendAlpha")));
    EXPECT_TRUE(texts[0].contains(QStringLiteral("Page 1 of 2")));
    EXPECT_TRUE(texts[1].contains(QStringLiteral("Page 2 of 2")));
    EXPECT_FALSE(colorBounds(renderPage(pdf, 1, 30), ChartBack).isValid());
    EXPECT_TRUE(colorBounds(renderPage(pdf, 2, 30), ChartBack).isValid());
}

// Only the rows the grid shows are printed: a collapsed node's children are not.
TEST_F(PdfReport, CollapsedRowsAreNotPrinted) {
    const int root = addScan(3);
    grid.setOutlineState(grid.firstChild(root), OutlineCollapsed);
    const QString text = pageTexts(write(false)).join(QString());
    EXPECT_TRUE(text.contains(QStringLiteral("Folder0000")));
    EXPECT_FALSE(text.contains(QStringLiteral("<Files in 0>")));
    EXPECT_TRUE(text.contains(QStringLiteral("<Files in 1>")));
}

// Every font is embedded, and "Arial" is set in its metric twin Liberation Sans.
TEST_F(PdfReport, FontsAreEmbedded) {
    addScan(2, QStringLiteral("名前フォルダ"));
    const QString pdf = write(true);
    const QStringList lines = QString::fromUtf8(runTool(QStringLiteral("pdffonts"), {pdf}))
                                  .split(u'\n', Qt::SkipEmptyParts);
    ASSERT_GT(lines.size(), 2); // two heading lines, then one line per font
    bool liberation = false;
    for (const QString &line : lines.mid(2)) {
        // name type encoding emb sub uni object ID
        const QStringList fields = line.simplified().split(u' ');
        ASSERT_GE(fields.size(), 7) << line.toStdString();
        EXPECT_EQ(fields[fields.size() - 5], QStringLiteral("yes"))
            << "not embedded: " << line.toStdString();
        liberation = liberation || line.contains(QStringLiteral("LiberationSans"));
    }
    EXPECT_TRUE(liberation);
}

// A name in a script that is not Latin comes out as text, not as shapes or missing glyphs.
TEST_F(PdfReport, NonLatinNamesComeOutAsText) {
    addScan(2, QStringLiteral("写真フォルダ"));
    const QString text = pageTexts(write(false)).join(QString());
    EXPECT_TRUE(text.contains(QStringLiteral("写真フォルダ0000"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("写真フォルダ0001")));
}

// The page number stands right-aligned at the right margin, 300 twips (15 points) above the
// bottom margin, and the grid's rows stop above it on a full page.
TEST_F(PdfReport, PageNumberAtTheBottomRightClearOfTheRows) {
    addScan(60);
    const QString pdf = write(false);
    const PageWords page = pageWords(pdf, 1);
    const double width = page.width;
    const double height = page.height;
    ASSERT_GT(page.words.size(), 10);
    double numberTop = 0;
    for (const PageWords::Word &w : page.words) {
        if (w.text == QStringLiteral("Page"))
            numberTop = w.yMin;
    }
    ASSERT_GT(numberTop, 0);
    EXPECT_NEAR(numberTop, height - 72 - 15, 2);

    double numberRight = 0, lowestRow = 0;
    for (const PageWords::Word &w : page.words) {
        EXPECT_LE(w.xMax, width - 72 + 0.5) << "beyond the right margin: " << w.text.toStdString();
        if (std::abs(w.yMin - numberTop) < 1)
            numberRight = std::max(numberRight, w.xMax);
        else
            lowestRow = std::max(lowestRow, w.yMax);
    }
    EXPECT_NEAR(numberRight, width - 72, 1.5); // right-aligned at the margin
    EXPECT_GT(lowestRow, height / 2);          // the page is full...
    EXPECT_LT(lowestRow, numberTop);           // ...and its rows end above the page number
}

// The grid's own looks reach the paper: a root's text colour, cell and grid-line colours,
// and the normal colours even while the window is disabled (as it is during an export).
TEST_F(PdfReport, TheGridsColoursArePrintedAsInAnEnabledWindow) {
    settings.Root_Font_Color = 0x7800C8; // stored as 0x00BBGGRR: RGB 200, 0, 120
    addScan(3);
    GridLook look = grid.look();
    look.gridLines = 1;
    look.gridColor = 0x00A000; // RGB 0, 160, 0
    grid.setLook(look);
    grid.setCellBackColor(5, 1, 5, 1, 0xE0FF); // RGB 255, 224, 0
    view->setEnabled(false);
    const QImage page = renderPage(write(false), 1, 96);

    const QRect root = colorBounds(page, QColor(200, 0, 120));
    const QRect lines = colorBounds(page, QColor(0, 160, 0));
    const QRect back = colorBounds(page, QColor(255, 224, 0));
    ASSERT_TRUE(root.isValid());
    ASSERT_TRUE(lines.isValid());
    ASSERT_TRUE(back.isValid());
    EXPECT_LT(root.height(), 20) << "one row";
    EXPECT_GT(lines.height(), 6 * 18) << "lines down every row";
    EXPECT_GT(back.top(), root.bottom()) << "a cell of a row below the root";
    // Body text in the palette's normal (black) text colour, not the disabled grey.
    const QRect body(lines.left(), root.bottom() + 1, lines.width(),
                     lines.bottom() - root.bottom());
    EXPECT_TRUE(colorBounds(page.copy(body), Qt::black).isValid());
}

// A grid wider than the paper is scaled down to fit between the margins rather than cut off.
TEST_F(PdfReport, WideGridIsScaledToThePage) {
    addScan(2);
    grid.setColWidth(0, 14400); // ten inches
    grid.setColWidth(3, 2880);
    const QString pdf = write(false);
    EXPECT_TRUE(pageTexts(pdf).value(0).contains(QStringLiteral("# of Files")));
    const PageWords page = pageWords(pdf, 1);
    ASSERT_GT(page.words.size(), 10);
    double right = 0;
    for (const PageWords::Word &w : page.words)
        right = std::max(right, w.xMax);
    EXPECT_LE(right, page.width - 72 + 0.5);
    EXPECT_GT(right, page.width - 72 - 40); // the last column near the right margin
}

// A file that cannot be created is an error for the caller, with the system's reason.
TEST_F(PdfReport, UnwritableFileThrowsWithTheReason) {
    addScan(1);
    const QString path = dir.filePath(QStringLiteral("missing/folder/report.pdf"));
    try {
        GridExport::GridToPDF(*view, chart->picture(), layout, converter, path, false);
        ADD_FAILURE() << "no error";
    } catch (const std::system_error &e) {
        EXPECT_EQ(e.code().value(), ENOENT);
        EXPECT_NE(std::string(e.what()).find("report.pdf"), std::string::npos);
    }
    EXPECT_FALSE(QFile::exists(path));
}

} // namespace
