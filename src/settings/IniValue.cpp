#include "IniValue.h"

#include "AppError.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace IniValue {

namespace {

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Length of the longest prefix of `t` (from `i`) that reads as a decimal number, or 0.
qsizetype numberPrefix(QStringView t, qsizetype i) {
    const qsizetype start = i;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+'))
        ++i;
    qsizetype digits = 0;
    while (i < t.size() && isDigit(t[i]))
        ++i, ++digits;
    if (i < t.size() && t[i] == u'.') {
        qsizetype j = i + 1, frac = 0;
        while (j < t.size() && isDigit(t[j]))
            ++j, ++frac;
        if (digits + frac > 0)
            i = j, digits += frac;
    }
    if (digits == 0)
        return 0;
    if (i < t.size() && (t[i] == u'e' || t[i] == u'E')) {
        qsizetype j = i + 1;
        if (j < t.size() && (t[j] == u'-' || t[j] == u'+'))
            ++j;
        const qsizetype expStart = j;
        while (j < t.size() && isDigit(t[j]))
            ++j;
        if (j > expStart)
            i = j;
    }
    return i - start;
}

double strictNumber(const QString &text) {
    const QString t = text.trimmed();
    const qsizetype n = numberPrefix(t, 0);
    if (t.isEmpty() || n != t.size())
        throw AppError::typeMismatch();
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        throw AppError::overflow();
    return v;
}

template <typename T> T strictInteger(const QString &text) {
    const double v = std::nearbyint(strictNumber(text)); // the default rounding: half to even
    if (v < static_cast<double>(std::numeric_limits<T>::min()) ||
        v > static_cast<double>(std::numeric_limits<T>::max()))
        throw AppError::overflow();
    return static_cast<T>(v);
}

} // namespace

double Val(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    const qsizetype n = numberPrefix(text, i);
    if (n == 0)
        return 0;
    bool ok = false;
    const double v = QLocale::c().toDouble(text.sliced(i, n), &ok);
    return ok && std::isfinite(v) ? v : 0;
}

std::int16_t ToInt16(const QString &text) {
    return strictInteger<std::int16_t>(text);
}

std::int32_t ToInt32(const QString &text) {
    return strictInteger<std::int32_t>(text);
}

double ToDouble(const QString &text) {
    return strictNumber(text);
}

bool ToBool(const QString &text) {
    return strictNumber(text) != 0;
}

std::uint32_t ToColor(const QString &text) {
    const double v = std::nearbyint(Val(text));
    // Colours are stored as signed 32-bit values by some writers (system colours are negative
    // then) and as unsigned by others; both name the same bit pattern.
    if (v < static_cast<double>(std::numeric_limits<std::int32_t>::min()) ||
        v > static_cast<double>(std::numeric_limits<std::uint32_t>::max()))
        throw AppError::overflow();
    return v < 0 ? static_cast<std::uint32_t>(static_cast<std::int32_t>(v))
                 : static_cast<std::uint32_t>(v);
}

} // namespace IniValue
