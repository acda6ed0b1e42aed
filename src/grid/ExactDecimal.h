#pragma once

#include "Fixed.h"

#include <QStringView>
#include <QtGlobal>

#include <array>

/// An exact decimal number: value = digits * 10^exponent, the digits ASCII without leading or
/// trailing zeros; no digits means zero. It holds every fixed-point value, the shortest digits
/// of any double and numbers read from text, so display rounding never meets binary error.
struct ExactDecimal {
    static constexpr int MaxDigits = 24;
    std::array<char, MaxDigits> digits{};
    int count = 0;
    int exponent = 0;
    bool negative = false;

    bool isZero() const { return count == 0; }
    /// The number of digits before the decimal point when positive.
    int integerDigits() const { return count + exponent; }
    /// Digit `index` counted from the leading one; zeros beyond either end.
    char digitAt(int index) const { return index >= 0 && index < count ? digits[index] : '0'; }

    /// Ten-thousandths (the program's fixed-point values, 24 digits at most), exactly.
    static ExactDecimal fromFixed(FixedRaw tenThousandths);
    /// A finite double, through its shortest round-trip digits (zero for infinity and NaN).
    static ExactDecimal fromDouble(double value);
    /// Reads [-]digits[.digits][e[+-]digits] (at least one digit) with "." or `localeDecimal`
    /// as the point. Returns false for any other text and for values beyond a double's range.
    static bool parse(QStringView text, QStringView localeDecimal, ExactDecimal &out);
    /// Rounds half away from zero to `decimals` places; the sign is kept.
    void roundTo(int decimals);

private:
    void assign(const char *first, const char *last, int exp);
};
