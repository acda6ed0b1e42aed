#include "HeadlessReport.h"

#include "AppError.h"
#include "Chart.h"
#include "ColumnFit.h"
#include "GridToPDF.h"
#include "HandlerTrap.h"
#include "Interrupt.h"
#include "NativePath.h"
#include "NodeChart.h"
#include "OutlineGridView.h"
#include "PdfConverter.h"
#include "PrintLayout.h"
#include "ReplacingFile.h"
#include "ScanCompare.h"
#include "ScanSession.h"
#include "ScanTree.h"
#include "Settings.h"
#include "SettingsCatalogue.h"
#include "SettingsFile.h"
#include "TerminationSignals.h"
#include "TreePictures.h"
#include "basInitEntry.h"
#include "mdlFileSearch.h"

#include <QApplication>
#include <QDateTime>
#include <QTimer>

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace HeadlessReport {

namespace {

// What the application object must offer: CSV, text and workbooks are written from the grid
// alone; HTML and PDF lay the grid out as its view would (fonts, column widths fitted to them)
// and draw the chart.
enum class Needs { Core, Widgets };

Needs needsOf(int format) {
    return format == 0 || format == 1 ? Needs::Widgets : Needs::Core;
}

void say(const QString &line) {
    std::fputs(CommandLine::errorLine(line).constData(), stderr);
    std::fflush(stderr);
}

// Keeps Qt's own notes off standard error, which carries the run's outcome, and chooses the
// offscreen platform when one is needed and there is no display to show on.
std::unique_ptr<QCoreApplication> makeApplication(Needs needs, int &argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("CAIRNMETER_DEBUG"))
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                say(text);
        });
    if (needs == Needs::Core)
        return std::make_unique<QCoreApplication>(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QApplication>(argc, argv);
}

// One status line rewritten in place, only on a terminal.
class Progress {
public:
    explicit Progress(const mdlFileSearch &search) : m_search(search) {
        if (!::isatty(STDERR_FILENO))
            return;
        m_timer.setInterval(200);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { show(); });
        m_timer.start();
    }
    ~Progress() { finish(); }
    void finish() {
        m_timer.stop();
        if (!m_shown)
            return;
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        m_shown = false;
    }

private:
    const mdlFileSearch &m_search;
    QTimer m_timer;
    bool m_shown = false;

    void show() {
        QString text = QStringLiteral("Scanning ") + m_search.statusText();
        if (text.size() > 78)
            text = text.left(36) + QStringLiteral("...") + text.right(39);
        std::fputs(CommandLine::errorLine(text).chopped(1).prepend("\r\033[K").constData(), stderr);
        std::fflush(stderr);
        m_shown = true;
    }
};

// The settings as stored; a setting that cannot be read keeps its default, and the ones after
// it are still read. `storedWidths` tells which column widths the file holds.
Settings readSettings(std::array<bool, Settings::ColumnCount> &storedWidths) {
    Settings settings;
    const QString iniPath = SettingsFile::locate(false);
    const basInitEntry::Snapshot once; // the file is read once for all of them
    for (const SettingsCatalogue::Setting &setting : SettingsCatalogue::all()) {
        try {
            if (const int c = setting.column(); c >= 0 && c < Settings::ColumnCount)
                storedWidths[static_cast<std::size_t>(c)] =
                    !basInitEntry::ReadIniEntry(QString::fromLatin1(setting.section),
                                                QString::fromLatin1(setting.key), QString(),
                                                iniPath)
                         .trimmed()
                         .isEmpty();
            SettingsCatalogue::loadOne(setting, settings, iniPath);
        } catch (...) {
            SettingsCatalogue::resetToDefault(setting, settings);
            say(QStringLiteral("warning: the setting %1/%2 in %3 could not be read; its default "
                               "is used")
                    .arg(QString::fromLatin1(setting.section), QString::fromLatin1(setting.key),
                         iniPath));
        }
    }
    return settings;
}

// Names the folders the walk could not read, one line each, and how many more there were.
void tellUnreadable(const SessionOutcome &outcome) {
    int named = 0;
    for (const SessionOutcome::Unreadable &folder : outcome.unreadable) {
        if (named++ == NamedUnreadable)
            break;
        say(QStringLiteral("could not read ") + NativePath::display(folder.path) +
            QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(folder.error)));
    }
    const std::size_t shown = std::min<std::size_t>(outcome.unreadable.size(), NamedUnreadable);
    if (outcome.unreadableCount > shown)
        say(QStringLiteral("... and %1 more folders that could not be read")
                .arg(outcome.unreadableCount - shown));
    say(QStringLiteral("the report was written, but is incomplete"));
}

} // namespace

int run(int &argc, char **argv, const CommandLine::Request &request) {
    const Needs needs = needsOf(request.reportFormat);
    const std::unique_ptr<QCoreApplication> app = makeApplication(needs, argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Cairnmeter"));
    QCoreApplication::setOrganizationName(QStringLiteral("Velmoria"));

    std::array<bool, Settings::ColumnCount> storedWidths{};
    const Settings settings = readSettings(storedWidths);
    ScanSession session(settings);
    ScanTree &tree = session.tree();
    if (needs == Needs::Widgets)
        tree.setPictureSource(&TreePictures::icon); // the printed grid shows the rows' pictures
    tree.InitTreeGrid();
    tree.SetSizeFactor();
    tree.SetSizeFormat();
    tree.UpdateRoots();
    for (int c = 0; c < Settings::ColumnCount; ++c)
        session.grid().setColWidth(c, settings.ColWidth[static_cast<std::size_t>(c)]);

    // An interrupt stops the run wherever it is (the walk, the scan file, the carry, the
    // report's rows), even where the event loop does not turn; no report is then left.
    Interrupt::clear();
    TerminationSignals terminator(TerminationSignals::Mode::Interrupt);
    QObject::connect(&terminator, &TerminationSignals::terminationRequested, &terminator,
                     [&](int) { session.requestAbort(); });
    const auto interrupted = [] { return Interrupt::requested(); };
    const QString interruptedLine = QStringLiteral("interrupted; no report written");

    SessionOutcome scanned;
    const QString source = request.scanFile.isEmpty() ? request.scanPath : request.scanFile;
    if (!request.scanFile.isEmpty()) {
        scanned = session.openScanFile(request.scanFile);
    } else {
        const QByteArray path = NativePath::fromText(request.scanPath);
        if (!NativePath::isFolder(path)) {
            say(source + QStringLiteral(": not a folder"));
            return 1;
        }
        Progress progress(session.walker());
        scanned = session.scan(path);
    }
    if (interrupted() || !scanned.done()) {
        say(interrupted() ? interruptedLine
                          : source + QStringLiteral(": ") + scanned.error.description());
        return 1;
    }
    if (!request.saveFile.isEmpty()) {
        const SessionOutcome saved = session.saveScanFile(scanned.root, request.saveFile);
        if (!saved.done()) {
            say(request.saveFile + QStringLiteral(": ") + saved.error.description());
            return 1;
        }
    }
    if (!request.compareFile.isEmpty()) {
        try {
            ScanCompare::compareWithFile(tree, scanned.root, request.compareFile, settings,
                                         QDateTime::currentDateTime());
        } catch (...) { // out of memory included: a large earlier scan is read whole
            say(request.compareFile + QStringLiteral(": ") +
                HandlerTrap::toAppError(std::current_exception()).description());
            return 1;
        }
    }
    if (request.reportFormat < 0) { // the scan file alone was asked for
        if (scanned.unreadableCount > 0) {
            tellUnreadable(scanned);
            return 2;
        }
        return 0;
    }

    ReportGeometry geometry;
    std::unique_ptr<Chart> chart;
    std::unique_ptr<OutlineGridView> view;
    PrintLayout pages;
    PdfConverter converter;
    if (needs == Needs::Widgets) {
        // The grid as the window would lay it out: never shown, only measured and printed.
        view = std::make_unique<OutlineGridView>(&session.grid());
        geometry.twipsPerPixel = 1440.0 / std::max(1, view->logicalDpiX());
        const auto fitted = fittedColumnWidths(*view, geometry.twipsPerPixel);
        for (int c = 0; c < Settings::ColumnCount; ++c) {
            const auto i = static_cast<std::size_t>(c);
            if (!storedWidths[i])
                session.grid().setColWidth(c, fitted[i]);
        }
        geometry.gridWidthTwips = static_cast<int>(settings.fgTree_Width);
        geometry.gridFontName = view->font().family();
        session.reportFormats().at(1).write = [&](const ReportSource &source, ReplacingFile &out) {
            return GridExport::GridToPDF(
                *view, source.chartPicture, pages, converter, out, source.chartIncluded,
                ScanCompare::reportHeading(session.grid()), source.largestFiles);
        };
        if (settings.Disp_Chart) {
            chart = std::make_unique<Chart>();
            NodeChart filler(session.grid(), *chart, tree, settings, {});
            filler.applyStartupAppearance();
            filler.applyChartSettings();
            filler.fill(true);
            geometry.chart.chart = chart.get();
            geometry.chart.font = view->font();
            geometry.chart.dpi = view->logicalDpiY();
        }
    }
    const SessionOutcome written =
        session.writeReport(request.reportFormat, request.reportFile, geometry);
    if (!written.done() && interrupted()) {
        say(interruptedLine); // the interrupt stopped the writer before the file was put in place
        return 1;
    }
    if (!written.done()) {
        say(request.reportFile + QStringLiteral(": ") + written.error.description());
        return 1;
    }
    if (scanned.unreadableCount > 0) {
        tellUnreadable(scanned);
        return 2;
    }
    return 0;
}

} // namespace HeadlessReport
