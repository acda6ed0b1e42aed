#pragma once

#include <QString>

/// Control characters in names (a newline or tab in a file name) shown as visible marks, so
/// that a name stays on one line wherever it is shown: the grid's cells and the plain-text
/// report alike.
namespace ControlPictures {

/// Whether `u` is a C0 or C1 control, DEL, or the Unicode line or paragraph separator.
bool isControl(char16_t u);

/// `text` with every control character replaced by its picture: the Unicode control pictures
/// for C0 and DEL, the "substitute" picture for the C1 range and the newline pictogram for
/// the line and paragraph separators.
QString shown(QString text);

} // namespace ControlPictures
