#include "LargestFilesList.h"

#include "NativeText.h"
#include "NumberFormat.h"
#include "OutlineGrid.h"
#include "ScanTree.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <strings.h>

const std::array<QString, LargestFilesList::ColumnCount> &LargestFilesList::headers() {
    static const std::array<QString, ColumnCount> names{
        QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Modified"),
        QStringLiteral("Folder")};
    return names;
}

QByteArray LargestFilesList::folderOfRow(const OutlineGrid &grid, int row) {
    QByteArray folder;
    for (int r = row; r > ScanTree::TopRow && r < grid.rows() && folder.isEmpty();
         r = grid.parentRow(r))
        folder = grid.rowDataBytes(r);
    if (!folder.isEmpty() && !folder.endsWith('/'))
        folder.append('/');
    return folder;
}

LargestFilesList LargestFilesList::of(const KeptFiles *kept, const QByteArray &folderPath,
                                      std::int32_t factor, const QString &unit,
                                      const QString &format) {
    LargestFilesList list;
    const QLocale locale;
    const QString folderText = NativeText::decode(folderPath);
    list.title = folderText.isEmpty() ? QStringLiteral("Largest files")
                                      : QStringLiteral("Largest files in ") + folderText;
    if (!kept) {
        list.note = QStringLiteral("No large files are kept for this node.");
        return list;
    }
    const NumberFormat number(format);
    const double divisor = factor > 0 ? factor : 1;
    const auto sizeText = [&](std::uint64_t bytes) {
        return number.formatDouble(static_cast<double>(bytes) / divisor) + u' ' + unit;
    };

    // Largest first; ties by name, then by folder, so the order does not depend on the walk's.
    std::vector<std::uint32_t> files = kept->filesUnder(folderPath);
    const std::vector<std::uint32_t> folderRank = kept->folderRanks();
    const auto larger = [&](std::uint32_t a, std::uint32_t b) {
        const KeptFiles::File &fa = kept->file(a), &fb = kept->file(b);
        if (fa.bytes != fb.bytes)
            return fa.bytes > fb.bytes;
        const int c = ::strcasecmp(kept->nameData(fa), kept->nameData(fb));
        return c != 0 ? c < 0 : folderRank[fa.folder] < folderRank[fb.folder];
    };
    const std::size_t shown = std::min<std::size_t>(files.size(), MaxRows);
    std::partial_sort(files.begin(), files.begin() + static_cast<std::ptrdiff_t>(shown),
                      files.end(), larger);

    const QString from =
        kept->threshold() == 0
            ? QStringLiteral("Every file is kept")
            : QStringLiteral("Files of %1 and larger are kept").arg(sizeText(kept->threshold()));
    list.note = shown < files.size() ? QStringLiteral("%1; the largest %2 of %3 are listed.")
                                           .arg(from, locale.toString(qulonglong(shown)),
                                                locale.toString(qulonglong(files.size())))
                                     : QStringLiteral("%1; all %2 are listed.")
                                           .arg(from, locale.toString(qulonglong(files.size())));
    list.rows.reserve(shown);
    for (std::size_t i = 0; i < shown; ++i) {
        const KeptFiles::File &f = kept->file(files[i]);
        list.rows.push_back(
            {{NativeText::decode(kept->name(f)), sizeText(f.bytes),
              locale.toString(QDateTime::fromSecsSinceEpoch(f.mtime), QLocale::ShortFormat),
              NativeText::decode(kept->folderPath(f))},
             f.bytes});
    }
    return list;
}
