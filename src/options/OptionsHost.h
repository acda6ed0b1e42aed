#pragma once

#include "OutlineGrid.h"

#include <QIcon>
#include <QImage>
#include <QString>

struct Settings;

/// What the options dialog needs of the main window: the setting variables it edits, the
/// pictures its example tree borrows, and the steps that re-dress the scan tree and the chart
/// once the edited values are handed over.
class OptionsHost {
public:
    virtual ~OptionsHost() = default;

    /// The process-wide setting variables.
    virtual Settings &settings() = 0;
    /// The settings file, for the list of recent match specs.
    virtual QString iniPath() const = 0;
    /// The tree's background picture and the folder picture of its rows.
    virtual QImage wallpaperPicture() const = 0;
    virtual QIcon folderPicture() const = 0;
    /// The scan tree's look as it stands, which the example tree starts from.
    virtual GridLook treeLook() const = 0;

    /// Gives the scan tree the stored wallpaper, grid lines, selection fill and highlight mode,
    /// then selects each selected row again so that it is drawn with the stored colours.
    virtual void redressTree() = 0;
    /// Gives the chart the stored chart type and 3D view.
    virtual void redressChart() = 0;
    /// Takes the size unit from the settings and writes the top row in it.
    virtual void SetSizeFactor() = 0;
    virtual void UpdateRoots() = 0;
    /// True when the chart is now set to draw bars.
    virtual bool chartShowsBars() const = 0;
    /// Builds the chart of the selected node again.
    virtual void fgTree_Click() = 0;
};
