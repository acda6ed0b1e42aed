#pragma once

#include "FilePattern.h"
#include "SizeBasis.h"
#include "TreeCol.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

/// The program's setting variables, one member per key of the settings file, named by the key
/// (the section is in the comment of each group). A fresh object holds every reading default:
/// these initialisers are the one place the defaults are written. The settings catalogue
/// (settings/) reads and writes them and applies the range rules.
struct Settings {
    /// The size column's number format when none is set.
    static constexpr QLatin1StringView DefaultSizeFormat{"#,##0.##"};
    /// The label of the chart's slice of small remainders when none is set.
    static constexpr QLatin1StringView DefaultOtherLabel{"Other"};

    // [Scan]
    QString Match_Parameters = FilePattern::AllFiles;
    bool Recurse_Subfolders = true;
    bool Collapse_Root_Nodes_B4_Scan = true;
    bool Clear_Nodes_B4_Scan = false;
    bool Imm_Scan_On_Path_Selection = true;
    std::int16_t Redraw_Scan_Progress = 0; ///< 0 none, 1 direct, 2 buffered
    std::int16_t Size_Basis = 0;           ///< the number of a SizeBasis
    static constexpr int MaxKeptFiles = 10'000'000;
    std::uint32_t Kept_Files = 100'000;    ///< the most large files a scan keeps by name
    bool Stay_On_File_System = false;      ///< other mounted file systems are not entered
    QString Exclude_Folders;               ///< folder patterns not entered, ";"-separated
    bool Largest_Files_In_Reports = false; ///< reports list the selection's largest files

    // [History]
    bool Keep_History = true;          ///< a compressed copy of each finished scan is kept
    std::int16_t History_Count = 10;   ///< the newest kept per scanned folder
    std::int16_t History_Max_MB = 200; ///< all kept scans together

    // [Appearance]
    std::int16_t Object_Size = 2; ///< 0 B, 1 KB, 2 MB, 3 GB
    QString Object_Size_Format = DefaultSizeFormat;
    bool Display_Wallpaper = true;
    bool Display_Gridlines = false;
    std::uint32_t Root_Font_Color = 16711680;        ///< blue
    std::uint32_t HighLight_Border_Color = 16711935; ///< magenta
    std::uint32_t HighLight_Fill_Color = 8454016;    ///< light green
    bool HighLight_Fill_Transparent = false;

    // [Chart]
    std::int16_t Chart_Type = 0;  ///< 0 pie, 1 bar, 2 treemap, 3 rings
    bool Treemap_Cushions = true; ///< treemap tiles shaded as cushions, or flat
    bool ThreeD_Effects = false;  ///< key "3D_Effects"
    bool Chart_In_PDF_Output = true;
    bool Chart_In_HTML_Output = true;
    QString Other_Label = DefaultOtherLabel;

    // [Main]
    bool Disp_Chart = true;
    bool OnTop = false;
    QString Opacity = QStringLiteral("100");
    std::int16_t Sort = -1;
    static constexpr int ColumnCount = TreeCol::Count;
    static constexpr std::array<std::int32_t, ColumnCount> DefaultColWidths{3045, 990, 375,
                                                                            735,  960, 960};
    std::array<std::int32_t, ColumnCount> ColWidth = DefaultColWidths; ///< "Col<n>Width", twips
    float fgTree_Width = 5500;
    float chMain_Width = 5775;
    float chMain_Left = 5400;

    // [Start_Path_Items]
    static constexpr int MaxListItems = 15;
    int Start_Path_Number = 1;    ///< key "Number"
    QString Start_Path_Current;   ///< key "Current"; empty means the system drive's root
    QStringList Start_Path_Items; ///< keys "0", "1", ...

    // [Match_Parameter_Items]
    int Match_Parameter_Number = 0; ///< key "Number"
    QStringList Match_Parameter_Items;

    /// What sizes count (`Size_Basis`): the size of the files, or the space they use on disk.
    SizeBasis sizeBasis() const { return sizeBasisOf(Size_Basis); }
    void setSizeBasis(SizeBasis basis) { Size_Basis = static_cast<std::int16_t>(basis); }

    /// The divisor and unit text that an `Object_Size` value stands for (0 for any value
    /// outside 1 to 3).
    static std::int32_t sizeFactorOf(int objectSize);
    static QString sizeUnitOf(int objectSize);
};
