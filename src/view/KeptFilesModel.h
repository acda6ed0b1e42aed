#pragma once

#include "KeptFiles.h"
#include "NumberFormat.h"

#include <QAbstractTableModel>
#include <QByteArray>

#include <cstdint>
#include <optional>
#include <vector>

/// The kept large files below one folder of a scan as a table: name, size (in the tree's unit
/// and size format), folder and modification time, largest first unless sorted otherwise. It
/// can be narrowed to one file type.
class KeptFilesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Name = 0, Size, Folder, Modified, ColumnCount };

    explicit KeptFilesModel(QObject *parent = nullptr);

    /// Lists the kept files of `kept` below `folderPath` (bytes, ending in "/"); with a type,
    /// only those of that type (as KeptFiles::types() names it). Null lists nothing.
    void show(KeptFilesPtr kept, const QByteArray &folderPath,
              std::optional<QString> type = std::nullopt);
    /// The unit divisor, unit text and number format the sizes are shown in.
    void setSizeDisplay(std::int32_t factor, const QString &unit, const QString &format);

    const KeptFilesPtr &keptFiles() const { return m_kept; }
    const QByteArray &folderPath() const { return m_folder; }
    const std::optional<QString> &type() const { return m_type; }
    /// The file of a row (index into keptFiles()), or -1.
    std::int64_t fileAt(int row) const;
    /// The full path's bytes of a row's file, and of its folder.
    QByteArray filePath(int row) const;
    QByteArray folderOf(int row) const;
    /// A size in the tree's unit and format, with the unit ("1.5 MB").
    QString sizeText(std::uint64_t bytes) const;
    /// A row as tab-separated text: name, size, folder, modification time.
    QString rowText(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

    /// The type of a file's name as KeptFiles::types() names it.
    static QString typeOfName(const QByteArray &name);

private:
    KeptFilesPtr m_kept;
    QByteArray m_folder;
    std::optional<QString> m_type;
    std::vector<std::uint32_t> m_rows;
    int m_sortColumn = Size;
    Qt::SortOrder m_sortOrder = Qt::DescendingOrder;
    std::int32_t m_factor = 1;
    QString m_unit = QStringLiteral("B");
    NumberFormat m_format;

    void sortRows();
};
