#include "Fixed.h"

#include "AppError.h"
#include "GridCellCodec.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string_view>

Fixed Fixed::fromInt(qint64 value) {
    qint64 raw = 0;
    if (__builtin_mul_overflow(value, Scale, &raw))
        throw AppError::overflow();
    return fromRaw(raw);
}

Fixed Fixed::fromDouble(double value) {
    // The default rounding mode rounds half to even, which is how the program converts.
    const double scaled = std::nearbyint(value * static_cast<double>(Scale));
    // 2^63 is exactly representable; every double below it converts without overflow.
    if (!(scaled >= -9223372036854775808.0 && scaled < 9223372036854775808.0))
        throw AppError::overflow();
    return fromRaw(static_cast<qint64>(scaled));
}

Fixed Fixed::operator+(Fixed other) const {
    qint64 raw = 0;
    if (__builtin_add_overflow(m_raw, other.m_raw, &raw))
        throw AppError::overflow();
    return fromRaw(raw);
}

Fixed Fixed::operator-(Fixed other) const {
    qint64 raw = 0;
    if (__builtin_sub_overflow(m_raw, other.m_raw, &raw))
        throw AppError::overflow();
    return fromRaw(raw);
}

double Fixed::toDouble() const {
    // Split first so whole numbers beyond 2^53 ten-thousandths stay exact.
    return static_cast<double>(m_raw / Scale) + static_cast<double>(m_raw % Scale) / Scale;
}

QString Fixed::text(QChar decimal) const {
    return GridCellCodec::canonicalText(m_raw, decimal);
}

std::optional<Fixed> Fixed::parse(QStringView text, QChar decimal) {
    text = text.trimmed();
    if (auto canonical = GridCellCodec::parseCanonical(text, decimal))
        return fromRaw(*canonical);

    // General form: collect the significant digits and the power of ten they are scaled by.
    // Only the first 21 digits can matter (19 whole ones and the rounding digit); of the rest,
    // only whether any is non-zero.
    constexpr int MaxDigits = 24;
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
    if (keep > 19)
        throw AppError::overflow();
    unsigned __int128 mag = 0;
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
    const unsigned __int128 limit =
        static_cast<unsigned __int128>(std::numeric_limits<qint64>::max()) + (negative ? 1 : 0);
    if (mag > limit)
        throw AppError::overflow();
    const auto raw = negative ? static_cast<qint64>(0 - static_cast<std::uint64_t>(mag))
                              : static_cast<qint64>(mag);
    return fromRaw(raw);
}

QString Fixed::textOfDouble(double value, QChar decimal) {
    QString out;
    appendTextOfDouble(out, value, decimal);
    return out;
}

void Fixed::appendText(QString &out, QChar decimal) const {
    // Same text as canonicalText, written straight into `out`: totals are written once per
    // level for every folder of a scan.
    const bool negative = m_raw < 0;
    const std::uint64_t mag =
        negative ? 0 - static_cast<std::uint64_t>(m_raw) : static_cast<std::uint64_t>(m_raw);
    char buf[32];
    char *end = buf;
    if (negative)
        *end++ = '-';
    end = std::to_chars(end, buf + sizeof buf, mag / Scale).ptr;
    qsizetype point = -1;
    if (auto frac = static_cast<unsigned>(mag % Scale)) {
        point = end - buf;
        *end++ = '.';
        for (unsigned div = 1000; div > 0 && frac > 0; div /= 10) {
            *end++ = static_cast<char>('0' + frac / div);
            frac %= div;
        }
    }
    const qsizetype at = out.size();
    const auto length = static_cast<qsizetype>(end - buf);
    out.resize(at + length);
    char16_t *to = reinterpret_cast<char16_t *>(out.data()) + at;
    for (qsizetype i = 0; i < length; ++i)
        to[i] = static_cast<char16_t>(buf[i]);
    if (point >= 0)
        to[point] = decimal.unicode();
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
