// Moving the settings between the settings file and the running window.
#include "frmMain.h"

#include "ChartView.h"
#include "NodeChart.h"
#include "OutlineGridView.h"
#include "ScanTree.h"
#include "SettingsCatalogue.h"
#include "SortChoice.h"
#include "basInitEntry.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>

#include <cmath>

void frmMain::LoadINI() {
    Settings &s = m_settings;
    // Each view setting takes effect as soon as it is read, so that an error further on leaves
    // what was read before it in effect.
    // Whether the file holds a value for the setting (rather than the default standing in).
    const auto inFile = [this](const SettingsCatalogue::Setting &setting) {
        return !basInitEntry::ReadIniEntry(QString::fromLatin1(setting.section),
                                           QString::fromLatin1(setting.key), QString(), m_iniPath)
                    .trimmed()
                    .isEmpty();
    };
    // A setting counts as reached once its reading starts: one that cannot be read is saved at
    // exit with the value in use, so the bad text does not fail every later start too.
    const auto reached = [this](const SettingsCatalogue::Setting &setting) {
        m_settingRead[SettingsCatalogue::indexOf(setting)] = true;
    };
    const auto apply = [&](const SettingsCatalogue::Setting &setting) {
        if (setting.holds(&Settings::Disp_Chart)) {
            ClearTheChart();
            ShowTheChart(s.Disp_Chart);
        } else if (setting.holds(&Settings::OnTop)) {
            if (s.OnTop)
                mnuOnTop_Click();
        } else if (setting.holds(&Settings::Opacity)) {
            if (m_osVersionNumber >= 500)
                applyStoredOpacity(s.Opacity);
        } else if (setting.holds(&Settings::Size_Basis)) {
            checkSizeBasisMenu();
        } else if (setting.holds(&Settings::Sort)) {
            mnuSort_Click(SortChoice::indexOfStored(s.Sort));
        } else if (const int c = setting.column(); c >= 0 && c < fgTree.cols()) {
            // A width the file holds wins; without one the column keeps the width that fits
            // the interface font.
            auto &width = s.ColWidth[static_cast<std::size_t>(c)];
            if (!inFile(setting))
                width = m_fittedColWidths[static_cast<std::size_t>(c)];
            fgTree.setColWidth(c, width);
        } else if (setting.holds(&Settings::chMain_Left)) {
            // The chart's left edge, then its width: a chart hidden now keeps that width for
            // when it is shown again, and for the next exit. Then the splitter meets the
            // chart's left edge. Without a stored edge, the tree gets the room its columns
            // take at the widths that fit the interface font.
            if (!inFile(setting))
                s.chMain_Left = static_cast<float>(fittedChartLeft());
            const double tpp = twipsPerPixel();
            chMain->setGeometry(static_cast<int>(std::lround(s.chMain_Left / tpp)), chMain->y(),
                                static_cast<int>(std::lround(s.chMain_Width / tpp)),
                                chMain->height());
            setSplitterLeft(static_cast<int>(s.chMain_Left - lblBar->width() * tpp));
        }
    };
    SettingsCatalogue::load(s, m_iniPath, apply, reached);

    SettingsCatalogue::loadStartPaths(s, m_iniPath, m_systemDriveRoot);
    cboStartPath->setEditText(s.Start_Path_Current);
    for (const QString &item : s.Start_Path_Items)
        cboStartPath->addItem(item);
    m_startPathsRead = true;

    applyTreeLook();
    m_nodeChart->applyChartSettings();
    checkChartTypeMenu();
}

// The first "Set Opacity" item whose caption is the stored value followed by "%" runs.
void frmMain::applyStoredOpacity(const QString &value) {
    const QString caption = value + u'%';
    for (int i = 0; i < static_cast<int>(mnuSetOpacity.size()); ++i) {
        if (mnuSetOpacity[static_cast<std::size_t>(i)]->text() == caption) {
            mnuSetOpacity_Click(i);
            return;
        }
    }
}

void frmMain::applyTreeLook() {
    GridLook look = fgTree.look();
    look.wallpaper = m_settings.Display_Wallpaper ? m_wallpaper : QImage();
    look.gridLines = m_settings.Display_Gridlines ? 1 : 14;
    look.backColorSel = m_settings.HighLight_Fill_Color;
    look.highlight = m_settings.HighLight_Fill_Transparent ? 0 : 1;
    fgTree.setLook(look);
}

void frmMain::ReadSizeSettings() {
    for (const SettingsCatalogue::Setting *setting :
         {&SettingsCatalogue::of(&Settings::Object_Size),
          &SettingsCatalogue::of(&Settings::Object_Size_Format)}) {
        m_settingRead[SettingsCatalogue::indexOf(*setting)] = true; // reached, as in LoadINI
        SettingsCatalogue::loadOne(*setting, m_settings, m_iniPath);
    }
    m_tree->SetSizeFactor();
    m_tree->SetSizeFormat();
    m_tree->UpdateRoots();
}

void frmMain::rememberSettingsAtStart() {
    m_settingsAtStart = m_settings;
    takeViewSettings(m_settingsAtStart);
}

bool frmMain::takeViewSettings(Settings &s) const {
    for (int c = 0; c < fgTree.cols() && c < Settings::ColumnCount; ++c)
        s.ColWidth[static_cast<std::size_t>(c)] = fgTree.colWidth(c);
    const double tpp = twipsPerPixel();
    s.fgTree_Width = static_cast<float>(fgTreeView->width() * tpp);
    s.chMain_Width = static_cast<float>(chMain->width() * tpp);
    s.chMain_Left = static_cast<float>(chMain->x() * tpp);
    s.Disp_Chart = mnuDispChart->isChecked();
    s.OnTop = mnuOnTop->isChecked();
    bool opacityChecked = false;
    for (QAction *a : mnuSetOpacity) {
        if (a->isChecked()) {
            s.Opacity = QString(a->text()).remove(u'%');
            opacityChecked = true;
            break;
        }
    }
    s.Sort = -1;
    for (QAction *a : mnuSort) {
        if (a->isChecked()) {
            s.Sort = static_cast<std::int16_t>(a->data().toString().toInt());
            break;
        }
    }
    s.Start_Path_Current = cboStartPath->currentText();
    s.Start_Path_Items.clear();
    for (int i = 0; i < cboStartPath->count(); ++i)
        s.Start_Path_Items.append(cboStartPath->itemText(i));
    return opacityChecked;
}

void frmMain::SaveINI() {
    LocateSettingsFile();
    // The view and layout settings are the state of the window's controls.
    Settings &s = m_settings;
    const bool opacityKept = takeViewSettings(s) && m_osVersionNumber >= 500;
    // A setting whose stored text start-up never reached (an error ended the reading before
    // it) keeps that text, unless the user has changed the setting since: writing the value it
    // happens to hold would put the default over the user's own.
    auto keepStored = [&](const SettingsCatalogue::Setting &setting) {
        return !m_settingRead[SettingsCatalogue::indexOf(setting)] &&
               SettingsCatalogue::storedText(setting, s) ==
                   SettingsCatalogue::storedText(setting, m_settingsAtStart);
    };
    SettingsCatalogue::save(s, m_iniPath, [&](const SettingsCatalogue::Setting &setting) {
        return (setting.holds(&Settings::Opacity) && !opacityKept) || keepStored(setting);
    });
    if (!m_startPathsRead) {
        // The stored history follows the paths of this run.
        Settings stored;
        SettingsCatalogue::loadStartPaths(stored, m_iniPath, QString());
        for (const QString &item : stored.Start_Path_Items)
            if (!s.Start_Path_Items.contains(item))
                s.Start_Path_Items.append(item);
    }
    SettingsCatalogue::saveStartPaths(s, m_iniPath);
}
