#include "NumberFormat.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <cmath>
#include <limits>
#include <random>

namespace {

const QLocale english(QLocale::English, QLocale::UnitedStates);
const QLocale german(QLocale::German, QLocale::Germany);

NumberFormat en(const QString &picture) {
    return NumberFormat(picture, english);
}

// Ten-thousandths as the program's fixed-point cells hold them, written independently of the
// formatter: "-12.5" style, C decimal point, no trailing zeros.
QString fixedText(qint64 v) {
    const qint64 a = v < 0 ? -v : v;
    QString s = (v < 0 ? QStringLiteral("-") : QString()) + QString::number(a / 10000);
    QString frac = QStringLiteral("%1").arg(a % 10000, 4, 10, QLatin1Char('0'));
    while (frac.endsWith(u'0'))
        frac.chop(1);
    return frac.isEmpty() ? s : s + u'.' + frac;
}

} // namespace

TEST(NumberFormat, DefaultSizePictureGroupsAndDropsTrailingDecimals) {
    const NumberFormat f = en("#,##0.##");
    EXPECT_EQ(f.formatFixed(12'345'000), "1,234.5");
    EXPECT_EQ(f.formatFixed(12'340'000), "1,234");
    EXPECT_EQ(f.formatFixed(40), "0");    // 0.004
    EXPECT_EQ(f.formatFixed(50), "0.01"); // 0.005 rounds up
    EXPECT_EQ(f.formatFixed(0), "0");
    EXPECT_EQ(f.formatFixed(9'990'000), "999");
    EXPECT_EQ(f.formatFixed(10'000'000), "1,000");
    EXPECT_EQ(f.formatFixed(12'345'678'912), "1,234,567.89");
    EXPECT_EQ(f.formatFixed(9'999'950), "1,000"); // 999.995 carries into a new group
    EXPECT_EQ(f.formatFixed(10'000'000'000), "1,000,000");
    EXPECT_EQ(f.formatDouble(1234.5), "1,234.5");
    EXPECT_EQ(f.formatDouble(-1234.5), "-1,234.5");
    EXPECT_EQ(f.formatDouble(0.1), "0.1");
}

TEST(NumberFormat, UsesTheLocaleSeparators) {
    const NumberFormat f("#,##0.##", german);
    EXPECT_EQ(f.formatFixed(12'345'000), "1.234,5");
    EXPECT_EQ(f.formatFixed(12'345'678'912), "1.234.567,89");
    EXPECT_EQ(f.formatDouble(0.5), "0,5");
    EXPECT_EQ(f.formatText(u"1234,5"), "1.234,5");
    EXPECT_EQ(f.formatText(u"1234.5"), "1.234,5"); // C form is read too
    EXPECT_EQ(NumberFormat({}, german).formatFixed(125'000), "12,5");
}

TEST(NumberFormat, ZeroAndHashDigitPlaces) {
    EXPECT_EQ(en("0000").formatFixed(420'000), "0042");
    EXPECT_EQ(en("00.00").formatDouble(1.5), "01.50");
    EXPECT_EQ(en("#,##0.00").formatFixed(0), "0.00");
    EXPECT_EQ(en("#,###").formatFixed(0), "");
    EXPECT_EQ(en("#,###").formatDouble(1234), "1,234");
    EXPECT_EQ(en("#,###.##").formatDouble(0.5), ".5");
    EXPECT_EQ(en("#").formatDouble(0.2), "");
    EXPECT_EQ(en("0.0#").formatDouble(1), "1.0");
    EXPECT_EQ(en("0.0#").formatDouble(1.25), "1.25");
    EXPECT_EQ(en("0.0#").formatDouble(1.255), "1.26");
    // A picture without integer places still shows the integer digits.
    EXPECT_EQ(en(".00").formatDouble(12.5), "12.50");
    EXPECT_EQ(en(".00").formatDouble(0.5), ".50");
    // Literals between digit places keep their place; extra digits go to the first place.
    EXPECT_EQ(en("000-0000").formatDouble(1234567), "123-4567");
    EXPECT_EQ(en("000-0000").formatDouble(12345678), "1234-5678");
    EXPECT_EQ(en("000-0000").formatDouble(42), "000-0042");
}

TEST(NumberFormat, RoundsHalfAwayFromZeroOnTheExactDecimal) {
    const NumberFormat f = en("0.00");
    EXPECT_EQ(f.formatFixed(26'750), "2.68");
    EXPECT_EQ(f.formatFixed(-26'750), "-2.68");
    EXPECT_EQ(f.formatFixed(26'749), "2.67");
    EXPECT_EQ(f.formatDouble(2.675), "2.68"); // the double itself lies just below 2.675
    EXPECT_EQ(f.formatDouble(-2.675), "-2.68");
    EXPECT_EQ(f.formatDouble(1.005), "1.01");
    EXPECT_EQ(f.formatDouble(0.125), "0.13");
    EXPECT_EQ(f.formatDouble(2.6749999), "2.67");
    EXPECT_EQ(f.formatDouble(9.995), "10.00");
    EXPECT_EQ(en("#,##0.00").formatDouble(999999.995), "1,000,000.00");
    const NumberFormat whole = en("0");
    EXPECT_EQ(whole.formatDouble(0.5), "1");
    EXPECT_EQ(whole.formatDouble(1.5), "2");
    EXPECT_EQ(whole.formatDouble(2.5), "3"); // not banker's rounding
    EXPECT_EQ(whole.formatDouble(-0.5), "-1");
    EXPECT_EQ(whole.formatDouble(0.49999), "0");
}

TEST(NumberFormat, RoundingMatchesAnIntegerReference) {
    const NumberFormat f = en("0.00");
    std::mt19937_64 rng(7);
    for (int i = 0; i < 5000; ++i) {
        const qint64 v = static_cast<qint64>(rng() % 2'000'000'000'000LL) - 1'000'000'000'000LL;
        const qint64 hundredths = ((v < 0 ? -v : v) + 50) / 100;
        QString expected = QStringLiteral("%1.%2")
                               .arg(hundredths / 100)
                               .arg(hundredths % 100, 2, 10, QLatin1Char('0'));
        if (v < 0 && hundredths != 0)
            expected.prepend(u'-');
        ASSERT_EQ(f.formatFixed(v), expected) << v;
    }
}

TEST(NumberFormat, FixedDoubleAndTextAgree) {
    const QString pictures[] = {"#,##0.##", "0.00;(0.00);\"nil\"", "0%", "0.000", "#,##0,"};
    std::mt19937_64 rng(11);
    for (const QString &picture : pictures) {
        const NumberFormat f = en(picture);
        for (int i = 0; i < 2000; ++i) {
            qint64 magnitude = 1;
            for (int digits = static_cast<int>(rng() % 16); digits > 0; --digits)
                magnitude *= 10;
            qint64 v = static_cast<qint64>(rng() % static_cast<quint64>(magnitude));
            if (rng() & 1)
                v = -v;
            const QString fixed = f.formatFixed(v);
            ASSERT_EQ(f.formatText(fixedText(v)), fixed) << picture.toStdString() << " " << v;
            ASSERT_EQ(f.formatDouble(static_cast<double>(v) / 10000), fixed)
                << picture.toStdString() << " " << v;
        }
    }
}

TEST(NumberFormat, NegativeThatRoundsToZeroShowsAsZero) {
    EXPECT_EQ(en("0.00").formatFixed(-40), "0.00");
    EXPECT_EQ(en("0.00").formatDouble(-0.004), "0.00");
    EXPECT_EQ(en("0.00").formatDouble(-0.0), "0.00");
    EXPECT_EQ(en("#,##0.##").formatFixed(-40), "0");
    EXPECT_EQ(en("0%").formatDouble(-0.004), "0%");
    EXPECT_EQ(en("0.00;(0.00)").formatDouble(-0.004), "0.00");
    const NumberFormat withZero = en("0.00;(0.00);\"nil\"");
    EXPECT_EQ(withZero.formatDouble(-0.004), "nil");
    EXPECT_EQ(withZero.formatDouble(0.004), "nil");
    EXPECT_EQ(withZero.formatDouble(0), "nil");
    EXPECT_EQ(withZero.formatDouble(0.005), "0.01");
    EXPECT_EQ(en("#,##0.##").formatText(u"-0"), "0");
    EXPECT_EQ(en("0").formatText(u"-0.4"), "0");
}

TEST(NumberFormat, SectionsForNegativeAndZero) {
    const NumberFormat paren = en("0.00;(0.00)");
    EXPECT_EQ(paren.formatDouble(3.5), "3.50");
    EXPECT_EQ(paren.formatDouble(-3.5), "(3.50)");
    EXPECT_EQ(paren.formatDouble(0), "0.00");
    // The negative section rounds with its own decimals.
    EXPECT_EQ(en("0.00;-0").formatDouble(-2.5), "-3");
    EXPECT_EQ(en("#,##0\" up\";#,##0\" down\"").formatDouble(-1234), "1,234 down");
    // Empty negative section: the first with a minus; empty zero section: the first.
    const NumberFormat skipNeg = en("0.00;;\"zero\"");
    EXPECT_EQ(skipNeg.formatDouble(-3.5), "-3.50");
    EXPECT_EQ(skipNeg.formatDouble(0), "zero");
    EXPECT_EQ(en("0.0;(0.0);").formatDouble(0), "0.0");
    // Without a negative section the minus goes in front of everything.
    EXPECT_EQ(en("\"$\"#,##0.00").formatDouble(-1234.5), "-$1,234.50");
    // Quoted or escaped semicolons do not split.
    EXPECT_EQ(en("0\";\"").formatDouble(-5), "-5;");
    EXPECT_EQ(en("0\\;").formatDouble(5), "5;");
    // An empty first section shows the plain form.
    EXPECT_EQ(en(";(0)").formatDouble(1234.5), "1234.5");
    EXPECT_EQ(en(";(0)").formatDouble(-3), "(3)");
}

TEST(NumberFormat, PercentAndLiterals) {
    EXPECT_EQ(en("0.00%").formatDouble(0.1234), "12.34%");
    EXPECT_EQ(en("0%").formatDouble(0.005), "1%");
    EXPECT_EQ(en("#,##0.0%").formatDouble(12.3456), "1,234.6%");
    EXPECT_EQ(en("0\"%\"").formatDouble(12), "12%"); // quoted: no multiplication
    EXPECT_EQ(en("0\\%").formatDouble(12), "12%");
    EXPECT_EQ(en("\"$\"#,##0.00").formatDouble(1234.5), "$1,234.50");
    EXPECT_EQ(en("0\\ \\K\\B").formatDouble(12), "12 KB");
    EXPECT_EQ(en("0 \"#0%.,;\"").formatDouble(5), "5 #0%.,;");
    EXPECT_EQ(en("(0) MB").formatDouble(5), "(5) MB");
    // Malformed pictures still give something sensible.
    EXPECT_EQ(en("0\" kg").formatDouble(3), "3 kg");
    EXPECT_EQ(en("0\\").formatDouble(3), "3");
    EXPECT_EQ(en("\"none\"").formatDouble(3), "none");
}

TEST(NumberFormat, TrailingCommasScaleByThousands) {
    EXPECT_EQ(en("#,##0,").formatDouble(1234567), "1,235");
    EXPECT_EQ(en("0.0,,").formatDouble(1234567), "1.2");
    EXPECT_EQ(en("#,##0,\" K\"").formatDouble(999), "1 K");
    EXPECT_EQ(en("#,##0,.00").formatDouble(1234567), "1,234.57");
}

TEST(NumberFormat, LargeValuesFormatExactly) {
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    constexpr qint64 min = std::numeric_limits<qint64>::min();
    EXPECT_EQ(en("#,##0.####").formatFixed(max), "922,337,203,685,477.5807");
    EXPECT_EQ(en("#,##0.####").formatFixed(min), "-922,337,203,685,477.5808");
    EXPECT_EQ(en("#,##0").formatFixed(max), "922,337,203,685,478");
    EXPECT_EQ(en("#,##0").formatFixed(min), "-922,337,203,685,478");
    EXPECT_EQ(en("0.00").formatFixed(max), "922337203685477.58");
    EXPECT_EQ(en("#,##0.####").formatText(u"922337203685477.5807"), "922,337,203,685,477.5807");
    EXPECT_EQ(en("#,##0.####").formatText(u"-922337203685477.5808"), "-922,337,203,685,477.5808");
    EXPECT_EQ(en("#,##0").formatDouble(1e18), "1,000,000,000,000,000,000");
    EXPECT_EQ(en("0.00").formatDouble(1e18), "1000000000000000000.00");
    EXPECT_EQ(en("#,##0").formatDouble(18446744073709551616.0), "18,446,744,073,709,552,000");
    EXPECT_EQ(en("0").formatDouble(1e300), "1" + QString(300, u'0'));
    EXPECT_EQ(en("0.00").formatDouble(5e-324), "0.00");
    EXPECT_EQ(en("0.00").formatDouble(-std::numeric_limits<double>::max()).size(), 1 + 309 + 3);
}

TEST(NumberFormat, EmptyPictureShowsThePlainForm) {
    const NumberFormat f = en({});
    EXPECT_TRUE(f.isEmpty());
    EXPECT_EQ(f.formatFixed(125'000), "12.5");
    EXPECT_EQ(f.formatFixed(10'240'000), "1024"); // no grouping
    EXPECT_EQ(f.formatFixed(-5'000), "-0.5");
    EXPECT_EQ(f.formatFixed(1), "0.0001");
    EXPECT_EQ(f.formatFixed(0), "0");
    EXPECT_EQ(f.formatFixed(std::numeric_limits<qint64>::max()), "922337203685477.5807");
    EXPECT_EQ(f.formatDouble(0.1), "0.1");
    EXPECT_EQ(f.formatDouble(123456.789), "123456.789");
    EXPECT_EQ(f.formatDouble(1e18), "1000000000000000000");
    EXPECT_EQ(f.formatDouble(1e-7), "0.0000001");
    EXPECT_EQ(f.formatDouble(1e21), "1E+21");
    EXPECT_EQ(f.formatDouble(-1.5e-8), "-1.5E-8");
    EXPECT_EQ(f.formatText(u"0.50"), "0.5");
    EXPECT_EQ(en("General").formatDouble(1234.5), "1234.5");

    const QLocale saved;
    QLocale::setDefault(german);
    EXPECT_EQ(NumberFormat().formatFixed(125'000), "12,5");
    QLocale::setDefault(saved);
}

TEST(NumberFormat, FormatTextReadsNumbersOnly) {
    const NumberFormat f = en("#,##0.##");
    EXPECT_EQ(f.formatText(u"1234.5"), "1,234.5");
    EXPECT_EQ(f.formatText(u"-1234.5"), "-1,234.5");
    EXPECT_EQ(f.formatText(u"1e3"), "1,000");
    EXPECT_EQ(f.formatText(u"1.5E-2"), "0.02");
    EXPECT_EQ(f.formatText(u"2.5e+1"), "25");
    EXPECT_EQ(f.formatText(u".5"), "0.5");
    EXPECT_EQ(f.formatText(u"5."), "5");
    EXPECT_EQ(f.formatText(u"007"), "7");
    EXPECT_EQ(f.formatText(u"1e-999"), "0");
    for (const char16_t *text :
         {u"", u"abc", u"12abc", u"<Files in x>", u"-", u".", u"1e", u"1e+", u"1,234", u" 12",
          u"12 ", u"+5", u"1.2.3", u"--1", u"1e999", u"0x10", u"inf", u"nan"})
        EXPECT_EQ(f.formatText(text), QString::fromUtf16(text))
            << QString::fromUtf16(text).toStdString();
}

TEST(NumberFormat, FormatTextKeepsDecimalDigitsExact) {
    // As a double this is 123456789012345.671875 and would round down.
    EXPECT_EQ(en("#,##0.00").formatText(u"123456789012345.675"), "123,456,789,012,345.68");
    EXPECT_EQ(en("0.00").formatText(u"0.125"), "0.13");
    EXPECT_EQ(en("0.00").formatText(u"-2.675"), "-2.68");
    // Beyond what is held exactly the text goes through a double (17 significant digits).
    EXPECT_EQ(en("#,##0").formatText(u"123456789012345678901234567890"),
              "123,456,789,012,345,680,000,000,000,000");
}

TEST(NumberFormat, NamedPicturesAndNonFiniteValues) {
    EXPECT_EQ(en("Fixed").formatDouble(1234.567), "1234.57");
    EXPECT_EQ(en("Standard").formatDouble(1234.567), "1,234.57");
    EXPECT_EQ(en("Percent").formatDouble(0.125), "12.50%");
    EXPECT_EQ(en("percent").picture(), "percent");
    EXPECT_EQ(en("General Number").formatDouble(1234.5), "1234.5");
    EXPECT_EQ(NumberFormat::apply("0.0", 2.25, english), "2.3");
    EXPECT_EQ(en("#,##0.##").formatDouble(std::numeric_limits<double>::infinity()), "inf");
    EXPECT_EQ(en("#,##0.##").formatDouble(-std::numeric_limits<double>::infinity()), "-inf");
    EXPECT_EQ(en("#,##0.##").formatDouble(std::nan("")), "nan");
}
