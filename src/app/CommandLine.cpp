#include "CommandLine.h"

#include "NativeText.h"
#include "mdlFileSearch.h"

namespace CommandLine {

namespace {

QString quoted(QString text) {
    text.replace(u'"', QStringLiteral("\"\""));
    return u'"' + text + u'"';
}

} // namespace

QString joinArguments(const QStringList &arguments) {
    QStringList parts;
    for (const QString &a : arguments) {
        const bool key = a.size() >= 2 && a[0] == u'/' && a[1].toLower() == u'f';
        if (key && a.size() == 2)
            parts << a;
        else if (key && (a[2] == u'=' || a[2] == u':'))
            parts << a.left(3) + quoted(a.mid(3));
        else
            parts << quoted(a);
    }
    return parts.join(u' ');
}

QString fromArgv(int argc, const char *const *argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << NativeText::decode(argv[i]);
    return joinArguments(arguments);
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
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        if (tokens[i].compare(KeyToFind, Qt::CaseInsensitive) != 0)
            continue;
        if (i + 1 >= tokens.size())
            break;
        value = tokens[i + 1];
    }
    return value;
}

QString GetCmdLine(const QString &commandLine) {
    const QString value = CommandLineGetValue(commandLine, QStringLiteral("/f")).trimmed();
    return value.isEmpty() ? QString() : mdlFileSearch::NormalizePath(value);
}

} // namespace CommandLine
