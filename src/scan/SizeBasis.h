#pragma once

#include <QString>

#include <cstdint>

/// What a scan's sizes count: the size of the files (st_size), or the space they use on disk
/// (allocated blocks, each folder's own blocks with its files, a file of several names once).
/// The setting `Size_Basis` stores it as its number; the walk, each scan root and each scan
/// file carry it from there.
enum class SizeBasis : std::int16_t { FileSize = 0, DiskUsage = 1 };

/// The basis a stored number stands for; anything but 1 is the size of the files.
inline SizeBasis sizeBasisOf(int stored) {
    return stored == static_cast<int>(SizeBasis::DiskUsage) ? SizeBasis::DiskUsage
                                                            : SizeBasis::FileSize;
}

/// The words the program uses for a basis: "size of the files", "space used on disk".
inline QString sizeBasisText(SizeBasis basis) {
    return basis == SizeBasis::DiskUsage ? QStringLiteral("space used on disk")
                                         : QStringLiteral("size of the files");
}
