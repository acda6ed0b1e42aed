#pragma once

#include <QString>
#include <QStringList>

/// The program's command line: one key, "/f", followed by the path to scan at once. The key
/// may be joined to its value by a blank, "=" or ":".
namespace CommandLine {

/// The arguments as one text, as a shell hands a command line to a program: joined with
/// blanks, an argument that contains a blank or tab enclosed in double quotes.
QString joinArguments(const QStringList &arguments);

/// Splits a text into at most `MaxArgs` tokens. Blanks, tabs, "=" and ":" outside double quotes
/// separate tokens (runs of them make no empty tokens); quotes are removed and keep what they
/// enclose in one token; text beyond the last allowed token is ignored.
QStringList ParseKeyValueString(const QString &KeyValueString, int MaxArgs);

/// The token that follows the last token equal to `KeyToFind` (ignoring case), or empty text.
QString CommandLineGetValue(const QString &commandLine, const QString &KeyToFind);

/// The start path given with "/f", trimmed and normalised (ending in "/"), or empty text.
QString GetCmdLine(const QString &commandLine);

} // namespace CommandLine
