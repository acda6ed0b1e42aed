#pragma once

#include "IniDocument.h"

#include <QString>

/// One read-change-write of a settings file: opening it takes an exclusive lock on the file and
/// reads it; commit() writes the whole new text to a temporary file beside it, flushes it to
/// disk and renames it over the file, once. Another copy of the program doing the same waits
/// for the lock and then reads what this one wrote, so both land their changes.
class IniEdit {
public:
    explicit IniEdit(const QString &file);
    ~IniEdit();
    IniEdit(const IniEdit &) = delete;
    IniEdit &operator=(const IniEdit &) = delete;

    /// False when the file could not be opened (its folder is missing, it is a folder, ...).
    bool isOpen() const { return m_fd >= 0; }
    IniDocument &document() { return m_document; }
    /// Replaces the file with the document; true on success. Changes nothing on disk when the
    /// document is what was read.
    bool commit();

private:
    QString m_file;
    QByteArray m_read; // the file's bytes as they were read
    IniDocument m_document;
    int m_fd = -1;
    bool m_created = false; // the lock's open made the (empty) file
    bool m_committed = false;
};
