#pragma once

#include "ScanFigures.h"

#include <QDialog>
#include <QHash>

class QLabel;
class QLineEdit;

/// The program's own Properties window for one item, used when the desktop's file manager does
/// not answer: name, location, type, the scan's size and file count, size on disk, owner,
/// group, permissions and times. Every value can be selected and copied.
class PropertiesDialog : public QDialog {
    Q_OBJECT
public:
    /// `path` is the file system's bytes.
    PropertiesDialog(const QByteArray &path, const ScanFigures &figures, QWidget *parent = nullptr);

    /// The item's path as text for the screen.
    const QString &path() const { return m_path; }
    /// The shown text of the field with `label` ("Name", "Location", "Size", ...); empty when
    /// the window has no such field.
    QString fieldText(const QString &label) const;

private:
    QString m_path;
    QLabel *m_name = nullptr;
    QHash<QString, QLineEdit *> m_values;
};
