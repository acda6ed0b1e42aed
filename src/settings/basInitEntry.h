#pragma once

#include <QString>

#include <memory>

class IniEdit;

/// The settings file: reading and writing single entries of an INI file.
///
/// Every call opens the file, so nothing is cached and the last write of a key wins. Names of
/// sections and keys match without regard to case. A missing file, section or key reads as the
/// default; a key present with an empty value reads as empty text. Values are single lines of
/// at most 2047 characters. Writes keep every line they do not change byte for byte
/// (comments, unknown keys, text that is not UTF-8) and replace the file atomically under an
/// exclusive lock, so a crash or a full disk leaves the old file whole and two copies of the
/// program writing at once both land their keys; a write that fails leaves the old file and is
/// otherwise silent, as callers expect.
namespace basInitEntry {

/// While a Batch exists, the reads and writes of every file go to one copy of it in memory,
/// taken under the file's exclusive lock at the first access; the file is replaced once, when
/// the batch commits or ends. Saving every setting at exit this way leaves either the old file
/// or the whole new one, never a half-written mix, and another copy saving at the same time
/// waits rather than losing keys. Batches do not nest: an inner one gathers nothing.
class Batch {
public:
    Batch();
    ~Batch();
    Batch(const Batch &) = delete;
    Batch &operator=(const Batch &) = delete;
    /// Writes every changed file now; true when all were written.
    bool commit();

private:
    struct Files;
    std::unique_ptr<Files> m_files;
    IniEdit *editOf(const QString &file);
    friend QString ReadIniEntry(const QString &, const QString &, const QString &, const QString &);
    friend int WriteIniEntry(const QString &, const QString &, const QString &, const QString &);
};

/// While a Snapshot exists, a read outside a Batch takes each file's text once and answers
/// every later read of that file from it, so that reading thirty settings at start-up opens the
/// file once. A write to a file drops its copy, so a read never sees an older text than its
/// own writes. Snapshots do not nest: an inner one keeps nothing.
class Snapshot {
public:
    Snapshot();
    ~Snapshot();
    Snapshot(const Snapshot &) = delete;
    Snapshot &operator=(const Snapshot &) = delete;

private:
    struct Files;
    std::unique_ptr<Files> m_files;
    friend QString ReadIniEntry(const QString &, const QString &, const QString &, const QString &);
    friend int WriteIniEntry(const QString &, const QString &, const QString &, const QString &);
};

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
