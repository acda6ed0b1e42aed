#include "ExportFixture.h"
#include "GridToHTML.h"
#include "ReportDate.h"

#include <QImage>
#include <QRegularExpression>
#include <QTimeZone>

using namespace GridExport;

namespace {

// Fixed values for the system colours, so the golden file does not depend on the style.
QColor fixedSystemColors(std::uint32_t stored) {
    if (!(stored & 0x80000000u))
        return QColor(stored & 0xff, (stored >> 8) & 0xff, (stored >> 16) & 0xff);
    switch (stored & 0xff) {
    case 15:
        return QColor(0xD4, 0xD0, 0xC8);
    case 16:
        return QColor(0x80, 0x80, 0x80);
    case 18:
        return QColor(0x10, 0x20, 0x30);
    default:
        return QColor(0xFF, 0xFF, 0xFF);
    }
}

// The report with the date of its date line (the third line of the heading) masked; what
// follows the date stays.
QString masked(const QByteArray &html) {
    QStringList lines = QString::fromUtf8(html).split(QStringLiteral("\r\n"));
    if (lines.size() > 11) {
        const qsizetype end = lines[11].indexOf(QStringLiteral("<sbr>"));
        lines[11] = QStringLiteral("<date>") + (end < 0 ? lines[11] : lines[11].mid(end));
    }
    return lines.join(QStringLiteral("\r\n"));
}

} // namespace

struct HtmlReport : ExportFixture {
    HtmlOptions options;
    void SetUp() override {
        ExportFixture::SetUp();
        options.resolveColor = fixedSystemColors;
        options.fontName = QStringLiteral("Arial");
    }
    QString write(const QString &name = QStringLiteral("r.htm")) {
        EXPECT_TRUE(GridToHTML(grid, out(name), options));
        return masked(readAll(out(name)));
    }
};

TEST_F(HtmlReport, MatchesItsGoldenFileWithABranchCollapsed) {
    grid.setOutlineState(rowNamed(QStringLiteral("sub")), OutlineCollapsed);
    const QString html = write();
    const QString golden = QStringLiteral(CAIRN_EXPORT_TEST_DIR "/golden/collapsed.htm");
    if (qEnvironmentVariableIsSet("CAIRN_UPDATE_GOLDEN")) {
        QFile f(golden);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(html.toUtf8());
    }
    EXPECT_EQ(html.toStdString(), QString::fromUtf8(readAll(golden)).toStdString());
    EXPECT_FALSE(html.contains(QStringLiteral("deep"))) << "a collapsed node's children";
    EXPECT_TRUE(html.contains(QStringLiteral("&nbsp&nbsp&nbsp&nbspsub<")));
    EXPECT_FALSE(html.contains(QStringLiteral("ByteSize"))) << "the hidden byte column";
    EXPECT_FALSE(html.contains(QStringLiteral("1058200")));
    EXPECT_TRUE(html.contains(QStringLiteral("charset=utf-8")));
    EXPECT_FALSE(html.contains(QStringLiteral("<img")));
}

// The header row takes the fixed-cell colours, system colours resolved to their RGB values.
TEST_F(HtmlReport, TheHeaderRowTakesTheResolvedFixedCellColours) {
    const QString html = write();
    EXPECT_TRUE(html.contains(
        QStringLiteral("<TD WIDTH=\"43%\" BGCOLOR=\"#D4D0C8\" BORDERCOLOR=\"#808080\"><FONT "
                       "COLOR=\"#102030\">Node</FONT></TD>")))
        << html.toStdString();
    EXPECT_TRUE(html.contains(QStringLiteral("BGCOLOR=\"#D4D0C8\" BORDERCOLOR=\"#808080\">"
                                             "<FONT COLOR=\"#102030\">&nbsp;</FONT></TD>")))
        << "the empty unit header";
}

TEST_F(HtmlReport, TextsAreEscapedAndColoursWrittenAsRgb) {
    grid.setText(rowNamed(QStringLiteral("empty")), 0, QStringLiteral("a&b<c>\"d\""));
    EXPECT_TRUE(write().contains(QStringLiteral("a&amp;b&lt;c&gt;\"d\"</TD>")));

    EXPECT_EQ(ColorToHTML(0x00808080u, fixedSystemColors), QStringLiteral("\"#808080\""));
    EXPECT_EQ(ColorToHTML(0x00FF8000u, {}), QStringLiteral("\"#0080FF\""));
    EXPECT_EQ(ColorToHTML(0x8000000Fu, fixedSystemColors), QStringLiteral("\"#D4D0C8\""));
    EXPECT_EQ(HTMLEncode(QString()), QStringLiteral("&nbsp;"));

    for (const char *numeric : {"", "  1,234.5 ", "-12", "0.", ",,"})
        EXPECT_TRUE(IsNumericText(QString::fromLatin1(numeric))) << numeric;
    for (const char *text : {"1.2.3", "+1", "1-", "--1", "1 2", "KB", "1e5"})
        EXPECT_FALSE(IsNumericText(QString::fromLatin1(text))) << text;
    QString s = QStringLiteral("aaa");
    ReplaceAll(s, QString(), QStringLiteral("x"));
    EXPECT_EQ(s, QStringLiteral("aaa"));
    ReplaceAll(s, QStringLiteral("aa"), QStringLiteral("a"));
    EXPECT_EQ(s, QStringLiteral("aa"));
}

TEST_F(HtmlReport, TheChartPictureLiesBesideTheReportAndTheTagNamesItAlone) {
    options.includeChart = true;
    options.saveChartPicture = [&](QIODevice &device) {
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(Qt::red);
        return image.save(&device, "PNG");
    };
    const QString html = write();
    const QRegularExpression img(QStringLiteral("<p><img border=\"0\" src=\"(r-[0-9a-z]{13}\\.png)"
                                                "\"></p>\r\n</BODY>"));
    const QRegularExpressionMatch match = img.match(html);
    ASSERT_TRUE(match.hasMatch()) << html.toStdString();
    const QFileInfo picture(QFileInfo(out("r.htm")).absolutePath() + u'/' + match.captured(1));
    EXPECT_TRUE(picture.exists());
    EXPECT_FALSE(QImage(picture.filePath()).isNull());

    options.saveChartPicture = [](QIODevice &) { return false; };
    EXPECT_THROW(GridToHTML(grid, out("s.htm"), options), std::system_error);
    EXPECT_FALSE(QFile::exists(out("s.htm")));
}

// A name that begins with ";" keeps it after the indentation's "&nbsp" groups, which a browser
// would otherwise end with that ";".
TEST_F(HtmlReport, ANameBeginningWithASemicolonKeepsItAfterTheIndentation) {
    grid.setText(rowNamed(QStringLiteral("sub")), 0, QStringLiteral(";sub;"));
    const QString html = write();
    EXPECT_TRUE(html.contains(QStringLiteral("&nbsp&nbsp&nbsp&nbsp&#59;sub;</TD>")))
        << html.toStdString();
}

// The date line: the short date and the long time with no time zone, in every locale.
TEST(ReportDateLine, ShowsTheShortDateAndTheLongTimeWithoutTheZone) {
    const QDateTime when(QDate(2026, 3, 4), QTime(11, 45, 21), QTimeZone::utc());
    const struct {
        QLocale locale;
        const char *expected;
    } cases[] = {
        {QLocale(QLocale::English, QLocale::UnitedStates), "3/4/26 11:45:21\u202fAM"},
        {QLocale(QLocale::German, QLocale::Germany), "04.03.26 11:45:21"},
        {QLocale::c(), "4 Mar 2026 11:45:21"},
    };
    for (const auto &c : cases) {
        const QString line = GridExport::reportDateLine(when, c.locale);
        // Some locale data puts a narrow no-break space before AM; either blank is fine.
        QString normal = line;
        normal.replace(QChar(0x202f), u' ');
        QString expected = QString::fromUtf8(c.expected);
        expected.replace(QChar(0x202f), u' ');
        EXPECT_EQ(normal, expected) << c.locale.name().toStdString();
        EXPECT_FALSE(line.contains(QStringLiteral("UTC"))) << line.toStdString();
    }
}
