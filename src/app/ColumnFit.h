#pragma once

#include "Settings.h"

#include <array>
#include <cstdint>

class OutlineGridView;

/// The scan tree's column widths (twips) that fit the interface font: the size, unit and
/// file-count columns grow as far as their header labels and a bold size of 999,999.99 with
/// its unit need to show whole; the others grow with the font's line height (the design's font
/// has lines of 13 pixels). Never narrower than the design's widths. The window starts with
/// these, and a report made without it lays out its grid the same way.
std::array<std::int32_t, Settings::ColumnCount> fittedColumnWidths(const OutlineGridView &view,
                                                                   double twipsPerPixel);
