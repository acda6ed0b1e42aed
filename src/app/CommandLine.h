#pragma once

#include <QString>
#include <QStringList>

/// The program's command line: one key, "/f", followed by the path to scan at once. The key
/// may be joined to its value by a blank, "=" or ":".
namespace CommandLine {

/// The arguments as one text, as a shell hands a command line to a program: joined with
/// blanks. Every argument but the key itself ("/f", or "/f=" or "/f:" joined to a value) is
/// enclosed in double quotes, and so is such a joined value, so that a path reaches the parser
/// whole whatever it contains (blanks, ":", "="); a quote inside it is doubled.
QString joinArguments(const QStringList &arguments);

/// The command line of a program started with `argv` (its own name first): the arguments,
/// taken as the system's bytes without loss (NativeText), joined by joinArguments.
QString fromArgv(int argc, const char *const *argv);

/// Splits a text into at most `MaxArgs` tokens. Blanks, tabs, "=" and ":" outside double quotes
/// separate tokens (runs of them make no empty tokens); quotes are removed and keep what they
/// enclose in one token, where two quotes in a row stand for one quote of the token; text
/// beyond the last allowed token is ignored.
QStringList ParseKeyValueString(const QString &KeyValueString, int MaxArgs);

/// The token that follows the last token equal to `KeyToFind` (ignoring case), or empty text.
QString CommandLineGetValue(const QString &commandLine, const QString &KeyToFind);

/// The start path given with "/f", trimmed and normalised (ending in "/"), or empty text.
QString GetCmdLine(const QString &commandLine);

} // namespace CommandLine
