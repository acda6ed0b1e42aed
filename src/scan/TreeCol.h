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
    // Present only while a scan is compared with an earlier one (see ScanCompare).
    Change = 6,      ///< the change of the size since the earlier scan, as shown
    FilesChange = 7, ///< the change of the file count, as shown
    ChangeBytes = 8, ///< the change of the byte count (hidden; what "By Change" sorts by)
    ChangeMark = 9,  ///< "new", "gone" or, on a compared root, "compared" (hidden)
    WithChange = 10,
};
} // namespace TreeCol
