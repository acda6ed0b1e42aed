#pragma once

// A scan tree in a real grid view and a chart view, the PDF report written from them, and the
// poppler tools that read the written file back.
#include "ChartView.h"
#include "GridToPDF.h"
#include "OutlineGrid.h"
#include "OutlineGridView.h"
#include "PdfConverter.h"
#include "PrintLayout.h"
#include "ScanTree.h"
#include "Settings.h"

#include <QApplication>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QStyle>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

// Readable failure messages for texts.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *os) {
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

/// Runs a tool and gives its standard output; the test fails when it does not exit with 0.
inline QByteArray runTool(const QString &program, const QStringList &arguments) {
    QProcess process;
    process.start(program, arguments);
    const bool finished = process.waitForFinished(120000);
    EXPECT_TRUE(finished) << program.toStdString() << " did not finish";
    EXPECT_EQ(process.exitCode(), 0)
        << program.toStdString() << ": " << process.readAllStandardError().toStdString();
    return process.readAllStandardOutput();
}

/// The text of each page, as pdftotext lays it out.
inline QStringList pageTexts(const QString &pdf) {
    QStringList pages =
        QString::fromUtf8(runTool(QStringLiteral("pdftotext"),
                                  {QStringLiteral("-layout"), pdf, QStringLiteral("-")}))
            .split(u'\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast(); // after the last page's form feed
    return pages;
}

/// Non-empty lines of a page with their runs of blanks made single.
inline QStringList pageLines(const QString &page) {
    QStringList lines;
    for (const QString &line : page.split(u'\n')) {
        const QString simple = line.simplified();
        if (!simple.isEmpty())
            lines.append(simple);
    }
    return lines;
}

inline int pdfPageCount(const QString &pdf) {
    const QString info = QString::fromUtf8(runTool(QStringLiteral("pdfinfo"), {pdf}));
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

/// The words of a page with their boxes in points, and the page's size.
struct PageWords {
    struct Word {
        double xMin, yMin, xMax, yMax;
        QString text;
    };
    double width = 0;
    double height = 0;
    QList<Word> words;
};

inline PageWords pageWords(const QString &pdf, int page) {
    const QString bbox = QString::fromUtf8(
        runTool(QStringLiteral("pdftotext"),
                {QStringLiteral("-bbox"), QStringLiteral("-f"), QString::number(page),
                 QStringLiteral("-l"), QString::number(page), pdf, QStringLiteral("-")}));
    PageWords result;
    const QRegularExpressionMatch size =
        QRegularExpression(QStringLiteral("<page width=\"([\\d.]+)\" height=\"([\\d.]+)\""))
            .match(bbox);
    if (size.hasMatch()) {
        result.width = size.captured(1).toDouble();
        result.height = size.captured(2).toDouble();
    }
    const QRegularExpression word(
        QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                       "yMax=\"([\\d.]+)\">([^<]*)<"));
    for (auto it = word.globalMatch(bbox); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        result.words.append({m.captured(1).toDouble(), m.captured(2).toDouble(),
                             m.captured(3).toDouble(), m.captured(4).toDouble(), m.captured(5)});
    }
    return result;
}

/// Page `page` (from 1) rendered at `dpi`.
inline QImage renderPage(const QString &pdf, int page, int dpi) {
    const QString prefix = pdf + QStringLiteral("-page");
    runTool(QStringLiteral("pdftoppm"),
            {QStringLiteral("-png"), QStringLiteral("-r"), QString::number(dpi),
             QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
             QString::number(page), QStringLiteral("-singlefile"), pdf, prefix});
    return QImage(prefix + QStringLiteral(".png"));
}

/// The bounding box of the pixels of one colour (with a small tolerance for anti-aliasing).
inline QRect colorBounds(const QImage &image, QColor color) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - color.red()) <= 4 && std::abs(c.green() - color.green()) <= 4 &&
                std::abs(c.blue() - color.blue()) <= 4)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

struct PdfFixture : ::testing::Test {
    static inline const QColor ChartBack{95, 158, 160};

    QTemporaryDir dir;
    Settings settings;
    OutlineGrid grid;
    ScanTree tree{grid, settings};
    std::unique_ptr<OutlineGridView> view;
    std::unique_ptr<ChartView> chart;
    PrintLayout layout;
    PdfConverter converter;

    PdfFixture() {
        QLocale::setDefault(QLocale::c()); // the grid's number texts, whatever the machine's
        settings.Object_Size = 0;          // bytes, so the small fixture sizes read as they are
        // The program's pictures when the desktop has no icon theme.
        tree.setPictureSource([](TreePicture picture) {
            return QApplication::style()->standardIcon(
                picture == TreePicture::File ? QStyle::SP_FileIcon : QStyle::SP_DirIcon);
        });
        tree.InitTreeGrid();
        view = std::make_unique<OutlineGridView>(&grid);
        view->resize(700, 500);
        chart = std::make_unique<ChartView>();
        chart->resize(480, 360);
        Chart &c = *chart->chart();
        c.setBackgroundColor(ChartBack);
        c.setPlotBackgroundColor(ChartBack);
        c.setTitle(QStringLiteral("Chart Title Here"));
        c.setSeriesCount(2);
        c.setValue(0, 0, 3);
        c.setValue(1, 0, 1);
        c.addLegendText(QStringLiteral("LegendAlpha"));
        c.addLegendText(QStringLiteral("LegendBeta"));
    }

    /// A root "/data/" with `folders` folders below it, each with its files row, expanded.
    int addScan(int folders, const QString &prefix = QStringLiteral("Folder")) {
        const int root =
            tree.AddTreeRow(QStringLiteral("/data/"), 0, RowKind::HardDisk, Fixed(), true, Fixed());
        for (int i = 0; i < folders; ++i) {
            tree.AddTreeRow(prefix + QString::number(i).rightJustified(4, u'0'), 1, RowKind::Folder,
                            Fixed(), false, Fixed());
            tree.AddTreeRow(QStringLiteral("<Files in %1>").arg(i), 2, RowKind::Files,
                            Fixed::fromInt(1000 + i), false, Fixed::fromInt(1));
        }
        tree.AddTreeRow(QStringLiteral("<Files in /data/>"), 1, RowKind::Files, Fixed::fromInt(5),
                        false, Fixed::fromInt(1));
        tree.UpdateRoots();
        return root;
    }

    QString write(bool includeChart, const QString &name = QStringLiteral("report.pdf")) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(
            GridExport::GridToPDF(*view, chart->picture(), layout, converter, path, includeChart));
        return path;
    }
};
