#pragma once

#include "ScanFigures.h"

#include <QLocale>
#include <QString>

#include <vector>

/// What the Properties dialog tells about one item: its facts read from the file system (the
/// item itself, a link is not followed) and the scan's figures, each as a labelled text.
class ItemProperties {
public:
    struct Field {
        QString label; ///< "Name", "Location", "Type", "Size", "Files", "Size on disk", ...
        QString value;
    };

    /// Reads the item at `path` (the file system's bytes) now. An item that cannot be read gets
    /// a "Type" that says why.
    static ItemProperties read(const QByteArray &path, const ScanFigures &figures,
                               const QLocale &locale = QLocale());

    /// The item's cleaned path, as text for the screen.
    const QString &path() const { return m_path; }
    bool isFolder() const { return m_folder; }
    const std::vector<Field> &fields() const { return m_fields; }
    /// The text of the field with `label`; empty when there is none.
    QString value(const QString &label) const;

    /// "1,234,567 bytes (1.18 MB)": the exact count with the locale's grouping, and the
    /// rounded size for 1 KB and up.
    static QString formatBytes(FixedRaw bytes, const QLocale &locale);
    /// A whole number with the locale's grouping, also beyond 64 bits.
    static QString formatCount(FixedRaw count, const QLocale &locale);
    /// "drwxr-xr-x (0755)" for a mode as stat(2) gives it.
    static QString formatMode(unsigned mode);

private:
    QString m_path;
    bool m_folder = false;
    std::vector<Field> m_fields;

    void add(const QString &label, const QString &value) { m_fields.push_back({label, value}); }
};
