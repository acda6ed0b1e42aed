#pragma once

#include <QString>

/// Where the program keeps its settings: `Velmoria/Cairnmeter/Cairnmeter.ini` in the user's
/// configuration folder ($XDG_CONFIG_HOME, else ~/.config).
namespace SettingsFile {

/// The settings file's path. With `create`, the folders are made when missing (a folder that
/// cannot be made raises the folder error); without, nothing on disk changes.
QString locate(bool create);

} // namespace SettingsFile
