#include "CommandLine.h"
#include "TerminationSignals.h"
#include "frmMain.h"

#include <QApplication>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Cairnmeter"));
    QApplication::setOrganizationName(QStringLiteral("Velmoria"));

    frmMain window;
    // A logout, shutdown or Ctrl+C closes the window the normal way, saving the settings.
    TerminationSignals terminator;
    QObject::connect(&terminator, &TerminationSignals::terminationRequested, &window,
                     [&window](int) { window.close(); });
    window.Form_Load(CommandLine::joinArguments(QApplication::arguments().mid(1)));
    return QApplication::exec();
}
