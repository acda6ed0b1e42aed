#pragma once

#include "OutlineGrid.h"
#include "TreeCol.h"

#include <array>

/// One item of the Sort menu: its caption, the tag stored as the `Sort` setting, and the column
/// and order it sorts every node's children by. Separators have the caption "-"; items without
/// a column stop the ordering.
struct SortChoice {
    const char *caption;
    const char *tag;
    int column;
    GridSort order;

    bool isSeparator() const { return caption[0] == '-' && caption[1] == '\0'; }

    /// The Sort menu's items, in menu order.
    static const std::array<SortChoice, 12> &all();
    /// The index of the item that a stored `Sort` value selects ("None" for any other value).
    static int indexOfStored(int sortValue);
    static constexpr int NoneIndex = 9;
};
