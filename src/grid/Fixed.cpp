#include "Fixed.h"

#include "AppError.h"
#include "GridCellCodec.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string_view>

namespace {

using URaw = unsigned __int128;

bool inRange(FixedRaw raw) {
    return raw <= Fixed::MaxRaw && raw >= -Fixed::MaxRaw;
}

// Writes the decimal digits of `v` so that they end just before `end`; returns their start.
char *digitsBefore(char *end, URaw v) {
    do {
        *--end = static_cast<char>('0' + static_cast<int>(v % 10));
        v /= 10;
    } while (v != 0);
    return end;
}

} // namespace

Fixed Fixed::fromInt(FixedRaw value) {
    if (value > MaxWhole || value < -MaxWhole)
        throw AppError::overflow();
    return fromRaw(value * Scale);
}

Fixed Fixed::fromDouble(double value) {
    // Every double below 10^21 converts to 128 bits without overflow; the range check follows.
    if (!(std::fabs(value) < 1e21))
        throw AppError::overflow();
    // Whole part and fraction apart, as the product of a large value would lose digits. The
    // default rounding mode rounds half to even, which is how the program converts.
    const double whole = std::trunc(value);
    const FixedRaw raw = static_cast<FixedRaw>(whole) * Scale +
                         static_cast<FixedRaw>(std::nearbyint((value - whole) * Scale));
    if (!inRange(raw))
        throw AppError::overflow();
    return fromRaw(raw);
}

// Sums of values within the range cannot wrap 128 bits, so only the range is checked.
Fixed Fixed::operator+(Fixed other) const {
    const FixedRaw raw = m_raw + other.m_raw;
    if (!inRange(raw))
        throw AppError::overflow();
    return fromRaw(raw);
}

Fixed Fixed::operator-(Fixed other) const {
    const FixedRaw raw = m_raw - other.m_raw;
    if (!inRange(raw))
        throw AppError::overflow();
    return fromRaw(raw);
}

double Fixed::toDouble() const {
    // Split first so whole numbers beyond 2^53 ten-thousandths stay exact.
    return static_cast<double>(m_raw / Scale) + static_cast<double>(m_raw % Scale) / Scale;
}

QString Fixed::text(QChar decimal) const {
    QString out;
    appendText(out, decimal);
    return out;
}

std::optional<Fixed> Fixed::parse(QStringView text, QChar decimal) {
    text = text.trimmed();
    if (auto canonical = GridCellCodec::parseCanonical(text, decimal))
        return fromRaw(*canonical);

    // General form: collect the significant digits and the power of ten they are scaled by.
    // Only the first 25 digits can matter (the 24 of the range and the rounding digit); of the
    // rest, only whether any is non-zero.
    constexpr int MaxDigits = 28;
    char digitBuf[MaxDigits];
    int kept = 0;
    bool droppedNonZero = false;
    qsizetype i = 0;
    const qsizetype n = text.size();
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    int exponent = 0;
    bool anyDigit = false, seenPoint = false, anySignificant = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c >= u'0' && c <= u'9') {
            anyDigit = true;
            if (!anySignificant && c == u'0') {
                if (seenPoint)
                    --exponent;
                continue;
            }
            anySignificant = true;
            if (kept < MaxDigits) {
                digitBuf[kept++] = static_cast<char>(c.unicode());
                if (seenPoint)
                    --exponent;
            } else {
                droppedNonZero = droppedNonZero || c != u'0';
                if (!seenPoint)
                    ++exponent; // a whole digit not kept still scales the kept ones
            }
        } else if (c == decimal && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
    }
    if (!anyDigit)
        return std::nullopt;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        bool expNegative = false;
        if (i < n && (text[i] == u'-' || text[i] == u'+'))
            expNegative = text[i++] == u'-';
        if (i >= n)
            return std::nullopt;
        long e = 0;
        for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i)
            e = std::min(e * 10 + (text[i].unicode() - u'0'), 100000L);
        exponent += static_cast<int>(expNegative ? -e : e);
    }
    if (i != n)
        return std::nullopt;
    if (!anySignificant)
        return fromRaw(0);
    const std::string_view digits(digitBuf, static_cast<std::size_t>(kept));

    // value = digits × 10^exponent; we want it × 10^4, rounded half to even.
    const int shift = exponent + 4;
    const auto len = static_cast<int>(digits.size());
    const int keep = len + shift; // digits that land before the point
    if (keep > 25)
        throw AppError::overflow();
    URaw mag = 0;
    for (int k = 0; k < keep; ++k)
        mag = mag * 10 + (k < len ? digits[static_cast<std::size_t>(k)] - '0' : 0);
    if (keep < len) {
        const int first = std::max(keep, 0);
        const char lead = keep >= 0 ? digits[static_cast<std::size_t>(first)] : '0';
        bool restNonZero = droppedNonZero;
        for (int k = first + (keep >= 0 ? 1 : 0); k < len && !restNonZero; ++k)
            restNonZero = digits[static_cast<std::size_t>(k)] != '0';
        if (keep < 0) // every digit lies below the half: the lead digit is an implied zero
            restNonZero = true;
        const bool up = lead > '5' || (lead == '5' && (restNonZero || (mag & 1)));
        if (up && keep >= 0)
            ++mag;
    }
    if (mag > static_cast<URaw>(MaxRaw))
        throw AppError::overflow();
    const auto raw = static_cast<FixedRaw>(mag);
    return fromRaw(negative ? -raw : raw);
}

QString Fixed::textOfDouble(double value, QChar decimal) {
    QString out;
    appendTextOfDouble(out, value, decimal);
    return out;
}

void Fixed::appendText(QString &out, QChar decimal) const {
    // Written straight into `out`: totals are written once per level for every folder of a scan.
    const bool negative = m_raw < 0;
    const URaw mag = negative ? 0 - static_cast<URaw>(m_raw) : static_cast<URaw>(m_raw);
    char buf[48];
    char *const end = buf + sizeof buf;
    char *from = end;
    unsigned frac = static_cast<unsigned>(mag % Scale);
    int decimals = 4;
    while (decimals > 0 && frac % 10 == 0) {
        frac /= 10;
        --decimals;
    }
    for (int k = 0; k < decimals; ++k, frac /= 10)
        *--from = static_cast<char>('0' + frac % 10);
    const qsizetype point = decimals > 0 ? 1 : 0; // the separator's place, counted from `from`
    if (point)
        *--from = '.';
    from = digitsBefore(from, mag / Scale);
    if (negative)
        *--from = '-';
    const qsizetype at = out.size();
    const auto length = static_cast<qsizetype>(end - from);
    out.resize(at + length);
    char16_t *to = reinterpret_cast<char16_t *>(out.data()) + at;
    for (qsizetype i = 0; i < length; ++i)
        to[i] = static_cast<char16_t>(from[i]);
    if (point)
        to[length - decimals - 1] = decimal.unicode();
}

void Fixed::appendTextOfDouble(QString &out, double value, QChar decimal) {
    if (value == 0 || !std::isfinite(value)) {
        out.append(u'0');
        return;
    }
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    // buf reads [-]d.dddddddddddddde[+-]xx
    const char *p = buf;
    const bool negative = *p == '-';
    if (negative)
        ++p;
    char digits[16];
    int len = 0;
    for (; *p != 'e'; ++p)
        if (*p != '.')
            digits[len++] = *p;
    while (len > 1 && digits[len - 1] == '0')
        --len;
    int exp = 0;
    std::from_chars(p + (p[1] == '+' ? 2 : 1), res.ptr, exp);

    if (negative)
        out.append(u'-');
    if (exp < 0) {
        out.append(u'0');
        out.append(decimal);
        for (int k = 0; k < -exp - 1; ++k)
            out.append(u'0');
        out.append(QLatin1StringView(digits, len));
    } else if (exp + 1 >= len) {
        out.append(QLatin1StringView(digits, len));
        for (int k = 0; k < exp + 1 - len; ++k)
            out.append(u'0');
    } else {
        out.append(QLatin1StringView(digits, exp + 1));
        out.append(decimal);
        out.append(QLatin1StringView(digits + exp + 1, len - exp - 1));
    }
}
