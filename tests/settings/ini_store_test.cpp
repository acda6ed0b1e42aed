#include "AppError.h"
#include "FormPosition.h"
#include "IniValue.h"
#include "TempIniFile.h"
#include "basInitEntry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace basInitEntry;

namespace {

using IniFixture = TempIniFile;

int errorNumber(const std::function<void()> &f) {
    try {
        f();
    } catch (const AppError &e) {
        return e.number();
    }
    return 0;
}

} // namespace

TEST_F(IniFixture, MissingFileSectionOrKeyGivesTheDefaultAndEmptyValuesReadEmpty) {
    EXPECT_EQ(ReadIniEntry("Scan", "Match_Spec", "*.*", path), "*.*");
    EXPECT_FALSE(QFile::exists(path)); // reading never creates the file
    writeRaw("[Scan]\r\nMatch_Spec=\r\nOther=5\r\n");
    EXPECT_EQ(ReadIniEntry("Scan", "Match_Spec", "*.*", path), ""); // present, empty
    EXPECT_EQ(ReadIniEntry("Scan", "Missing", "d", path), "d");
    EXPECT_EQ(ReadIniEntry("Chart", "Other", "d", path), "d");
    EXPECT_EQ(ReadIniEntry("scan", "OTHER", "d", path), "5"); // names ignore case
}

TEST_F(IniFixture, WritesPlaceNewSectionsAndKeysAndKeepEverythingElse) {
    writeRaw("; settings of Cairnmeter\n[Scan]\nRecurse_Subfolders=1\nUnknown=keep me\n\n"
             "[Main]\nSort=-1\n");
    WriteIniEntry("Scan", "Match_Spec", "*.mp3;*.mp2", path);
    WriteIniEntry("MAIN", "sort", "201", path);
    WriteIniEntry("Positions", "frmMain", "1200,900,12000,8000,0", path);
    // New lines end like the file's own (LF here); a new file gets CR LF.
    EXPECT_EQ(raw(), QByteArray("; settings of Cairnmeter\n[Scan]\nRecurse_Subfolders=1\n"
                                "Unknown=keep me\nMatch_Spec=*.mp3;*.mp2\n\n[Main]\n"
                                "sort=201\n[Positions]\nfrmMain=1200,900,12000,8000,0\n"));
    EXPECT_EQ(ReadIniEntry("Main", "Sort", "", path), "201");
}

TEST_F(IniFixture, EmptyValueDeletesTheKeyAndEmptyKeyTheSection) {
    WriteIniEntry("Start_Path_Items", "Number", "2", path);
    WriteIniEntry("Start_Path_Items", "0", "/home/", path);
    WriteIniEntry("Start_Path_Items", "1", "/usr/", path);
    WriteIniEntry("Appearance", "Object_Size_Format", "#,##0", path);
    WriteIniEntry("Appearance", "Object_Size_Format", "", path);
    EXPECT_EQ(ReadIniEntry("Appearance", "Object_Size_Format", "#,##0.##", path), "#,##0.##");
    WriteIniEntry("Start_Path_Items", "", "", path);
    EXPECT_EQ(ReadIniEntry("Start_Path_Items", "0", "none", path), "none");
    EXPECT_EQ(raw(), QByteArray("[Appearance]\r\n"));
    EXPECT_EQ(WriteIniEntry("Nowhere", "", "", path), 1); // nothing to delete is no failure
}

TEST_F(IniFixture, DeletingAKeyOrSectionWrittenTwiceByHandLeavesNoOlderCopyToBeRead) {
    writeRaw("[Appearance]\nObject_Size_Format=#,##0\nobject_size_format = 0.00\n[Main]\nSort=1\n"
             "[appearance]\nObject_Size=3\n[Start_Path_Items]\n0=/a/\n[Start_Path_Items]\n0=/b/\n");
    WriteIniEntry("Appearance", "Object_Size_Format", "", path);
    EXPECT_EQ(ReadIniEntry("Appearance", "Object_Size_Format", "none", path), "none");
    WriteIniEntry("Start_Path_Items", "", "", path);
    EXPECT_EQ(ReadIniEntry("Start_Path_Items", "0", "none", path), "none");
    EXPECT_EQ(raw(), QByteArray("[Appearance]\n[Main]\nSort=1\n[appearance]\nObject_Size=3\n"));
}

TEST_F(IniFixture, ValuesAreSingleLinesCutAt2047Characters) {
    WriteIniEntry("Scan", "Long", QString(3000, 'x'), path);
    EXPECT_EQ(ReadIniEntry("Scan", "Long", "", path).size(), 2047);
    WriteIniEntry("Scan", "Lines", "a\nb=c\r\n[Evil]", path);
    EXPECT_EQ(ReadIniEntry("Scan", "Lines", "", path), "a b=c  [Evil]");
    EXPECT_EQ(ReadIniEntry("Evil", "x", "no section", path), "no section");
    WriteIniEntry("Scan", "Name", "Ünïcødé ✓", path);
    EXPECT_EQ(ReadIniEntry("Scan", "Name", "", path), "Ünïcødé ✓");
}

TEST_F(IniFixture, FailedWritesReportFailureAndLeaveNoDebris) {
    WriteIniEntry("Main", "Sort", "100", path);
    const QByteArray before = raw();
    // A folder cannot be replaced by the temporary file's rename, nor can it be written.
    const QString blocked = dir.filePath("blocked.ini");
    QDir().mkpath(blocked);
    EXPECT_EQ(WriteIniEntry("Main", "Sort", "200", blocked), 0);
    // The file's folder vanishing makes the write fail and changes nothing else.
    EXPECT_EQ(WriteIniEntry("Main", "Sort", "200", dir.filePath("gone/x.ini")), 0);
    EXPECT_EQ(raw(), before);
    EXPECT_TRUE(QDir(dir.path()).entryList({"*.ini.*", "*~"}, QDir::Files).isEmpty());
}

TEST(IniValueTest, LenientValueReadsTheLongestLeadingNumber) {
    EXPECT_EQ(IniValue::Val(u"  12abc"), 12);
    EXPECT_EQ(IniValue::Val(u"-3.5e2x"), -350);
    EXPECT_EQ(IniValue::Val(u"1e"), 1);
    EXPECT_EQ(IniValue::Val(u".5"), 0.5);
    EXPECT_EQ(IniValue::Val(u"abc"), 0);
    EXPECT_EQ(IniValue::Val(u""), 0);
    EXPECT_EQ(IniValue::Val(u"-"), 0);
}

TEST(IniValueTest, StrictConversionsRaiseTypeMismatchAndOverflow) {
    EXPECT_EQ(IniValue::ToInt16(" 201 "), 201);
    EXPECT_EQ(IniValue::ToInt16("2.5"), 2); // half to even
    EXPECT_EQ(IniValue::ToInt16("3.5"), 4);
    EXPECT_EQ(errorNumber([] { IniValue::ToInt16("yes"); }), 13);
    EXPECT_EQ(errorNumber([] { IniValue::ToInt16(""); }), 13);
    EXPECT_EQ(errorNumber([] { IniValue::ToInt16("12abc"); }), 13);
    EXPECT_EQ(errorNumber([] { IniValue::ToInt16("40000"); }), 6);
    EXPECT_EQ(IniValue::ToInt32("40000"), 40000);
    EXPECT_EQ(errorNumber([] { IniValue::ToInt32("3000000000"); }), 6);
    EXPECT_TRUE(basInitEntry::IniValueToBool("-1"));
    EXPECT_FALSE(basInitEntry::IniValueToBool("0"));
    EXPECT_EQ(errorNumber([] { basInitEntry::IniValueToBool("yes"); }), 13);
    try {
        IniValue::ToBool("");
        FAIL();
    } catch (const AppError &e) {
        EXPECT_EQ(e.description(), "Type mismatch");
    }
    EXPECT_EQ(IniValue::ToColor("16711680"), 0xff0000u);
    EXPECT_EQ(IniValue::ToColor("-2147483633"), 0x8000000fu); // a system colour, signed
    EXPECT_EQ(IniValue::ToColor("2147483663"), 0x8000000fu);  // the same, unsigned
    EXPECT_EQ(errorNumber([] { IniValue::ToColor("99999999999"); }), 6);
}

TEST(FormPositionTest, RecordsKeepTheNormalPlacementWhenMaximizedOrMinimized) {
    using namespace FormPosition;
    const Placement normal{1200, 900, 12000, 8000, false};
    EXPECT_EQ(recordFor(WindowState::Normal, normal, ""), "1200,900,12000,8000,0");
    EXPECT_EQ(recordFor(WindowState::Maximized, normal, "10,20,3000,4000,0"), "10,20,3000,4000,1");
    EXPECT_EQ(recordFor(WindowState::Minimized, normal, "10,20,3000,4000,1"), "10,20,3000,4000,0");
    EXPECT_EQ(recordFor(WindowState::Maximized, normal, ""), "-1,-1,-1,-1,1");
    EXPECT_EQ(recordFor(WindowState::Minimized, normal, "1,2"), "1,2,,,0");
}

TEST(FormPositionTest, PlacementIsClampedOntoTheScreen) {
    using namespace FormPosition;
    const Placement present{0, 0, 9000, 6000, false};
    // Maximised with unknown fields: design size, top-left corner, maximised.
    Placement p = placementFrom("-1,-1,-1,-1,1", 19200, 12000, present);
    EXPECT_EQ(p.left, 0);
    EXPECT_EQ(p.top, 0);
    EXPECT_EQ(p.width, 9000);
    EXPECT_TRUE(p.maximized);
    // Wider than the screen: cut to it and pushed left.
    p = placementFrom("5000,100,30000,6000,0", 19200, 12000, present);
    EXPECT_EQ(p.width, 19200);
    EXPECT_EQ(p.left, 0);
    // 149 twips or less is ignored; 150 is kept.
    EXPECT_EQ(placementFrom("0,0,149,150,0", 19200, 12000, present).width, 9000);
    EXPECT_EQ(placementFrom("0,0,149,150,0", 19200, 12000, present).height, 150);
    // Off the right edge: pushed back on.
    p = placementFrom("18000,11000,3000,2000,0", 19200, 12000, present);
    EXPECT_EQ(p.left, 16200);
    EXPECT_EQ(p.top, 10000);
    // No record: centred at the present size.
    p = placementFrom("", 19200, 12000, present);
    EXPECT_EQ(p.left, 5100);
    EXPECT_EQ(p.top, 3000);
    EXPECT_EQ(errorNumber([&] { placementFrom("1,2,3000,4000,x", 19200, 12000, present); }), 13);
}
