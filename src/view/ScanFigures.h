#pragma once

#include <QtGlobal>

/// What the scan counted for an item: its bytes and the number of files below it. A negative
/// figure means the scan gave none.
struct ScanFigures {
    qint64 bytes = -1;
    qint64 files = -1;
};
