#pragma once

#include <QIcon>
#include <QString>

/// The pictures of the options dialog's page tree, one per page key ("scan", "appr", "chrt",
/// "misc"), drawn at whatever size and scale the screen asks for. Any other key gives a null
/// icon.
namespace OptionsPictures {

QIcon icon(const QString &key);

} // namespace OptionsPictures
