#pragma once

#include <QString>

/// The settings file: reading and writing single entries of an INI file.
///
/// Every call opens the file, so nothing is cached and the last write of a key wins. Names of
/// sections and keys match without regard to case. A missing file, section or key reads as the
/// default; a key present with an empty value reads as empty text. Values are single lines of
/// at most 2047 characters. Writes keep every line they do not change (comments, unknown keys)
/// and replace the file atomically, so a crash or a full disk leaves the old file whole; a
/// write that fails leaves the old file and is otherwise silent, as callers expect.
namespace basInitEntry {

/// Longest value kept; longer ones are cut.
constexpr int MaxValueLength = 2047;

QString ReadIniEntry(const QString &section, const QString &key, const QString &defaultValue,
                     const QString &file);

/// key and value non-empty: writes key=value (creating file, section and key as needed; a new
/// section goes to the end of the file, a new key to the end of its section); empty value:
/// deletes the key; empty key: deletes the whole section. Returns 1 on success, 0 on failure.
int WriteIniEntry(const QString &section, const QString &key, const QString &value,
                  const QString &file);

/// 1 for true, 0 for false; stored as the text "1" or "0".
inline int BoolToIniValue(bool flag) {
    return flag ? 1 : 0;
}

/// True when the text's number is not 0; a text that is not a number raises a type mismatch.
bool IniValueToBool(const QString &text);

/// The path with one "/" appended when it does not end in one ("" becomes "/").
QString AddBackslash(const QString &path);

} // namespace basInitEntry
