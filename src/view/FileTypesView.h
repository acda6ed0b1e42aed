#pragma once

#include "KeptFiles.h"
#include "NumberFormat.h"

#include <QWidget>

class QLabel;
class QTreeWidget;

/// The "File types" page beside the chart: the total size and count of every type of file in
/// the scan that holds the selected node, largest first, each with a bar of its share. A click
/// on a type asks for its kept files to be listed.
class FileTypesView : public QWidget {
    Q_OBJECT
public:
    explicit FileTypesView(QWidget *parent = nullptr);

    /// Shows the types of a scan; null (a scan that kept none) says so instead.
    void show(const KeptFilesPtr &kept);
    void setSizeDisplay(std::int32_t factor, const QString &unit, const QString &format);

    QTreeWidget *list() const { return m_list; }
    /// The caption a type's row shows: "(no extension)" for files without one.
    static QString typeCaption(const QString &type);

signals:
    /// A type was clicked: its kept files are wanted (the type as KeptFiles::types() names it).
    void typeChosen(const QString &type);

private:
    QLabel *m_caption;
    QTreeWidget *m_list;
    KeptFilesPtr m_kept;
    std::int32_t m_factor = 1;
    QString m_unit = QStringLiteral("B");
    NumberFormat m_format{QStringLiteral("#,##0.##")};

    void refill();
};
