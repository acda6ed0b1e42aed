#include "KeptFilesModel.h"

#include "NativeText.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <cstring>
#include <strings.h>

KeptFilesModel::KeptFilesModel(QObject *parent)
    : QAbstractTableModel(parent), m_format(QStringLiteral("#,##0.##")) {}

void KeptFilesModel::show(KeptFilesPtr kept, const QByteArray &folderPath,
                          std::optional<QString> type) {
    beginResetModel();
    m_kept = std::move(kept);
    m_folder = folderPath;
    m_type = std::move(type);
    m_rows.clear();
    if (m_kept) {
        m_rows = m_kept->filesUnder(folderPath);
        if (m_type)
            std::erase_if(m_rows, [this](std::uint32_t i) {
                return typeOfName(m_kept->name(m_kept->file(i))) != *m_type;
            });
    }
    sortRows();
    endResetModel();
}

void KeptFilesModel::setSizeDisplay(std::int32_t factor, const QString &unit,
                                    const QString &format) {
    m_factor = factor > 0 ? factor : 1;
    m_unit = unit;
    m_format = NumberFormat(format);
    if (!m_rows.empty())
        emit dataChanged(index(0, Size), index(rowCount() - 1, Size));
}

QString KeptFilesModel::typeOfName(const QByteArray &name) {
    char ext[KeptFiles::MaxExtension];
    const std::size_t n =
        KeptFiles::extensionOf(name.constData(), static_cast<std::size_t>(name.size()), ext);
    return NativeText::decode(QByteArray(ext, static_cast<qsizetype>(n))).toCaseFolded();
}

std::int64_t KeptFilesModel::fileAt(int row) const {
    // Not a plain conditional: its unsigned type would turn the -1 into 4294967295.
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size())
        return -1;
    return m_rows[std::size_t(row)];
}

QByteArray KeptFilesModel::filePath(int row) const {
    const std::int64_t i = fileAt(row);
    return i < 0 ? QByteArray() : m_kept->filePath(m_kept->file(std::size_t(i)));
}

QByteArray KeptFilesModel::folderOf(int row) const {
    const std::int64_t i = fileAt(row);
    return i < 0 ? QByteArray() : m_kept->folderPath(m_kept->file(std::size_t(i)));
}

QString KeptFilesModel::sizeText(std::uint64_t bytes) const {
    return m_format.formatDouble(static_cast<double>(bytes) / m_factor) + u' ' + m_unit;
}

QString KeptFilesModel::rowText(int row) const {
    QStringList cells;
    for (int c = 0; c < ColumnCount; ++c)
        cells << data(index(row, c), Qt::DisplayRole).toString();
    return cells.join(u'\t');
}

int KeptFilesModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int KeptFilesModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant KeptFilesModel::data(const QModelIndex &index, int role) const {
    const std::int64_t i = fileAt(index.row());
    if (i < 0)
        return {};
    const KeptFiles::File &f = m_kept->file(std::size_t(i));
    if (role == Qt::TextAlignmentRole)
        return index.column() == Size ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                      : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    if (role == Qt::ToolTipRole && index.column() != Size)
        return NativeText::decode(m_kept->filePath(f));
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case Name:
        return NativeText::decode(m_kept->name(f));
    case Size:
        return sizeText(f.bytes);
    case Folder:
        return NativeText::decode(m_kept->folderPath(f));
    case Modified:
        return QLocale().toString(QDateTime::fromSecsSinceEpoch(f.mtime), QLocale::ShortFormat);
    }
    return {};
}

QVariant KeptFilesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const titles[] = {"Name", "Size", "Folder", "Modified"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section])
                                                 : QVariant();
}

void KeptFilesModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= ColumnCount)
        return;
    emit layoutAboutToBeChanged();
    m_sortColumn = column;
    m_sortOrder = order;
    sortRows();
    emit layoutChanged();
}

// Ties go by name, then by folder, so the order does not depend on the walk's.
void KeptFilesModel::sortRows() {
    if (!m_kept)
        return;
    const KeptFiles &k = *m_kept;
    const std::vector<std::uint32_t> folderRank = k.folderRanks();
    auto byName = [&k, &folderRank](std::uint32_t a, std::uint32_t b) {
        const KeptFiles::File &fa = k.file(a), &fb = k.file(b);
        const int c = ::strcasecmp(k.nameData(fa), k.nameData(fb));
        return c != 0 ? c < 0 : folderRank[fa.folder] < folderRank[fb.folder];
    };
    auto less = [&](std::uint32_t a, std::uint32_t b) {
        const KeptFiles::File &fa = k.file(a), &fb = k.file(b);
        switch (m_sortColumn) {
        case Size:
            if (fa.bytes != fb.bytes)
                return fa.bytes < fb.bytes;
            break;
        case Modified:
            if (fa.mtime != fb.mtime)
                return fa.mtime < fb.mtime;
            break;
        case Folder:
            if (folderRank[fa.folder] != folderRank[fb.folder])
                return folderRank[fa.folder] < folderRank[fb.folder];
            break;
        default:
            break;
        }
        return byName(a, b);
    };
    if (m_sortOrder == Qt::AscendingOrder)
        std::sort(m_rows.begin(), m_rows.end(), less);
    else
        std::sort(m_rows.begin(), m_rows.end(),
                  [&less](std::uint32_t a, std::uint32_t b) { return less(b, a); });
}
