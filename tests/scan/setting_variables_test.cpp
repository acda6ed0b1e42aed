#include "Settings.h"

#include <gtest/gtest.h>

namespace {

TEST(SettingVariables, RepairAppliesTheRangeRulesOnly) {
    Settings s;
    s.Match_Parameters = QStringLiteral("  ");
    s.Redraw_Scan_Progress = 3;
    s.Object_Size = 7;
    s.Object_Size_Format = QStringLiteral(" 0.00 ");
    s.Chart_Type = -1;
    s.Other_Label = QString();
    s.fgTree_Width = -5;
    s.chMain_Width = -1;
    s.chMain_Left = -300;
    s.Root_Font_Color = 0xFFFFFFFF;
    s.ColWidth[2] = -40;
    s.Start_Path_Number = 0;
    s.Start_Path_Items = {QStringLiteral(" /a "), QStringLiteral(""), QStringLiteral("/b")};
    s.Match_Parameter_Number = -3;
    s.repair();
    EXPECT_EQ(s.Match_Parameters, "*.*");
    EXPECT_EQ(s.Redraw_Scan_Progress, 0);
    EXPECT_EQ(s.Object_Size, 0); // bytes, not the default unit
    EXPECT_EQ(s.Object_Size_Format, "0.00");
    EXPECT_EQ(s.Chart_Type, 0);
    EXPECT_EQ(s.Other_Label, "Other");
    EXPECT_EQ(s.fgTree_Width, 5500);
    EXPECT_EQ(s.chMain_Width, 5775);
    EXPECT_EQ(s.chMain_Left, -300);
    EXPECT_EQ(s.Root_Font_Color, 0xFFFFFFFFu);
    EXPECT_EQ(s.ColWidth[2], -40);
    EXPECT_EQ(s.Start_Path_Number, 1);
    EXPECT_EQ(s.Start_Path_Items, (QStringList{"/a", "/b"}));
    EXPECT_EQ(s.Match_Parameter_Items, QStringList{"*.*"});

    Settings kept;
    kept.Redraw_Scan_Progress = 2;
    kept.Object_Size = 3;
    kept.Chart_Type = 1;
    kept.Start_Path_Number = 20;
    kept.Match_Parameter_Number = 16;
    for (int i = 0; i < 20; ++i)
        kept.Start_Path_Items.append(QString::number(i));
    kept.repair();
    EXPECT_EQ(kept.Redraw_Scan_Progress, 2);
    EXPECT_EQ(kept.Object_Size, 3);
    EXPECT_EQ(kept.Chart_Type, 1);
    EXPECT_EQ(kept.Start_Path_Number, 15);
    EXPECT_EQ(kept.Start_Path_Items.size(), 15);
    EXPECT_EQ(kept.Match_Parameter_Number, 15);
}

TEST(SettingVariables, SortValuesAndUnitsMapAsStored) {
    const std::pair<int, int> sorts[] = {{100, 0}, {101, 1}, {200, 3}, {201, 4}, {300, 6},
                                         {301, 7}, {-1, 9},  {999, 9}, {0, 9}};
    for (auto [value, index] : sorts)
        EXPECT_EQ(Settings::sortMenuIndex(value), index) << value;
    EXPECT_EQ(Settings::sizeFactorOf(7), 1);
    EXPECT_EQ(Settings::sizeUnitOf(-1), "B");
    EXPECT_EQ(Settings::sizeFactorOf(3), 1073741824);
}

} // namespace
