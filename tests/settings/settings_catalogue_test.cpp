#include "AppError.h"
#include "SettingsCatalogue.h"
#include "SortChoice.h"
#include "TempIniFile.h"
#include "basInitEntry.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using SettingsCatalogue::Setting;

struct CatalogueFixture : TempIniFile {
    QString read(const char *section, const char *key) const {
        return basInitEntry::ReadIniEntry(QString::fromLatin1(section), QString::fromLatin1(key),
                                          QStringLiteral("<none>"), path);
    }
};

int errorNumber(const std::function<void()> &f) {
    try {
        f();
    } catch (const AppError &e) {
        return e.number();
    }
    return 0;
}

TEST(SettingsCatalogue, EveryKeyOnceAndEveryDefaultReadsBackAsItself) {
    QSet<QString> keys;
    for (const Setting &s : SettingsCatalogue::all()) {
        const QString id = QString::fromLatin1(s.section) + u'/' + QString::fromLatin1(s.key);
        EXPECT_FALSE(keys.contains(id)) << id.toStdString();
        keys.insert(id);
        // Reading a missing key gives the default: its stored text must convert to itself.
        Settings changed;
        SettingsCatalogue::setFromText(s, changed, SettingsCatalogue::defaultText(s));
        EXPECT_EQ(SettingsCatalogue::storedText(s, changed), SettingsCatalogue::defaultText(s))
            << id.toStdString();
    }
    EXPECT_EQ(keys.size(), 41);
    EXPECT_TRUE(keys.contains("History/History_Count"));
    EXPECT_TRUE(keys.contains("Chart/3D_Effects"));
    EXPECT_TRUE(keys.contains("Scan/Size_Basis"));
    EXPECT_EQ(SettingsCatalogue::defaultText(SettingsCatalogue::of(&Settings::Size_Basis)), "0");
    EXPECT_TRUE(keys.contains("Main/Col5Width"));
    EXPECT_EQ(SettingsCatalogue::defaultText(SettingsCatalogue::of(&Settings::Object_Size_Format)),
              "#,##0.##");
    EXPECT_EQ(SettingsCatalogue::defaultText(SettingsCatalogue::of(&Settings::Root_Font_Color)),
              "16711680");
    EXPECT_EQ(SettingsCatalogue::defaultText(SettingsCatalogue::of(&Settings::chMain_Left)),
              "5400");
}

TEST(SettingsCatalogue, ResetAllToDefaultsUndoesEveryChange) {
    Settings s;
    s.Match_Parameters = "*.mp3";
    s.Recurse_Subfolders = false;
    s.Object_Size = 3;
    s.Root_Font_Color = 1;
    s.Other_Label = "Rest";
    s.ColWidth[3] = 1;
    s.fgTree_Width = 1;
    s.Opacity = "50";
    s.Sort = 201;
    SettingsCatalogue::resetAllToDefaults(s);
    const Settings fresh;
    for (const Setting &setting : SettingsCatalogue::all())
        EXPECT_EQ(SettingsCatalogue::storedText(setting, s),
                  SettingsCatalogue::storedText(setting, fresh))
            << setting.key;
}

TEST(SettingsCatalogue, RepairAppliesTheRangeRulesOnly) {
    Settings s;
    s.Match_Parameters = QStringLiteral("  ");
    s.Redraw_Scan_Progress = 3;
    s.Size_Basis = 2;
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
    SettingsCatalogue::repair(s);
    EXPECT_EQ(s.Match_Parameters, "*.*");
    EXPECT_EQ(s.Redraw_Scan_Progress, 0);
    EXPECT_EQ(s.Size_Basis, 0);
    EXPECT_EQ(s.Object_Size, 0); // bytes, not the default unit
    EXPECT_EQ(s.Object_Size_Format, "0.00");
    EXPECT_EQ(s.Chart_Type, 0);
    EXPECT_EQ(s.Other_Label, "Other");
    EXPECT_EQ(s.fgTree_Width, 5500);
    EXPECT_EQ(s.chMain_Width, 5775);
    EXPECT_EQ(s.chMain_Left, -300);
    EXPECT_EQ(s.Root_Font_Color, 0xFFFFFFFFu);
    EXPECT_EQ(s.ColWidth[2], Settings::DefaultColWidths[2]); // widths outside 0 to 144000
    EXPECT_EQ(s.Start_Path_Number, 1);
    EXPECT_EQ(s.Start_Path_Items, (QStringList{"/a", "/b"}));
    EXPECT_EQ(s.Match_Parameter_Items, QStringList{"*.*"});

    Settings kept;
    kept.Redraw_Scan_Progress = 2;
    kept.Size_Basis = 1;
    kept.Object_Size = 3;
    kept.Chart_Type = 1;
    kept.Start_Path_Number = 20;
    kept.Match_Parameter_Number = 16;
    for (int i = 0; i < 20; ++i)
        kept.Start_Path_Items.append(QString::number(i));
    SettingsCatalogue::repair(kept);
    EXPECT_EQ(kept.Redraw_Scan_Progress, 2);
    EXPECT_EQ(kept.Size_Basis, 1);
    EXPECT_EQ(kept.Object_Size, 3);
    EXPECT_EQ(kept.Chart_Type, 1);
    EXPECT_EQ(kept.Start_Path_Number, 15);
    EXPECT_EQ(kept.Start_Path_Items.size(), 15);
    EXPECT_EQ(kept.Match_Parameter_Number, 15);
}

TEST(SettingsCatalogue, SortValuesAndUnitsMapAsStored) {
    const std::pair<int, int> sorts[] = {{100, 0}, {101, 1}, {200, 3}, {201, 4}, {300, 6},
                                         {301, 7}, {-1, 9},  {999, 9}, {0, 9}};
    for (auto [value, index] : sorts)
        EXPECT_EQ(SortChoice::indexOfStored(value), index) << value;
    EXPECT_EQ(Settings::sizeFactorOf(7), 1);
    EXPECT_EQ(Settings::sizeUnitOf(-1), "B");
    EXPECT_EQ(Settings::sizeFactorOf(3), 1073741824);
}

TEST_F(CatalogueFixture, LoadReadsDefaultsForMissingKeysAndAppliesTheRules) {
    writeRaw("[Scan]\nMatch_Parameters=  \nRedraw_Scan_Progress=2abc\n"
             "[Appearance]\nObject_Size=9\nRoot_Font_Color=255\n"
             "[Main]\nCol1Width=1234.6\nfgTree_Width=-3\nchMain_Left=77\nOpacity= 80 \n");
    Settings s;
    std::vector<QString> order;
    SettingsCatalogue::load(s, path, [&](const Setting &setting) { order.push_back(setting.key); });
    EXPECT_EQ(s.Match_Parameters, "*.*");
    EXPECT_EQ(s.Redraw_Scan_Progress, 2); // the leading number
    EXPECT_EQ(s.Object_Size, 0);
    EXPECT_EQ(s.Root_Font_Color, 255u);
    EXPECT_EQ(s.ColWidth[1], 1235);
    EXPECT_EQ(s.ColWidth[0], Settings::DefaultColWidths[0]);
    EXPECT_EQ(s.fgTree_Width, 5500);
    EXPECT_EQ(s.chMain_Left, 77);
    EXPECT_EQ(s.Opacity, "80");
    EXPECT_TRUE(s.Disp_Chart);
    // The window's view settings first, then the file's sections in order.
    ASSERT_EQ(order.size(), SettingsCatalogue::all().size());
    EXPECT_EQ(order[0], "Disp_Chart");
    EXPECT_EQ(order[3], "Sort");
    EXPECT_EQ(order[4], "Match_Parameters");
    EXPECT_EQ(order.back(), "chMain_Left");
}

TEST_F(CatalogueFixture, AnErrorEndsTheLoadAndKeepsWhatWasReadBeforeIt) {
    writeRaw("[Main]\nDisp_Chart=0\nSort=abc\n[Scan]\nRecurse_Subfolders=0\n");
    Settings s;
    int told = 0;
    EXPECT_EQ(
        errorNumber([&] { SettingsCatalogue::load(s, path, [&](const Setting &) { ++told; }); }),
        AppError::TypeMismatch);
    EXPECT_FALSE(s.Disp_Chart);
    EXPECT_TRUE(s.Recurse_Subfolders); // never reached
    EXPECT_EQ(told, 3);                // Disp_Chart, OnTop, Opacity

    writeRaw("[Chart]\nChart_Type=40000\n");
    EXPECT_EQ(errorNumber([&] { SettingsCatalogue::load(s, path); }), AppError::Overflow);
}

TEST_F(CatalogueFixture, SaveThenLoadGivesTheSameSettings) {
    Settings s;
    s.Match_Parameters = "*.mp3;*.ogg";
    s.Clear_Nodes_B4_Scan = true;
    s.Object_Size = 1;
    s.HighLight_Fill_Color = 0x80000005; // a system colour keeps its bit pattern
    s.ThreeD_Effects = true;
    s.Other_Label = "  Rest  ";
    s.ColWidth[4] = 0;
    s.chMain_Left = 5400.5f;
    s.Sort = 301;
    s.Opacity = "70";
    SettingsCatalogue::save(s, path, [](const Setting &setting) {
        return setting.holds(&Settings::OnTop); // left out
    });
    EXPECT_EQ(read("Chart", "Other_Label"), "Rest");
    EXPECT_EQ(read("Chart", "3D_Effects"), "1");
    EXPECT_EQ(read("Main", "chMain_Left"), "5400.5");
    EXPECT_EQ(read("Main", "OnTop"), "<none>");

    Settings back;
    back.Other_Label = "x";
    writeRaw([&] {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return f.readAll().replace("chMain_Left=5400.5", "chMain_Left=5400");
    }()); // the edge is read as a whole number
    SettingsCatalogue::load(back, path);
    s.Other_Label = "Rest";
    s.chMain_Left = 5400;
    for (const Setting &setting : SettingsCatalogue::all())
        EXPECT_EQ(SettingsCatalogue::storedText(setting, back),
                  SettingsCatalogue::storedText(setting, s))
            << setting.key;
}

TEST_F(CatalogueFixture, StartPathsAreHeldToFifteenAndBlanksAreSkipped) {
    Settings s;
    for (int i = 0; i < 18; ++i)
        s.Start_Path_Items.append(QStringLiteral(" /p/%1 ").arg(i));
    s.Start_Path_Items[2] = "   ";
    s.Start_Path_Current = " /cur ";
    SettingsCatalogue::saveStartPaths(s, path);
    EXPECT_EQ(read("Start_Path_Items", "Number"), "15");
    EXPECT_EQ(read("Start_Path_Items", "Current"), "/cur");
    EXPECT_EQ(read("Start_Path_Items", "0"), "/p/0");
    EXPECT_EQ(read("Start_Path_Items", "2"), "<none>"); // an empty value deletes its key
    EXPECT_EQ(read("Start_Path_Items", "15"), "<none>");

    Settings back;
    SettingsCatalogue::loadStartPaths(back, path, "/root/");
    EXPECT_EQ(back.Start_Path_Number, 15);
    EXPECT_EQ(back.Start_Path_Current, "/cur");
    EXPECT_EQ(back.Start_Path_Items.size(), 14);
    EXPECT_EQ(back.Start_Path_Items.front(), "/p/0");

    writeRaw("[Start_Path_Items]\nNumber=-4\n0=/a/\n1=/b/\n2=/c/\n");
    SettingsCatalogue::loadStartPaths(back, path, "/root/");
    EXPECT_EQ(back.Start_Path_Current, "/root/");
    EXPECT_EQ(back.Start_Path_Items, (QStringList{"/a/", "/b/"})); // keys 0 to Number
}

TEST_F(CatalogueFixture, MatchSpecListIsReadAsTheOptionsDialogKeepsIt) {
    Settings s;
    auto load = [&](const QByteArray &section) {
        writeRaw("[Scan]\r\nMatch_Parameters=*.keep\r\n" + section);
        SettingsCatalogue::loadMatchSpecs(s, path);
        return s.Match_Parameter_Items;
    };
    // No list, a count of 0 or less, or a count that is no number: the single item "*.*".
    EXPECT_EQ(load(""), QStringList{"*.*"});
    EXPECT_EQ(load("[Match_Parameter_Items]\r\nNumber=0\r\n0=*.a\r\n"), QStringList{"*.*"});
    EXPECT_EQ(load("[Match_Parameter_Items]\r\nNumber=-2\r\n0=*.a\r\n"), QStringList{"*.*"});
    EXPECT_EQ(load("[Match_Parameter_Items]\r\nNumber=many\r\n0=*.a\r\n"), QStringList{"*.*"});
    // Keys "0" up to and including the count, trimmed, blanks skipped; the count read leniently.
    EXPECT_EQ(load("[Match_Parameter_Items]\r\nNumber=2 specs\r\n0= *.a \r\n1=  \r\n"
                   "2=*.c\r\n3=*.d\r\n"),
              (QStringList{"*.a", "*.c"}));
    // A hand-made count above 15 reads 15, and never more than 15 items come in.
    QByteArray many = "[Match_Parameter_Items]\r\nNumber=40\r\n";
    for (int i = 0; i < 40; ++i)
        many += QByteArray::number(i) + "=*.x" + QByteArray::number(i) + "\r\n";
    const QStringList fifteen = load(many);
    ASSERT_EQ(fifteen.size(), 15);
    EXPECT_EQ(fifteen.front(), "*.x0");
    EXPECT_EQ(fifteen.back(), "*.x14");
    EXPECT_EQ(s.Match_Parameter_Number, 15);

    // Saving replaces the whole section and leaves every other line alone.
    SettingsCatalogue::saveMatchSpecs(QStringList{" *.new ", "*.a"} + fifteen, path);
    EXPECT_EQ(read("Match_Parameter_Items", "Number"), "15");
    EXPECT_EQ(read("Match_Parameter_Items", "0"), "*.new");
    EXPECT_EQ(read("Match_Parameter_Items", "14"), "*.x12");
    EXPECT_EQ(read("Match_Parameter_Items", "15"), "<none>");
    EXPECT_EQ(read("Match_Parameter_Items", "39"), "<none>");
    EXPECT_EQ(read("Scan", "Match_Parameters"), "*.keep");
    SettingsCatalogue::saveMatchSpecs({}, path);
    EXPECT_EQ(read("Match_Parameter_Items", "Number"), "0");
    EXPECT_EQ(load(raw().mid(raw().indexOf("[Match"))), QStringList{"*.*"});
}

} // namespace
