#pragma once

#include "Fixed.h"

/// What the scan counted for an item: its bytes and the number of files below it, whole
/// numbers as wide as the scan's totals. A negative figure means the scan gave none.
struct ScanFigures {
    FixedRaw bytes = -1;
    FixedRaw files = -1;
};
