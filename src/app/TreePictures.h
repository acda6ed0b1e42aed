#pragma once

#include "ScanTree.h"

#include <QIcon>

/// The pictures of the scan tree's rows: one table giving each role its icon from the
/// desktop's theme (freedesktop names) and the style's standard icon where the theme has none.
namespace TreePictures {

QIcon icon(TreePicture picture);

} // namespace TreePictures
