// Moving the settings between the settings file and the running window.
#include "frmMain.h"

#include "AppError.h"
#include "ChartView.h"
#include "IniValue.h"
#include "NodeChart.h"
#include "OutlineGridView.h"
#include "StoredColor.h"
#include "basInitEntry.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>

#include <cmath>

using basInitEntry::ReadIniEntry;
using basInitEntry::WriteIniEntry;

namespace {

QString boolText(bool on) {
    return QString::number(basInitEntry::BoolToIniValue(on));
}

// A lenient 16-bit value: out of range is an overflow, as storing it would be.
std::int16_t val16(const QString &text) {
    const double v = std::nearbyint(IniValue::Val(text));
    if (v < -32768 || v > 32767)
        throw AppError::overflow();
    return static_cast<std::int16_t>(v);
}

QString trimmedOr(const QString &text, const QString &fallback) {
    const QString t = text.trimmed();
    return t.isEmpty() ? fallback : t;
}

// Single-precision lengths are written without needless decimals ("5500", "5400.5").
QString lengthText(float twips) {
    return QString::number(static_cast<double>(twips), 'g', 7);
}

} // namespace

void frmMain::LoadINI() {
    const QString &ini = m_iniPath;
    auto read = [&](const char *section, const char *key, const QString &def) {
        return ReadIniEntry(QString::fromLatin1(section), QString::fromLatin1(key), def, ini);
    };
    auto readBool = [&](const char *section, const char *key, const char *def) {
        return IniValue::ToBool(read(section, key, QString::fromLatin1(def)));
    };
    Settings &s = m_settings;

    s.Disp_Chart = readBool("Main", "Disp_Chart", "1");
    ClearTheChart();
    ShowTheChart(s.Disp_Chart);
    s.OnTop = readBool("Main", "OnTop", "0");
    if (s.OnTop)
        mnuOnTop_Click();
    if (m_osVersionNumber >= 500) {
        const QString caption = read("Main", "Opacity", QStringLiteral("100")).trimmed() + u'%';
        for (int i = 0; i < 10; ++i) {
            if (mnuSetOpacity[static_cast<std::size_t>(i)]->text() == caption) {
                mnuSetOpacity_Click(i);
                break;
            }
        }
    }
    s.Sort = IniValue::ToInt16(read("Main", "Sort", QStringLiteral("-1")));
    mnuSort_Click(Settings::sortMenuIndex(s.Sort));

    s.Match_Parameters = trimmedOr(read("Scan", "Match_Parameters", "*.*"), "*.*");
    s.Recurse_Subfolders = readBool("Scan", "Recurse_Subfolders", "1");
    s.Collapse_Root_Nodes_B4_Scan = readBool("Scan", "Collapse_Root_Nodes_B4_Scan", "1");
    s.Clear_Nodes_B4_Scan = readBool("Scan", "Clear_Nodes_B4_Scan", "0");
    s.Imm_Scan_On_Path_Selection = readBool("Scan", "Imm_Scan_On_Path_Selection", "1");
    s.Redraw_Scan_Progress = val16(read("Scan", "Redraw_Scan_Progress", "0"));

    s.Object_Size = val16(read("Appearance", "Object_Size", "2"));
    s.Object_Size_Format =
        trimmedOr(read("Appearance", "Object_Size_Format", "#,##0.##"), "#,##0.##");
    s.Display_Wallpaper = readBool("Appearance", "Display_Wallpaper", "1");
    s.Display_Gridlines = readBool("Appearance", "Display_Gridlines", "0");
    s.Root_Font_Color = IniValue::ToColor(read("Appearance", "Root_Font_Color", "16711680"));
    s.HighLight_Border_Color =
        IniValue::ToColor(read("Appearance", "HighLight_Border_Color", "16711935"));
    s.HighLight_Fill_Color =
        IniValue::ToColor(read("Appearance", "HighLight_Fill_Color", "8454016"));
    s.HighLight_Fill_Transparent = readBool("Appearance", "HighLight_Fill_Transparent", "0");

    s.Chart_Type = val16(read("Chart", "Chart_Type", "0"));
    s.ThreeD_Effects = readBool("Chart", "3D_Effects", "0");
    s.Chart_In_PDF_Output = readBool("Chart", "Chart_In_PDF_Output", "1");
    s.Chart_In_HTML_Output = readBool("Chart", "Chart_In_HTML_Output", "1");
    s.Other_Label = trimmedOr(read("Chart", "Other_Label", "Other"), "Other");
    s.repair();

    for (int c = 0; c < fgTree.cols(); ++c) {
        const QString key = QStringLiteral("Col%1Width").arg(c);
        const double w = IniValue::Val(
            ReadIniEntry(QStringLiteral("Main"), key, QString::number(fgTree.colWidth(c)), ini));
        fgTree.setColWidth(c, static_cast<int>(std::lround(w)));
    }

    s.fgTree_Width = static_cast<float>(IniValue::Val(read("Main", "fgTree_Width", "5500")));
    if (s.fgTree_Width < 0)
        s.fgTree_Width = 5500;
    s.chMain_Width = static_cast<float>(IniValue::Val(read("Main", "chMain_Width", "5775")));
    if (s.chMain_Width < 0)
        s.chMain_Width = 5775;
    s.chMain_Left = static_cast<float>(IniValue::ToInt32(read("Main", "chMain_Left", "5400")));
    // The chart's left edge, then its width: a chart hidden now keeps that width for when it
    // is shown again, and for the next exit. Then the splitter meets the chart's left edge.
    const double tpp = twipsPerPixel();
    chMain->setGeometry(static_cast<int>(std::lround(s.chMain_Left / tpp)), chMain->y(),
                        static_cast<int>(std::lround(s.chMain_Width / tpp)), chMain->height());
    setSplitterLeft(static_cast<int>(s.chMain_Left - lblBar->width() * tpp));

    cboStartPath->setEditText(read("Start_Path_Items", "Current", m_systemDriveRoot));
    const int number = std::clamp(
        static_cast<int>(std::lround(IniValue::Val(read("Start_Path_Items", "Number", "1")))), 1,
        Settings::MaxListItems);
    for (int i = 0; i <= number; ++i) {
        const QString item =
            ReadIniEntry(QStringLiteral("Start_Path_Items"), QString::number(i), QString(), ini)
                .trimmed();
        if (!item.isEmpty())
            cboStartPath->addItem(item);
    }

    applyTreeLook();
    m_nodeChart->applyChartSettings();
}

void frmMain::applyTreeLook() {
    GridLook look = fgTree.look();
    look.wallpaper = m_settings.Display_Wallpaper ? m_wallpaper : QImage();
    look.gridLines = m_settings.Display_Gridlines ? 1 : 14;
    look.backColorSel = m_settings.HighLight_Fill_Color;
    look.highlight = m_settings.HighLight_Fill_Transparent ? 0 : 1;
    fgTree.setLook(look);
}

void frmMain::SaveINI() {
    LocateSettingsFile();
    const QString &ini = m_iniPath;
    auto write = [&](const char *section, const char *key, const QString &value) {
        WriteIniEntry(QString::fromLatin1(section), QString::fromLatin1(key), value, ini);
    };
    const Settings &s = m_settings;

    write("Scan", "Match_Parameters", s.Match_Parameters);
    write("Scan", "Recurse_Subfolders", boolText(s.Recurse_Subfolders));
    write("Scan", "Collapse_Root_Nodes_B4_Scan", boolText(s.Collapse_Root_Nodes_B4_Scan));
    write("Scan", "Clear_Nodes_B4_Scan", boolText(s.Clear_Nodes_B4_Scan));
    write("Scan", "Imm_Scan_On_Path_Selection", boolText(s.Imm_Scan_On_Path_Selection));
    write("Scan", "Redraw_Scan_Progress", QString::number(s.Redraw_Scan_Progress));

    write("Appearance", "Object_Size", QString::number(s.Object_Size));
    write("Appearance", "Object_Size_Format", s.Object_Size_Format);
    write("Appearance", "Display_Wallpaper", boolText(s.Display_Wallpaper));
    write("Appearance", "Display_Gridlines", boolText(s.Display_Gridlines));
    write("Appearance", "Root_Font_Color", QString::number(s.Root_Font_Color));
    write("Appearance", "HighLight_Border_Color", QString::number(s.HighLight_Border_Color));
    write("Appearance", "HighLight_Fill_Color", QString::number(s.HighLight_Fill_Color));
    write("Appearance", "HighLight_Fill_Transparent", boolText(s.HighLight_Fill_Transparent));

    write("Chart", "Chart_Type", QString::number(s.Chart_Type));
    write("Chart", "3D_Effects", boolText(s.ThreeD_Effects));
    write("Chart", "Chart_In_PDF_Output", boolText(s.Chart_In_PDF_Output));
    write("Chart", "Chart_In_HTML_Output", boolText(s.Chart_In_HTML_Output));
    write("Chart", "Other_Label", s.Other_Label.trimmed());

    for (int c = 0; c < fgTree.cols(); ++c)
        WriteIniEntry(QStringLiteral("Main"), QStringLiteral("Col%1Width").arg(c),
                      QString::number(fgTree.colWidth(c)), ini);

    WriteIniEntry(QStringLiteral("Start_Path_Items"), QString(), QString(), ini);
    const int number = std::min(cboStartPath->count(), Settings::MaxListItems);
    write("Start_Path_Items", "Number", QString::number(number));
    write("Start_Path_Items", "Current", cboStartPath->currentText().trimmed());
    for (int i = 0; i < number; ++i)
        WriteIniEntry(QStringLiteral("Start_Path_Items"), QString::number(i),
                      cboStartPath->itemText(i).trimmed(), ini);

    const double tpp = twipsPerPixel();
    write("Main", "fgTree_Width", lengthText(static_cast<float>(fgTreeView->width() * tpp)));
    write("Main", "chMain_Width", lengthText(static_cast<float>(chMain->width() * tpp)));
    write("Main", "chMain_Left", lengthText(static_cast<float>(chMain->x() * tpp)));
    write("Main", "Disp_Chart", boolText(mnuDispChart->isChecked()));
    write("Main", "OnTop", boolText(mnuOnTop->isChecked()));
    if (m_osVersionNumber >= 500) {
        for (QAction *a : mnuSetOpacity) {
            if (a->isChecked()) {
                write("Main", "Opacity", QString(a->text()).remove(u'%'));
                break;
            }
        }
    }
    write("Main", "Sort", QStringLiteral("-1"));
    for (QAction *a : mnuSort) {
        if (a->isChecked()) {
            write("Main", "Sort", a->data().toString());
            break;
        }
    }
}
