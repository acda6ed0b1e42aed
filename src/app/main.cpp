#include "CommandLine.h"
#include "TerminationSignals.h"
#include "frmMain.h"

#include <QApplication>
#include <QIcon>
#include <QWidget>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Cairnmeter"));
    QApplication::setOrganizationName(QStringLiteral("Velmoria"));
    QApplication::setDesktopFileName(QStringLiteral("example.velmoria.Cairnmeter"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/cairnmeter.svg")));

    frmMain window;
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
    // From argv itself: a path that is not UTF-8 must reach the scan byte for byte.
    const QString commandLine = CommandLine::fromArgv(argc, argv);
    QMetaObject::invokeMethod(
        &window, [&window, commandLine] { window.Form_Load(commandLine); }, Qt::QueuedConnection);
    return QApplication::exec();
}
