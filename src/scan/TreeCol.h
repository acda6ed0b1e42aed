#pragma once

/// The columns of the scan tree `fgTree`, by what they hold.
namespace TreeCol {
enum : int {
    Name = 0,  ///< the node's name, with the outline and the picture
    Size = 1,  ///< the size in the chosen unit
    Unit = 2,  ///< the unit's text
    Files = 3, ///< the file count
    Bytes = 4, ///< the exact byte count (hidden)
    Spare = 5, ///< never written, not even its header
    Count = 6,
};
} // namespace TreeCol
