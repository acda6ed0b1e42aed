#include "ReportFormat.h"

#include "GridExport.h"
#include "GridToHTML.h"
#include "ReplacingFile.h"
#include "ScanCompare.h"
#include "ScanTree.h"
#include "XlsxExport.h"

#include <QStringList>

std::vector<ReportFormat> standardReportFormats() {
    using Option = ReportFormat::ChartOption;
    std::vector<ReportFormat> formats{
        {0, QStringLiteral("HTML"), QStringLiteral("HTML"), QStringLiteral("Export as HTML..."),
         QStringLiteral("HTML File (*.htm;*.html)|*.htm;*.html|All Files (*.*)|*.*"),
         QStringLiteral("Error in generating HTML file."), Option::Html,
         [](const ReportSource &s, ReplacingFile &out) {
             GridExport::HtmlOptions options;
             options.resolveColor = s.resolveColor;
             options.saveChartPicture = s.saveChartPicture;
             options.includeChart = s.chartIncluded;
             options.twipsPerPixel = s.twipsPerPixel;
             options.gridWidthTwips = s.gridWidthTwips;
             options.fontName = s.gridFontName;
             options.basisLine = ScanCompare::reportHeading(s.grid);
             options.largestFiles = s.largestFiles;
             options.versionMajor = CAIRNMETER_VERSION_MAJOR;
             options.versionMinor = CAIRNMETER_VERSION_MINOR;
             options.versionRevision = CAIRNMETER_VERSION_PATCH;
             return GridExport::GridToHTML(s.grid, out, options);
         }},
        {1,
         QStringLiteral("PDF"),
         QStringLiteral("PDF"),
         QStringLiteral("Export as PDF..."),
         QStringLiteral("PDF File (*.pdf)|*.pdf|All Files (*.*)|*.*"),
         QStringLiteral("Error in generating PDF file."),
         Option::Pdf,
         {}},
        {2, QStringLiteral("CSV"), QStringLiteral("CSV"), QStringLiteral("Export as CSV..."),
         QStringLiteral("CSV File (*.csv)|*.csv|All Files (*.*)|*.*"),
         QStringLiteral("Error in generating CSV file."), Option::None,
         [](const ReportSource &s, ReplacingFile &out) {
             return GridExport::GridToCSV(s.grid, out.file(), out.target(), s.largestFiles);
         }},
        {3, QStringLiteral("Plain Text"), QStringLiteral("Text"),
         QStringLiteral("Export as Plain Text..."),
         QStringLiteral("Text File (*.txt)|*.txt|Data File (*.dat)|*.dat|All Files (*.*)|*.*"),
         QStringLiteral("Error in generating text file."), Option::None,
         [](const ReportSource &s, ReplacingFile &out) {
             return GridExport::GridToText(s.grid, out.file(), out.target(), s.largestFiles);
         }},
        // The spreadsheet is an Office Open XML workbook, so its filter names ".xlsx".
        {4, QStringLiteral("Excel"), QStringLiteral("Excel"), QStringLiteral("Export as Excel..."),
         QStringLiteral("Excel File (*.xlsx)|*.xlsx|All Files (*.*)|*.*"),
         QStringLiteral("Error in generating Excel file."), Option::None,
         [](const ReportSource &s, ReplacingFile &out) {
             return XlsxExport::GridToExcel(s.grid, out.file(), out.target(), s.resolveColor,
                                            s.largestFiles);
         }},
    };
    return formats;
}

QString qtFileFilter(const QString &filter) {
    const QStringList parts = filter.split(u'|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(u';', u' ');
        QString description = parts.at(i);
        // Qt reads the patterns from the last parentheses of the description.
        const qsizetype open = description.lastIndexOf(u'(');
        if (open >= 0 && description.endsWith(u')'))
            description = description.left(open).trimmed();
        out << description + QStringLiteral(" (") + patterns + u')';
    }
    return out.join(QStringLiteral(";;"));
}

QString offeredExtension(const QString &filter) {
    const QString pattern = filter.section(u'|', 1, 1).section(u';', 0, 0).trimmed();
    if (!pattern.startsWith(QStringLiteral("*.")) || pattern.size() < 3 ||
        pattern.indexOf(u'*', 1) >= 0)
        return QString();
    return pattern.mid(1);
}
