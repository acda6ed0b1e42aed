#include "CommandLine.h"

#include "mdlFileSearch.h"

namespace CommandLine {

QString joinArguments(const QStringList &arguments) {
    QStringList parts;
    for (const QString &a : arguments)
        parts << (a.contains(u' ') || a.contains(u'\t') ? u'"' + a + u'"' : a);
    return parts.join(u' ');
}

QStringList ParseKeyValueString(const QString &KeyValueString, int MaxArgs) {
    QStringList tokens;
    bool inQuotes = false, inToken = false;
    for (const QChar c : KeyValueString) {
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
        if (c == u'"')
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
