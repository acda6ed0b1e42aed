#include "PdfFixture.h"

#include <QPainter>

#include <cstdlib>

namespace {

TEST(PrintLayoutPaper, LetterWhereTheCountryUsesItA4Elsewhere) {
    EXPECT_EQ(PrintLayout::localePageSize(QLocale(QStringLiteral("en_US"))).id(),
              QPageSize::Letter);
    EXPECT_EQ(PrintLayout::localePageSize(QLocale(QStringLiteral("fr_CA"))).id(),
              QPageSize::Letter);
    EXPECT_EQ(PrintLayout::localePageSize(QLocale(QStringLiteral("es_MX"))).id(),
              QPageSize::Letter);
    EXPECT_EQ(PrintLayout::localePageSize(QLocale(QStringLiteral("en_GB"))).id(), QPageSize::A4);
    EXPECT_EQ(PrintLayout::localePageSize(QLocale(QStringLiteral("de_DE"))).id(), QPageSize::A4);
    EXPECT_EQ(PrintLayout::localePageSize(QLocale::c()).id(), QPageSize::A4);
}

// The paper follows the C library's order: LC_ALL over LC_PAPER over LANG.
TEST(PrintLayoutPaper, LocaleFromTheEnvironment) {
    const QByteArray all = qgetenv("LC_ALL"), paper = qgetenv("LC_PAPER"), lang = qgetenv("LANG");
    qunsetenv("LC_ALL");
    qputenv("LC_PAPER", "en_US.UTF-8");
    qputenv("LANG", "de_DE.UTF-8@euro");
    EXPECT_EQ(PrintLayout().pageSize().id(), QPageSize::Letter);
    qunsetenv("LC_PAPER");
    EXPECT_EQ(PrintLayout().pageSize().id(), QPageSize::A4);
    qputenv("LC_ALL", "en_CA.UTF-8");
    EXPECT_EQ(PrintLayout().pageSize().id(), QPageSize::Letter);
    for (auto [name, value] : {std::pair{"LC_ALL", all}, {"LC_PAPER", paper}, {"LANG", lang}}) {
        if (value.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
}

struct PrintLayoutFile : ::testing::Test {
    QTemporaryDir dir;
    PrintLayout layout;
    PdfConverter converter;
};

// The written file has the layout's paper and one page per layout page; paragraphs that run
// past the bottom margin continue on a new page.
TEST_F(PrintLayoutFile, ParagraphsFlowOntoNewPagesOfTheChosenPaper) {
    layout.setPageSize(QPageSize(QPageSize::Letter));
    layout.startDoc();
    const double top = layout.currentY();
    EXPECT_DOUBLE_EQ(top, 1440);
    layout.paragraph(QStringLiteral("First line"));
    EXPECT_NEAR(layout.currentY() - top, layout.lineHeight(), 0.01);
    for (int i = 0; i < 80; ++i)
        layout.paragraph(QStringLiteral("Line %1").arg(i));
    layout.endDoc();
    ASSERT_EQ(layout.pageCount(), 2);
    const QString pdf = dir.filePath(QStringLiteral("p.pdf"));
    converter.convertToPdf(layout, pdf);

    const QString info = QString::fromUtf8(runTool(QStringLiteral("pdfinfo"), {pdf}));
    EXPECT_TRUE(info.contains(QStringLiteral("612 x 792 pts (letter)"))) << info.toStdString();
    const QStringList pages = pageTexts(pdf);
    ASSERT_EQ(pages.size(), 2);
    const QStringList first = pageLines(pages[0]);
    const QStringList second = pageLines(pages[1]);
    ASSERT_FALSE(first.isEmpty());
    ASSERT_FALSE(second.isEmpty());
    EXPECT_EQ(first.first(), QStringLiteral("First line"));
    // No line is lost or repeated at the break.
    EXPECT_EQ(first.last().section(u' ', 1).toInt() + 1, second.first().section(u' ', 1).toInt());
    EXPECT_EQ(second.last(), QStringLiteral("Line 79"));
}

// A table breaks between rows, repeats its header on each page, and ends with the position
// below its last row; a drawing reopened on a finished page lands on that page.
TEST_F(PrintLayoutFile, TableBreaksBetweenRowsWithItsHeaderOnEachPage) {
    layout.setPageSize(QPageSize(QPageSize::A4));
    layout.startDoc();
    PrintLayout::Table table;
    table.width = 300;
    table.headerHeight = 20;
    table.rowHeights.assign(100, 20);
    QList<QPair<int, int>> slices;
    table.paint = [&slices](QPainter &painter, int first, int last) {
        slices.append({first, last});
        painter.drawText(QPointF(2, 15), QStringLiteral("HEADER"));
        for (int i = first; i < last; ++i)
            painter.drawText(QPointF(2, 35 + 20 * (i - first)), QStringLiteral("row%1").arg(i));
    };
    layout.renderTable(table);
    layout.endDoc();
    ASSERT_GE(layout.pageCount(), 2);
    for (int i = 1; i <= layout.pageCount(); ++i) {
        layout.openPage(i);
        layout.text(QStringLiteral("overlay%1").arg(i));
        layout.closePage();
    }
    const QString pdf = dir.filePath(QStringLiteral("t.pdf"));
    converter.convertToPdf(layout, pdf);

    ASSERT_EQ(slices.size(), layout.pageCount());
    int next = 0;
    for (const auto &[first, last] : slices) {
        EXPECT_EQ(first, next);
        EXPECT_GT(last, first);
        next = last;
    }
    EXPECT_EQ(next, 100);
    const QStringList pages = pageTexts(pdf);
    ASSERT_EQ(pages.size(), layout.pageCount());
    for (int i = 0; i < pages.size(); ++i) {
        EXPECT_TRUE(pages[i].contains(QStringLiteral("HEADER")));
        EXPECT_TRUE(pages[i].contains(QStringLiteral("overlay%1").arg(i + 1)));
        EXPECT_FALSE(pages[i].contains(QStringLiteral("overlay%1").arg(i + 2)));
    }
    // 100 rows of 20 pixels at 96 dpi below the header: the position is where they end.
    const int lastRows = slices.last().second - slices.last().first;
    EXPECT_NEAR(layout.currentY(), 1440 + (20 + 20 * lastRows) * 15, 0.01);
}

} // namespace
