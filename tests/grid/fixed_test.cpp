#include "AppError.h"
#include "Fixed.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr FixedRaw MaxRaw = Fixed::MaxRaw; // 10^24 - 1
constexpr FixedRaw MinRaw = -Fixed::MaxRaw;
constexpr qint64 Max64 = std::numeric_limits<qint64>::max();

std::optional<FixedRaw> raw(const char *text, QChar decimal = u'.') {
    auto f = Fixed::parse(QString::fromUtf8(text), decimal);
    return f ? std::optional<FixedRaw>(f->raw()) : std::nullopt;
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
    EXPECT_THROW(Fixed::fromInt(-MaxRaw / 10000 - 1), AppError);
    EXPECT_EQ(Fixed::fromInt(MaxRaw / 10000).raw(), MaxRaw / 10000 * 10000);
}

TEST(FixedPoint, ByteCountsStayExactFarBeyondSixtyFourBits) {
    // What 64-bit ten-thousandths held (922,337,203,685,477) and 2^63 - 1 bytes, and sums of it.
    const Fixed old64 = *Fixed::parse(u"922337203685477.5807", u'.');
    EXPECT_EQ((old64 + Fixed::fromRaw(1)).text(u'.'), "922337203685477.5808");
    const Fixed max64 = Fixed::fromInt(Max64);
    EXPECT_EQ(max64.text(u'.'), "9223372036854775807");
    EXPECT_EQ((max64 + max64).text(u'.'), "18446744073709551614");
    EXPECT_EQ((max64 + max64 + Fixed::fromInt(2)).whole(), FixedRaw(1) << 64);
    EXPECT_EQ((max64 - max64 - max64).text(u','), "-9223372036854775807");
    EXPECT_EQ(*Fixed::parse(u"18446744073709551614", u'.'), max64 + max64);
    EXPECT_EQ(Fixed::fromRaw(MaxRaw).text(u'.'), "99999999999999999999.9999");
    EXPECT_EQ(Fixed::fromRaw(MinRaw).text(u','), "-99999999999999999999,9999");
    EXPECT_DOUBLE_EQ(max64.toDouble(), 9223372036854775807.0);
    EXPECT_EQ(Fixed::fromDouble(9.2233720368547758e18).whole(), FixedRaw(1) << 63);
    EXPECT_EQ(Fixed::fromDouble(99999999999999983616.0).text(u'.'), "99999999999999983616");
    EXPECT_EQ(Fixed::fromDouble(-1234567890123.5).text(u'.'), "-1234567890123.5");
    EXPECT_THROW(Fixed::fromDouble(1e20), AppError);
    // Eleven files of 2^63 - 1 bytes are beyond the range; ten are not.
    Fixed sum;
    for (int i = 0; i < 10; ++i)
        sum += max64;
    EXPECT_EQ(sum.text(u'.'), "92233720368547758070");
    EXPECT_THROW(sum + max64, AppError);
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
    EXPECT_EQ(Fixed::fromDouble(1e15).raw(), FixedRaw(1000000000000000000) * 10);
    EXPECT_THROW(Fixed::fromDouble(std::numeric_limits<double>::quiet_NaN()), AppError);
}

TEST(FixedPoint, TextHasNoGroupingNoTrailingZerosAndTheGivenSeparator) {
    EXPECT_EQ(Fixed().text(u'.'), "0");
    EXPECT_EQ(Fixed::fromInt(1024).text(u'.'), "1024");
    EXPECT_EQ(Fixed::fromRaw(125000).text(u'.'), "12.5");
    EXPECT_EQ(Fixed::fromRaw(125000).text(u','), "12,5");
    EXPECT_EQ(Fixed::fromRaw(-1).text(u'.'), "-0.0001");
    EXPECT_EQ(Fixed::fromRaw(Max64).text(u'.'), "922337203685477.5807");
    EXPECT_EQ(Fixed::fromRaw(-Max64 - 1).text(u'.'), "-922337203685477.5808");
    for (FixedRaw v : {FixedRaw(0), FixedRaw(7), FixedRaw(-123456789), FixedRaw(10),
                       FixedRaw(Max64), MaxRaw, MinRaw, MaxRaw - 5000, FixedRaw(1) << 70}) {
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
    EXPECT_EQ(raw("922337203685477.5807"), Max64);
    EXPECT_EQ(raw("99999999999999999999.9999"), MaxRaw);
    EXPECT_EQ(raw("-99999999999999999999.9999"), MinRaw);
    EXPECT_EQ(raw("99999999999999999999.99994"), MaxRaw);
    EXPECT_THROW(raw("99999999999999999999.99995"), AppError); // rounds to one past the end
    EXPECT_THROW(raw("-100000000000000000000"), AppError);
    EXPECT_THROW(raw("1e20"), AppError);
    EXPECT_EQ(raw("9.999e19"), FixedRaw(9999) * FixedRaw(1000000000000000000) * 100);
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

} // namespace
