#pragma once

#include <QIcon>

/// An icon with a small second icon (a badge) over its bottom-right corner, drawn afresh at
/// every size and scale, so it stays sharp on screen and on paper.
namespace BadgedIcon {

QIcon make(const QIcon &base, const QIcon &badge);

} // namespace BadgedIcon
