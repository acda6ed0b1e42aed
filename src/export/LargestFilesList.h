#pragma once

#include "KeptFiles.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

class OutlineGrid;

/// The "Largest files" section a report may add after the tree: the largest kept files below
/// the selected node, as the texts the Largest files tab shows (name, size in the tree's unit
/// and format, modification time, folder: the longest text last), largest first, at most `MaxRows`
/// of them. `note` says from which size on files are kept and how many of them are listed, so that
/// nobody takes the list for every file.
struct LargestFilesList {
    static constexpr int MaxRows = 100;
    enum Column { Name = 0, Size, Modified, Folder, ColumnCount };
    struct Row {
        std::array<QString, ColumnCount> texts;
        std::uint64_t bytes = 0;
    };

    QString title; ///< "Largest files in <folder>"
    QString note;
    std::vector<Row> rows;

    static const std::array<QString, ColumnCount> &headers();

    /// The list for the files of `kept` below `folderPath` (bytes, ending in "/"); a null
    /// `kept` gives a list that says no files were kept there.
    static LargestFilesList of(const KeptFiles *kept, const QByteArray &folderPath,
                               std::int32_t factor, const QString &unit, const QString &format);
    /// The folder a row of the scan tree stands for (a files row for its folder), with a
    /// trailing "/"; empty for the header and the top row.
    static QByteArray folderOfRow(const OutlineGrid &grid, int row);
};
