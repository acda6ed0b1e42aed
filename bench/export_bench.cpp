// Builds a scan-shaped tree through the scan tree (a folder row, its subfolders, then its
// files row, as a walk appends them), every node expanded, and writes it as CSV, as plain text,
// as a spreadsheet and as HTML, printing the seconds of each and the process's peak memory. A
// second tree of PDF_ROWS shown rows is printed as the PDF report (grid and chart, through the
// grid and chart widgets on the offscreen platform).
//
//   export_bench [ROWS] [FOLDER] [PDF_ROWS]
//       FOLDER: where the reports go, a temporary one by default; PDF_ROWS: 10000 by default
#include "ChartView.h"
#include "GridExport.h"
#include "GridToHTML.h"
#include "GridToPDF.h"
#include "OutlineGrid.h"
#include "OutlineGridView.h"
#include "PdfConverter.h"
#include "PrintLayout.h"
#include "ScanTree.h"
#include "Settings.h"
#include "XlsxExport.h"

#include <QApplication>
#include <QFileInfo>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <sys/resource.h>

namespace {

struct TreeMaker {
    ScanTree &tree;
    std::mt19937 rng{11};
    int rowsLeft;

    void folder(int level, const QString &name) {
        --rowsLeft;
        tree.AddTreeRow(name, level, RowKind::Folder, Fixed(), level == 0, Fixed());
        const int fanOut = level < 3 ? 12 : (level < 8 ? static_cast<int>(rng() % 6) : 0);
        for (int i = 0; i < fanOut && rowsLeft > 1; ++i)
            folder(level + 1, QStringLiteral("%1%2").arg(i % 2 ? "Dir" : "dir").arg(rng() % 5000));
        --rowsLeft;
        tree.AddTreeRow(QStringLiteral("<Files in ") + name + u'>', level + 1, RowKind::Files,
                        Fixed::fromInt(rng() % 50000000), false, Fixed::fromInt(rng() % 300));
    }
};

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Wall seconds of one report; its processor seconds are printed too, since the machine this
// runs on is often shared and the wall time then says more about the neighbours.
double timed(const char *what, const std::function<bool()> &write) {
    const auto t0 = std::chrono::steady_clock::now();
    const double cpu0 = cpuSeconds();
    if (!write()) {
        std::fprintf(stderr, "export_bench: the %s report failed\n", what);
        std::exit(1);
    }
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("%s_s=%.3f %s_cpu_s=%.3f\n", what, s, what, cpuSeconds() - cpu0);
    return s;
}

// The PDF report of a tree with `rows` rows, all shown, with the chart of its first root.
double benchPdf(int rows, const QString &path) {
    Settings settings;
    OutlineGrid grid;
    ScanTree tree(grid, settings);
    tree.InitTreeGrid();
    grid.setRedraw(GridRedraw::None);
    TreeMaker maker{tree, {}, rows};
    while (maker.rowsLeft > 1)
        maker.folder(0, QStringLiteral("/data/volume%1/").arg(grid.rows()));
    tree.UpdateRoots();

    OutlineGridView view(&grid);
    view.resize(600, 800);
    ChartView chart;
    chart.resize(480, 360);
    Chart &c = *chart.chart();
    const int children = std::min(12, grid.rows() - 3);
    c.setSeriesCount(children);
    for (int i = 0; i < children; ++i) {
        c.setValue(i, 0, 1 + i);
        c.addLegendText(grid.text(3 + i, 0));
    }

    PrintLayout layout;
    PdfConverter converter;
    view.syncWithModel();
    const int shown = view.visibleRowCount();
    const double s = timed("pdf", [&] {
        return GridExport::GridToPDF(view, chart.picture(), layout, converter, path, true);
    });
    std::printf("pdf_rows=%d pdf_pages=%d pdf_bytes=%lld\n", shown, layout.pageCount(),
                static_cast<long long>(QFileInfo(path).size()));
    return s;
}

long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char **argv) {
    // The PDF report draws through widgets; no display is needed for that.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int wanted = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir temp;
    const QString folder = argc > 2 ? QString::fromLocal8Bit(argv[2]) : temp.path();
    const int pdfRows = argc > 3 ? std::atoi(argv[3]) : 10000;

    Settings settings;
    OutlineGrid grid;
    ScanTree tree(grid, settings);
    tree.InitTreeGrid();
    grid.setRedraw(GridRedraw::None);
    TreeMaker maker{tree, {}, wanted};
    while (maker.rowsLeft > 1)
        maker.folder(0, QStringLiteral("/data/volume%1/").arg(grid.rows()));
    tree.UpdateRoots();
    const long treeRssKb = peakRssKb();

    const QString csv = folder + QStringLiteral("/report.csv");
    const QString text = folder + QStringLiteral("/report.txt");
    const QString xlsx = folder + QStringLiteral("/report.xlsx");
    const QString html = folder + QStringLiteral("/report.htm");
    const double csvS = timed("csv", [&] { return GridExport::GridToCSV(grid, csv); });
    const double textS = timed("text", [&] { return GridExport::GridToText(grid, text); });
    const double htmlS = timed("html", [&] {
        GridExport::HtmlOptions options;
        options.fontName = QStringLiteral("Arial");
        return GridExport::GridToHTML(grid, html, options);
    });
    const double xlsxS = timed("xlsx", [&] { return XlsxExport::GridToExcel(grid, xlsx); });
    const long xlsxRssKb = peakRssKb();
    const double pdfS = benchPdf(pdfRows, folder + QStringLiteral("/report.pdf"));

    std::printf("tree_peak_rss_kb=%ld csv_bytes=%lld text_bytes=%lld xlsx_bytes=%lld\n", treeRssKb,
                static_cast<long long>(QFileInfo(csv).size()),
                static_cast<long long>(QFileInfo(text).size()),
                static_cast<long long>(QFileInfo(xlsx).size()));
    std::printf("export_bench: rows=%d csv_s=%.3f text_s=%.3f xlsx_s=%.3f xlsx_peak_rss_kb=%ld "
                "pdf_s=%.3f html_s=%.3f\n",
                grid.rows(), csvS, textS, xlsxS, xlsxRssKb, pdfS, htmlS);
    return 0;
}
