#include "CommandLine.h"
#include "HandlerTrap.h"
#include "HeadlessReport.h"
#include "NativeText.h"
#include "ScanHistory.h"
#include "TerminationSignals.h"
#include "frmMain.h"

#include <QApplication>
#include <QIcon>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>

#include <unistd.h>

namespace {

void setNames() {
    QApplication::setApplicationName(QStringLiteral("Cairnmeter"));
    QApplication::setOrganizationName(QStringLiteral("Velmoria"));
}

// Some of Qt's container members are noexcept, and memory that runs out inside one ends the
// program through std::terminate rather than an exception the run could catch: a run without
// a window then still ends as any failure does, with one line and status 1.
void endRunsOutOfMemoryWithOneLine() {
    std::set_terminate([] {
        if (const std::exception_ptr error = std::current_exception()) {
            try {
                std::rethrow_exception(error);
            } catch (const std::bad_alloc &) {
                // Over the progress line, when there is one.
                static const char line[] = "\r\033[Kcairnmeter: Out of memory\n";
                const int skip = ::isatty(STDERR_FILENO) ? 0 : 4;
                [[maybe_unused]] const auto written =
                    ::write(STDERR_FILENO, line + skip, sizeof line - 1 - skip);
                std::_Exit(1);
            } catch (...) {
            }
        }
        std::abort();
    });
}

} // namespace

int main(int argc, char **argv) {
    // From argv itself: a path that is not UTF-8 must reach the scan byte for byte.
    const CommandLine::Request request =
        CommandLine::parseArguments(CommandLine::argumentsOf(argc, argv));
    using Mode = CommandLine::Request::Mode;
    switch (request.mode) {
    case Mode::Help:
        std::fputs(CommandLine::usageText().toUtf8().constData(), stdout);
        return 0;
    case Mode::Version:
        std::printf("Cairnmeter %d.%d.%d\n", CAIRNMETER_VERSION_MAJOR, CAIRNMETER_VERSION_MINOR,
                    CAIRNMETER_VERSION_PATCH);
        return 0;
    case Mode::Invalid:
        std::fputs(CommandLine::errorLine(request.error).constData(), stderr);
        return 1;
    case Mode::Report:
        endRunsOutOfMemoryWithOneLine();
        try {
            return HeadlessReport::run(argc, argv, request);
        } catch (...) {
            // What the run does not catch where it arises (memory ran out while the report was
            // laid out, say) still ends it as any failure does: one line, status 1.
            const AppError error = HandlerTrap::toAppError(std::current_exception());
            std::fputs(CommandLine::errorLine(error.description()).constData(), stderr);
            return 1;
        }
    case Mode::Window:
        break;
    }

    if (!CommandLine::hasDisplay(CommandLine::argumentsOf(argc, argv))) {
        std::fputs(CommandLine::errorLine(CommandLine::noDisplayMessage()).constData(), stderr);
        return 1;
    }
    QApplication app(argc, argv);
    setNames();
    QApplication::setDesktopFileName(QStringLiteral("example.velmoria.Cairnmeter"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/cairnmeter.svg")));

    frmMain window;
    window.setHistoryFolder(ScanHistory::folder());
    // A logout, shutdown or Ctrl+C closes the window the normal way, saving the settings.
    TerminationSignals terminator;
    QObject::connect(&terminator, &TerminationSignals::terminationRequested, &window,
                     [&window](int) {
                         // A message box waiting for an answer would keep the program alive.
                         while (QWidget *modal = QApplication::activeModalWidget()) {
                             if (!modal->close())
                                 break;
                         }
                         window.close();
                     });
    // Start-up runs inside the event loop, so that a close asked for at any of its yields (or
    // after a scan from the command line) ends the loop like any other.
    const QString commandLine = request.commandLine;
    QMetaObject::invokeMethod(
        &window, [&window, commandLine] { window.Form_Load(commandLine); }, Qt::QueuedConnection);
    return QApplication::exec();
}
