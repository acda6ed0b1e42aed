#pragma once

#include "FilePattern.h"

#include <QByteArray>
#include <QHash>
#include <QString>

/// The folders below a walk's start that it does not enter: kernel pseudo file systems always,
/// other mounted file systems when the walk stays on the start's one, and the folders the user
/// excludes by name or by full path. Read by the worker threads too; set before a walk only.
class WalkLimits {
public:
    enum class Skip { None, PseudoFileSystem, OtherFileSystem, Excluded };

    /// `startPath` ends in "/".
    void reset(const QByteArray &startPath);
    /// A mount point below the start (relative to it, ending in "/").
    void addMount(const QByteArray &relative, Skip skip);
    /// ";"-separated patterns, as file match specs: one holding a "/" matches the folder's full
    /// path (without its trailing "/"), any other its name.
    void setExcluded(const QString &patterns);

    /// Whether any folder may be skipped at all, so that callers need not build paths.
    bool isEmpty() const { return m_mounts.isEmpty() && !m_byName && !m_byPath; }
    /// Why the folder at `relative` (below the start, ending in "/") is not entered.
    Skip skipOf(const QByteArray &relative) const;
    /// The note a folder's row carries when it was not entered for `skip`.
    static QString noteOf(Skip skip);

private:
    QByteArray m_start;
    QHash<QByteArray, Skip> m_mounts;
    FilePattern m_names{QString()}, m_paths{QString()};
    bool m_byName = false, m_byPath = false;
};
