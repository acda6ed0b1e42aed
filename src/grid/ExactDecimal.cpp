#include "ExactDecimal.h"

#include <QByteArray>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace {

// Every fixed-point text (24 digits at most) is read exactly; longer ones go through a double.
constexpr int MaxTextDigits = ExactDecimal::MaxDigits;

} // namespace

ExactDecimal ExactDecimal::fromFixed(FixedRaw tenThousandths) {
    ExactDecimal d;
    d.negative = tenThousandths < 0;
    // Unsigned negation keeps the most negative value exact.
    using URaw = unsigned __int128;
    URaw magnitude =
        d.negative ? 0 - static_cast<URaw>(tenThousandths) : static_cast<URaw>(tenThousandths);
    char buf[40];
    char *first = buf + sizeof buf;
    do {
        *--first = static_cast<char>('0' + static_cast<int>(magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    // Beyond the fixed-point range only the leading digits are kept; the value is not exact.
    int exp = -4;
    char *last = buf + sizeof buf;
    if (last - first > MaxDigits) {
        exp += static_cast<int>(last - first) - MaxDigits;
        last = first + MaxDigits;
    }
    d.assign(first, last, exp);
    return d;
}

// The shortest digits that read back as the same double are taken as the exact value, so
// 2.675 is 2.675 and not 2.67499999...
ExactDecimal ExactDecimal::fromDouble(double value) {
    ExactDecimal d;
    if (value == 0 || !std::isfinite(value)) // callers show infinities and NaN themselves
        return d;
    d.negative = value < 0;
    char buf[40];
    const auto res =
        std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific);
    char digits[24];
    int n = 0;
    const char *p = buf;
    for (; p != res.ptr && *p != 'e'; ++p) {
        if (*p != '.')
            digits[n++] = *p;
    }
    int exp10 = 0;
    if (p != res.ptr) {
        ++p; // 'e'
        if (p != res.ptr && *p == '+')
            ++p;
        std::from_chars(p, res.ptr, exp10);
    }
    d.assign(digits, digits + n, exp10 - (n - 1));
    return d;
}

void ExactDecimal::roundTo(int decimals) {
    ExactDecimal &d = *this;
    const int kept = d.count + d.exponent + decimals; // digits at places >= 10^-decimals
    if (kept >= d.count)
        return;
    if (kept < 0) {
        d.count = 0;
        return;
    }
    const bool up = d.digits[kept] >= '5';
    d.count = kept;
    d.exponent = -decimals;
    if (up) {
        int i = kept - 1;
        while (i >= 0 && d.digits[i] == '9')
            --i;
        if (i < 0) {
            d.digits[0] = '1';
            d.count = 1;
            d.exponent = kept - decimals;
        } else {
            ++d.digits[i];
            d.count = i + 1;
            d.exponent = kept - decimals - d.count;
        }
    }
    while (d.count > 0 && d.digits[d.count - 1] == '0') {
        --d.count;
        ++d.exponent;
    }
    if (d.count == 0)
        d.exponent = 0;
}

bool ExactDecimal::parse(QStringView text, QStringView localeDecimal, ExactDecimal &out) {
    ExactDecimal d;
    const qsizetype n = text.size();
    qsizetype i = 0;
    if (i < n && text[i] == u'-') {
        d.negative = true;
        ++i;
    }
    bool anyDigit = false, point = false, started = false, overflow = false;
    qsizetype pointAt = -1, pointLen = 0;
    qint64 exponent = 0; // of the digits from the first to the last non-zero one
    qint64 significant = 0, pendingZeros = 0;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= u'0' && c <= u'9') {
            anyDigit = true;
            if (point)
                --exponent;
            if (c == u'0') {
                if (started)
                    ++pendingZeros;
                continue;
            }
            started = true;
            significant += pendingZeros + 1;
            if (significant > MaxTextDigits)
                overflow = true;
            if (!overflow) {
                for (; pendingZeros > 0; --pendingZeros)
                    d.digits[d.count++] = '0';
                d.digits[d.count++] = static_cast<char>(c);
            }
            pendingZeros = 0;
        } else if (!point && c == u'.') {
            point = true;
            pointAt = i;
            pointLen = 1;
        } else if (!point && !localeDecimal.isEmpty() && text.sliced(i).startsWith(localeDecimal)) {
            point = true;
            pointAt = i;
            pointLen = localeDecimal.size();
            i += pointLen - 1;
        } else {
            break;
        }
    }
    if (!anyDigit)
        return false;
    exponent += pendingZeros; // trailing zeros of the mantissa
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        bool negativeExp = false;
        if (i < n && (text[i] == u'+' || text[i] == u'-'))
            negativeExp = text[i++] == u'-';
        qint64 e = 0;
        const qsizetype expStart = i;
        for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i)
            e = std::min<qint64>(e * 10 + (text[i].unicode() - u'0'), 1'000'000);
        if (i == expStart)
            return false;
        exponent += negativeExp ? -e : e;
    }
    if (i != n)
        return false;
    if (!started) {
        out = ExactDecimal{};
        return true;
    }
    const qint64 leadingPower = significant + exponent - 1;
    if (leadingPower > 308)
        return false;
    if (leadingPower < -400) {
        out = ExactDecimal{};
        return true;
    }
    if (overflow) {
        // Too many digits for exact handling: a double keeps the first 17 significant ones.
        QByteArray c = text.toLatin1();
        if (pointAt >= 0)
            c.replace(pointAt, pointLen, ".");
        double value = 0;
        const auto res = std::from_chars(c.constData(), c.constData() + c.size(), value);
        if (res.ec == std::errc::result_out_of_range && leadingPower > 0)
            return false;
        out = res.ec == std::errc() ? fromDouble(value) : ExactDecimal{};
        return true;
    }
    d.exponent = static_cast<int>(exponent);
    out = d;
    return true;
}

void ExactDecimal::assign(const char *first, const char *last, int exp) {
    while (first != last && *first == '0')
        ++first;
    while (last != first && last[-1] == '0') {
        --last;
        ++exp;
    }
    count = static_cast<int>(last - first);
    std::copy(first, last, digits.begin());
    exponent = count ? exp : 0;
}
