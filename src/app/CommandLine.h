#pragma once

#include <QString>
#include <QStringList>

/// The program's command line: "/f" followed by the path to scan at once, "/i" followed by a
/// saved scan to open, and "/r" with a report format and "/o" with a file name, which write that
/// report without a window; "/s" saves the scan to a file, also without a window, and "/c" names
/// an earlier scan that the report shows the change since. A key may be joined to its value by a
/// blank, "=" or ":"; the word after a key is always its value ("/f --help" scans "--help").
namespace CommandLine {

/// What the program was asked to do, read from its arguments.
struct Request {
    enum class Mode {
        Window,  ///< the main window, scanning or opening what the command line names
        Report,  ///< write one report (or save the scan) and end, without a window
        Help,    ///< print the usage
        Version, ///< print the version
        Invalid, ///< a report was asked for in a way that cannot be done; see `error`
    };
    Mode mode = Mode::Window;
    QString commandLine;   ///< the arguments joined as joinArguments() does
    QString scanPath;      ///< from "/f", normalised; empty when not given
    QString scanFile;      ///< from "/i"; empty when not given
    int reportFormat = -1; ///< the report format's menu index (0 HTML ... 4 Excel)
    QString reportFile;    ///< from "/o"
    QString saveFile;      ///< from "/s": the scan is saved to it
    QString compareFile;   ///< from "/c": the report shows the change since this earlier scan
    QString error;         ///< one line, for Mode::Invalid
};

/// The names "/r" takes, by report format index: html, pdf, csv, text, xlsx.
int reportFormatIndex(const QString &name);

/// Reads the arguments (without the program's own name). "/?", "-h" and "--help" anywhere but
/// as a key's value ask for the usage, "--version" for the version. "/r" or "/o" make it a report
/// run, which needs both of them and a "/f" path or an "/i" scan file. Other words are ignored, as
/// the window's own command line always did.
Request parseArguments(const QStringList &arguments);

/// The usage text, ending in a line break.
QString usageText();
/// The line that reports `message` on standard error, with its end: the program's name first,
/// and control characters (a line break in a quoted argument, say) shown as "?", so that it
/// stays one line whatever the arguments held.
QByteArray errorLine(const QString &message);

/// The arguments as one text, as a shell hands a command line to a program: joined with
/// blanks. Every argument but a key itself ("/f", "/i", "/r", "/o", "/s", "/c", or such a key
/// with "=" or ":" joined to a value) is
/// enclosed in double quotes, and so is such a joined value, so that a path reaches the parser
/// whole whatever it contains (blanks, ":", "="); a quote inside it is doubled.
QString joinArguments(const QStringList &arguments);

/// The arguments of a program started with `argv` (its own name first), taken as the system's
/// bytes without loss (NativeText).
QStringList argumentsOf(int argc, const char *const *argv);

/// The command line of a program started with `argv`: argumentsOf() joined by joinArguments.
QString fromArgv(int argc, const char *const *argv);

/// Splits a text into at most `MaxArgs` tokens. Blanks, tabs, "=" and ":" outside double quotes
/// separate tokens (runs of them make no empty tokens); quotes are removed and keep what they
/// enclose in one token, where two quotes in a row stand for one quote of the token; text
/// beyond the last allowed token is ignored.
QStringList ParseKeyValueString(const QString &KeyValueString, int MaxArgs);

/// The token that follows the last token equal to `KeyToFind` (ignoring case), or empty text.
/// The token after a key that takes a value ("/f", "/i", "/r", "/o", "/s", "/c" or `KeyToFind`)
/// is that key's value whatever it holds, and is never read as a key itself.
QString CommandLineGetValue(const QString &commandLine, const QString &KeyToFind);

/// The start path given with "/f", trimmed and normalised (ending in "/"), or empty text.
QString GetCmdLine(const QString &commandLine);

/// Whether the window can hope for a display: a Qt platform chosen by QT_QPA_PLATFORM or
/// "-platform", or a display named by DISPLAY or WAYLAND_DISPLAY. Without one, Qt would abort.
bool hasDisplay(const QStringList &arguments);
/// Why the window cannot start without a display, and how to write a report instead.
QString noDisplayMessage();

} // namespace CommandLine
