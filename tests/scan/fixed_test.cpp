#include "AppError.h"
#include "Fixed.h"
#include "Settings.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr qint64 MaxRaw = std::numeric_limits<qint64>::max();
constexpr qint64 MinRaw = std::numeric_limits<qint64>::min();

std::optional<qint64> raw(const char *text, QChar decimal = u'.') {
    auto f = Fixed::parse(QString::fromUtf8(text), decimal);
    return f ? std::optional<qint64>(f->raw()) : std::nullopt;
}

TEST(FixedPoint, AdditionIsExactAndOverflowIsAnError) {
    Fixed tenth = *Fixed::parse(u"0.1", u'.');
    Fixed sum;
    for (int i = 0; i < 10; ++i)
        sum += tenth;
    EXPECT_EQ(sum, Fixed::fromInt(1)); // where doubles would drift
    EXPECT_EQ((Fixed::fromInt(5) - Fixed::fromRaw(1)).text(u'.'), "4.9999");
    EXPECT_EQ(Fixed::fromRaw(MaxRaw - 1) + Fixed::fromRaw(1), Fixed::fromRaw(MaxRaw));
    try {
        Fixed::fromRaw(MaxRaw) + Fixed::fromRaw(1);
        FAIL();
    } catch (const AppError &e) {
        EXPECT_EQ(e.number(), 6);
    }
    EXPECT_THROW(Fixed::fromRaw(MinRaw) - Fixed::fromRaw(1), AppError);
    EXPECT_THROW(Fixed::fromInt(MaxRaw / 10000 + 1), AppError);
    EXPECT_EQ(Fixed::fromInt(MaxRaw / 10000).raw(), MaxRaw / 10000 * 10000);
}

TEST(FixedPoint, DoublesRoundHalfToEvenAtFourDecimals) {
    EXPECT_EQ(Fixed::fromDouble(0.00025).raw(), 2); // 2.5 -> 2
    EXPECT_EQ(Fixed::fromDouble(0.00035).raw(), 4); // 3.5 -> 4
    EXPECT_EQ(Fixed::fromDouble(0.00045).raw(), 4); // 4.5 -> 4
    EXPECT_EQ(Fixed::fromDouble(-0.00025).raw(), -2);
    EXPECT_EQ(Fixed::fromDouble(5e-05).raw(), 0);
    EXPECT_EQ(Fixed::fromDouble(1.00005).raw(), 10001); // the product lies just above the half
    EXPECT_EQ(Fixed::fromDouble(3.14159265).raw(), 31416);
    EXPECT_EQ(Fixed::fromDouble(-7).raw(), -70000);
    EXPECT_EQ(Fixed::fromDouble(1e14).raw(), 1000000000000000000);
    EXPECT_THROW(Fixed::fromDouble(1e15), AppError);
    EXPECT_THROW(Fixed::fromDouble(std::numeric_limits<double>::quiet_NaN()), AppError);
}

TEST(FixedPoint, TextHasNoGroupingNoTrailingZerosAndTheGivenSeparator) {
    EXPECT_EQ(Fixed().text(u'.'), "0");
    EXPECT_EQ(Fixed::fromInt(1024).text(u'.'), "1024");
    EXPECT_EQ(Fixed::fromRaw(125000).text(u'.'), "12.5");
    EXPECT_EQ(Fixed::fromRaw(125000).text(u','), "12,5");
    EXPECT_EQ(Fixed::fromRaw(-1).text(u'.'), "-0.0001");
    EXPECT_EQ(Fixed::fromRaw(MaxRaw).text(u'.'), "922337203685477.5807");
    EXPECT_EQ(Fixed::fromRaw(MinRaw).text(u'.'), "-922337203685477.5808");
    for (qint64 v : {qint64(0), qint64(7), qint64(-123456789), qint64(10), MaxRaw, MinRaw}) {
        QString appended = QStringLiteral("x");
        Fixed::fromRaw(v).appendText(appended, u',');
        EXPECT_EQ(appended, u'x' + Fixed::fromRaw(v).text(u','));
        EXPECT_EQ(Fixed::parse(Fixed::fromRaw(v).text(u','), u',')->raw(), v);
    }
}

TEST(FixedPoint, ParsingReadsDecimalTextAndRoundsItExactly) {
    EXPECT_EQ(raw("12.5"), 125000);
    EXPECT_EQ(raw("12,5", u','), 125000);
    EXPECT_EQ(raw("12,5"), std::nullopt); // not this grid's separator
    EXPECT_EQ(raw(" -3 "), -30000);
    EXPECT_EQ(raw("+3"), 30000);
    EXPECT_EQ(raw(".5"), 5000);
    EXPECT_EQ(raw("007.50"), 75000);
    EXPECT_EQ(raw("-0"), 0);
    EXPECT_EQ(raw("0.00005"), 0);     // half, even below
    EXPECT_EQ(raw("0.00015"), 2);     // half, odd below
    EXPECT_EQ(raw("0.000050001"), 1); // above half
    EXPECT_EQ(raw("-0.00025"), -2);
    EXPECT_EQ(raw("0.0000095367431640625"), 0);
    EXPECT_EQ(raw("0.000057220458984375"), 1);
    EXPECT_EQ(raw("9.5367431640625E-06"), 0);
    EXPECT_EQ(raw("1.5e3"), 15000000);
    EXPECT_EQ(raw("922337203685477.5807"), MaxRaw);
    EXPECT_EQ(raw("-922337203685477.5808"), MinRaw);
    EXPECT_EQ(raw("922337203685477.58074"), MaxRaw);
    EXPECT_THROW(raw("922337203685477.58075"), AppError); // rounds to one past the end
    EXPECT_THROW(raw("1e20"), AppError);
    // Digits beyond what can matter still count for rounding and scale.
    EXPECT_EQ(raw("0.000050000000000000000000000000001"), 1);
    EXPECT_EQ(raw("0.000150000000000000000000000000000"), 2);
    EXPECT_EQ(raw("12345.000000000000000000000000000000000004999"), 123450000);
    EXPECT_THROW(raw("1000000000000000000000000000.5"), AppError);
    EXPECT_EQ(raw("000000000000000000000000000000000000001.5"), 15000);
    for (const char *bad : {"", " ", "abc", "1.2.3", "12a", "-", ".", "1e", "1,5"})
        EXPECT_EQ(raw(bad), std::nullopt) << bad;
}

TEST(FixedPoint, DoublesAreWrittenWithFifteenSignificantDigitsWithoutExponent) {
    EXPECT_EQ(Fixed::textOfDouble(0, u'.'), "0");
    EXPECT_EQ(Fixed::textOfDouble(10.0 / 1048576, u'.'), "0.0000095367431640625");
    EXPECT_EQ(Fixed::textOfDouble(1.0 / 3, u'.'), "0.333333333333333");
    EXPECT_EQ(Fixed::textOfDouble(2.0 / 3, u','), "0,666666666666667");
    EXPECT_EQ(Fixed::textOfDouble(3.5, u'.'), "3.5");
    EXPECT_EQ(Fixed::textOfDouble(-1536, u'.'), "-1536");
    EXPECT_EQ(Fixed::textOfDouble(1234567890123456.0, u'.'), "1234567890123460");
    EXPECT_EQ(Fixed::textOfDouble(1e20, u'.'), "100000000000000000000");
    EXPECT_EQ(Fixed::textOfDouble(0.1 + 0.2, u'.'), "0.3");
}

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
