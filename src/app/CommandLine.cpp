#include "CommandLine.h"

#include "NativeText.h"
#include "mdlFileSearch.h"

namespace CommandLine {

namespace {

QString quoted(QString text) {
    text.replace(u'"', QStringLiteral("\"\""));
    return u'"' + text + u'"';
}

// The letters of the keys that take a value: "/f", "/i", "/o", "/r", "/s" and "/c".
constexpr QStringView KeyLetters = u"fiorsc";

// Whether a word of the command line starts with one of the keys that take a value.
bool startsWithKey(const QString &a) {
    return a.size() >= 2 && a[0] == u'/' && KeyLetters.contains(a[1].toLower());
}

bool isKey(const QString &token) {
    return token.size() == 2 && startsWithKey(token);
}

// Calls `visit(i)` for each token that is not the value of a key, in order. A key takes the
// token after it as its value whatever that token is, so that "/f --help" names a folder
// "--help" and "/o /r" a report file "/r"; `alsoKey` is read as a key too.
template <typename Visit>
void forEachWord(const QStringList &tokens, const QString &alsoKey, Visit visit) {
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        visit(i);
        if (isKey(tokens[i]) ||
            (!alsoKey.isEmpty() && tokens[i].compare(alsoKey, Qt::CaseInsensitive) == 0))
            ++i; // its value, or the end
    }
}

bool hasKey(const QStringList &tokens, const QString &key) {
    bool found = false;
    forEachWord(tokens, key, [&](qsizetype i) {
        found = found || tokens[i].compare(key, Qt::CaseInsensitive) == 0;
    });
    return found;
}

} // namespace

QString joinArguments(const QStringList &arguments) {
    QStringList parts;
    for (const QString &a : arguments) {
        const bool key = startsWithKey(a);
        // A key with its joiner alone ("/f:" before a separate "PATH") stays bare, so the
        // next word is its value, as when the whole line is typed in one piece.
        if (key && (a.size() == 2 || (a.size() == 3 && (a[2] == u'=' || a[2] == u':'))))
            parts << a;
        else if (key && (a[2] == u'=' || a[2] == u':'))
            parts << a.left(3) + quoted(a.mid(3));
        else
            parts << quoted(a);
    }
    return parts.join(u' ');
}

QStringList argumentsOf(int argc, const char *const *argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << NativeText::decode(argv[i]);
    return arguments;
}

QString fromArgv(int argc, const char *const *argv) {
    return joinArguments(argumentsOf(argc, argv));
}

QStringList ParseKeyValueString(const QString &KeyValueString, int MaxArgs) {
    QStringList tokens;
    bool inQuotes = false, inToken = false;
    for (qsizetype i = 0; i < KeyValueString.size(); ++i) {
        const QChar c = KeyValueString[i];
        const bool separator = c == u'\t' || c == u' ' || c == u'=' || c == u':';
        if (separator && !inQuotes) {
            inToken = false;
            inQuotes = false;
            continue;
        }
        if (!inToken) {
            if (tokens.size() >= MaxArgs)
                break;
            inToken = true;
            tokens << QString();
        }
        if (c == u'"' && inQuotes && i + 1 < KeyValueString.size() &&
            KeyValueString[i + 1] == u'"') {
            tokens.last() += c; // a doubled quote inside quotes is one quote
            ++i;
        } else if (c == u'"')
            inQuotes = !inQuotes;
        else
            tokens.last() += c;
    }
    return tokens;
}

QString CommandLineGetValue(const QString &commandLine, const QString &KeyToFind) {
    if (KeyToFind.trimmed().isEmpty())
        return QString();
    const QStringList tokens = ParseKeyValueString(commandLine, 25);
    QString value;
    forEachWord(tokens, KeyToFind, [&](qsizetype i) {
        if (i + 1 < tokens.size() && tokens[i].compare(KeyToFind, Qt::CaseInsensitive) == 0)
            value = tokens[i + 1];
    });
    return value;
}

QString GetCmdLine(const QString &commandLine) {
    // Blanks are part of a Linux name: "tr " is another folder than "tr", so the value is
    // taken as given; only a value of blanks alone names nothing.
    const QString value = CommandLineGetValue(commandLine, QStringLiteral("/f"));
    return value.trimmed().isEmpty() ? QString() : mdlFileSearch::NormalizePath(value);
}

int reportFormatIndex(const QString &name) {
    static const char *const names[] = {"html", "pdf", "csv", "text", "xlsx"};
    for (int i = 0; i < 5; ++i)
        if (name.compare(QLatin1StringView(names[i]), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

Request parseArguments(const QStringList &arguments) {
    Request request;
    request.commandLine = joinArguments(arguments);
    // Every argument is one token here (joinArguments quotes them), a key's value included.
    const QStringList all = ParseKeyValueString(request.commandLine, int(arguments.size()) * 2);
    bool help = false, version = false;
    forEachWord(all, QString(), [&](qsizetype i) {
        const QString &a = all[i];
        help = help || a == u"/?" || a == u"-h" || a == u"--help";
        version = version || a == u"--version";
    });
    if (help || version) {
        request.mode = help ? Request::Mode::Help : Request::Mode::Version;
        request.commandLine.clear();
        return request;
    }

    const QStringList tokens = ParseKeyValueString(request.commandLine, 25);
    request.scanPath = GetCmdLine(request.commandLine);
    request.scanFile = CommandLineGetValue(request.commandLine, QStringLiteral("/i"));
    const bool wantsReport =
        hasKey(tokens, QStringLiteral("/r")) || hasKey(tokens, QStringLiteral("/o"));
    const bool wantsSave = hasKey(tokens, QStringLiteral("/s"));
    request.saveFile = CommandLineGetValue(request.commandLine, QStringLiteral("/s"));
    request.compareFile = CommandLineGetValue(request.commandLine, QStringLiteral("/c"));
    auto invalid = [&request](const QString &error) {
        request.mode = Request::Mode::Invalid;
        request.error = error;
        return request;
    };
    if (!request.compareFile.isEmpty() && !wantsReport)
        return invalid(
            QStringLiteral("/c OLD shows the change in a report: add /r FORMAT /o FILE"));
    if (!wantsReport && !wantsSave)
        return request;
    if (wantsSave && request.saveFile.isEmpty())
        return invalid(QStringLiteral("/s needs the name of the scan file to write"));
    if (!wantsReport) {
        if (request.scanPath.isEmpty() == request.scanFile.isEmpty())
            return invalid(
                QStringLiteral("/s needs a folder to scan (/f PATH) or a saved scan (/i FILE)"));
        request.mode = Request::Mode::Report;
        return request;
    }
    const QString format = CommandLineGetValue(request.commandLine, QStringLiteral("/r")).trimmed();
    request.reportFile = CommandLineGetValue(request.commandLine, QStringLiteral("/o"));
    if (format.isEmpty() || request.reportFile.isEmpty())
        return invalid(QStringLiteral("a report needs both /r FORMAT and /o FILE"));
    request.reportFormat = reportFormatIndex(format);
    if (request.reportFormat < 0)
        return invalid(QStringLiteral("unknown report format \"") + format +
                       QStringLiteral("\" (use html, pdf, csv, text or xlsx)"));
    if (request.scanPath.isEmpty() == request.scanFile.isEmpty())
        return invalid(request.scanPath.isEmpty()
                           ? QStringLiteral("a report needs a folder to scan (/f PATH) or a saved "
                                            "scan (/i FILE)")
                           : QStringLiteral("a report takes either /f PATH or /i FILE, not both"));
    request.mode = Request::Mode::Report;
    return request;
}

QByteArray errorLine(const QString &message) {
    QString line = QStringLiteral("cairnmeter: ") + message;
    for (QChar &c : line)
        if (c.category() == QChar::Other_Control)
            c = u'?';
    return NativeText::encode(line) + '\n';
}

bool hasDisplay(const QStringList &arguments) {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || arguments.contains(u"-platform"))
        return true; // a platform chosen on purpose (offscreen, vnc, ...) is Qt's to check
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

QString noDisplayMessage() {
    return QStringLiteral("the window needs a graphical display, and neither DISPLAY nor "
                          "WAYLAND_DISPLAY is set; to write a report without one, use "
                          "/f PATH /r FORMAT /o FILE (see /?)");
}

QString usageText() {
    return QStringLiteral(
        "Usage: cairnmeter [/f PATH] [/i SCANFILE]\n"
        "       cairnmeter (/f PATH | /i SCANFILE) /r FORMAT /o FILE [/c OLDSCAN]\n"
        "       cairnmeter (/f PATH | /i SCANFILE) /s SCANFILE [/r FORMAT /o FILE]\n"
        "\n"
        "Shows where the space of a disk has gone.\n"
        "\n"
        "  /f PATH      scan the folder PATH at once\n"
        "  /i SCANFILE  open a saved scan (ncdu's JSON export format, as written by\n"
        "               Cairnmeter, ncdu -o or gdu -o)\n"
        "  /r FORMAT    write a report without a window: html, pdf, csv, text or xlsx\n"
        "  /o FILE      the report's file name (replaced when the report is complete)\n"
        "  /c OLDSCAN   show in the report the change since the scan saved in OLDSCAN\n"
        "               (the columns Change and Files Change, both dates in the heading)\n"
        "  /s SCANFILE  save the scan to SCANFILE without a window (for cron, or to\n"
        "               compare with on another machine)\n"
        "  /?, -h, --help  show this help\n"
        "  --version    show the version\n"
        "\n"
        "A key may be joined to its value with '=' or ':' (/r=csv). A report run uses the\n"
        "stored settings but never changes them. It ends with status 0 when the report was\n"
        "written complete; 2 when it was written but folders could not be read (each is\n"
        "named on standard error, and counted in the report's totals as empty); 1 when no\n"
        "report was written, with the reason on standard error.\n");
}

} // namespace CommandLine
