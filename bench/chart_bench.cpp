// Draws the chart pictures a user sees (pie, 3D pie, bars, a pie of 5,000 folders) into OUTDIR
// and times filling and painting the 5,000-series pie the way the node chart fills it.
#include "Chart.h"
#include "ChartPainter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace {

struct Child {
    QString name;
    double bytes;
};

// Fills the chart as the node chart does: one series of one point per child, a legend text
// with the share first, a pseudo-random colour and a floating label per child.
void fill(Chart &chart, const QString &title, const std::vector<Child> &children, bool bars) {
    std::minstd_rand colours(1); // fixed seed: the same colours every run
    std::uniform_int_distribution<int> channel(1, 255);
    chart.setBatchMode(true);
    chart.setDataBatchMode(true);
    chart.clearLegendTexts();
    chart.clearLabels();
    chart.clearPointLabels();
    chart.clearSeriesStyles();
    chart.setSeriesCount(1);
    chart.setPointCount(0, 1);
    chart.setOtherLabel(QStringLiteral("Other"));
    chart.setGroupingRule(3, 2, 10);
    chart.setGroupingMaxShare(50.0);
    chart.setGroupedStyle(11);
    chart.setTitle(title);
    chart.setValueAxisTitle(QStringLiteral("Size (MB)"));
    double total = 0;
    for (const Child &c : children)
        total += c.bytes;
    for (int k = 1; k <= int(children.size()); ++k) {
        const Child &c = children[k - 1];
        chart.setSeriesCount(k);
        chart.addLegendText(
            QStringLiteral("%1% %2").arg(100.0 * c.bytes / total, 0, 'f', 2).arg(c.name));
        const int style = chart.addSeriesStyle();
        const int r = channel(colours), g = channel(colours), b = channel(colours);
        chart.setSeriesFillColor(style, QColor(r, g, b));
        const int label = chart.addLabel();
        chart.setLabelName(label, QStringLiteral("Label%1").arg(k));
        chart.setLabelText(label, c.name);
        chart.setLabelAttachment(label, k - 1, 0);
        chart.setLabelBackground(label, QColor(255, 235, 205));
        chart.setLabelStyle(label, Chart::LabelStyle{2, 3, 2, true, 15});
        chart.setValue(k - 1, 0, bars ? c.bytes / 1048576.0 : c.bytes);
    }
    chart.setBatchMode(false);
    chart.setDataBatchMode(false);
}

std::vector<Child> homeFolders() {
    const double mb = 1048576.0;
    return {{"Videos", 41200 * mb},   {"Pictures", 18650 * mb}, {"Projects", 12400 * mb},
            {"Music", 9800 * mb},     {"Downloads", 7300 * mb}, {"Games", 5100 * mb},
            {"Documents", 2900 * mb}, {".cache", 1850 * mb},    {"Backups", 1200 * mb},
            {"Mail", 640 * mb},       {"Desktop", 220 * mb},    {"<Files in home>", 95 * mb}};
}

std::vector<Child> manyFolders(int n) {
    // Folder sizes fall off steeply, as they do on real disks: a few large, many small.
    std::vector<Child> children;
    children.reserve(n);
    std::minstd_rand random(7);
    std::lognormal_distribution<double> size(16.0, 2.2);
    for (int i = 0; i < n; ++i)
        children.push_back(
            {QStringLiteral("folder-%1").arg(i + 1, 4, 10, QLatin1Char('0')), size(random)});
    std::sort(children.begin(), children.end(),
              [](const Child &a, const Child &b) { return a.bytes > b.bytes; });
    return children;
}

bool save(const Chart &chart, const QString &path) {
    const bool ok = ChartPainter(chart).savePng(path, QSize(800, 600));
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "chart_bench: cannot create %s\n", qPrintable(outDir));
        return 1;
    }
    const QDir dir(outDir);
    bool ok = true;

    Chart chart;
    fill(chart, QStringLiteral("/home/ada"), homeFolders(), false);
    ok &= save(chart, dir.filePath(QStringLiteral("pie.png")));
    chart.setDepth3D(15);
    chart.setElevation3D(15);
    chart.setRotation3D(15);
    ok &= save(chart, dir.filePath(QStringLiteral("pie3d.png")));
    chart.setDepth3D(0);
    chart.setElevation3D(0);
    chart.setRotation3D(0);
    chart.setChartType(Chart::Type::Bar);
    fill(chart, QStringLiteral("/home/ada"), homeFolders(), true);
    ok &= save(chart, dir.filePath(QStringLiteral("bars.png")));

    const std::vector<Child> many = manyFolders(5000);
    Chart big;
    fill(big, QStringLiteral("/srv/archive"), many, false);
    ok &= save(big, dir.filePath(QStringLiteral("many.png")));

    // Fill and paint at 800 by 600, as the node chart does after a click; the median of a
    // few runs evens out the noise of a busy machine.
    QImage image(800, 600, QImage::Format_ARGB32_Premultiplied);
    std::vector<double> runs;
    for (int run = 0; run < 7; ++run) {
        Chart timed;
        QElapsedTimer timer;
        timer.start();
        fill(timed, QStringLiteral("/srv/archive"), many, false);
        QPainter painter(&image);
        ChartPainter(timed).paint(painter, QRectF(0, 0, 800, 600));
        painter.end();
        runs.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(runs.begin(), runs.end());
    std::printf("chart_bench: series=5000 fill_paint_ms=%.1f\n", runs[runs.size() / 2]);
    return ok ? 0 : 1;
}
