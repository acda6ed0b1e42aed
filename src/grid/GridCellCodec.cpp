#include "GridCellCodec.h"

#include <QStringEncoder>

#include <cmath>
#include <cstring>

namespace GridCellCodec {

namespace {

constexpr std::uint64_t TagMask = 3, TagNumber = 1, TagRef = 2, TagInline = 3;

// Length prefix: 7 bits per byte, high bit = more follows.
std::size_t putLength(char *out, std::size_t len) {
    std::size_t n = 0;
    do {
        auto byte = static_cast<unsigned char>(len & 0x7f);
        len >>= 7;
        if (len)
            byte |= 0x80;
        out[n++] = static_cast<char>(byte);
    } while (len);
    return n;
}

std::size_t getLength(const char *in, std::size_t &prefix) {
    std::size_t len = 0;
    int shift = 0;
    prefix = 0;
    for (;;) {
        const auto byte = static_cast<unsigned char>(in[prefix++]);
        len |= static_cast<std::size_t>(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            return len;
        shift += 7;
    }
}

const char *refData(const Arena &arena, std::uint64_t ref, std::size_t &len, std::size_t &prefix) {
    const char *p = arena.data() + (ref >> 2);
    len = getLength(p, prefix);
    return p + prefix;
}

} // namespace

std::optional<Decimal> parseDecimal(QStringView text, QChar decimal) {
    const qsizetype n = text.size();
    if (n == 0 || n > 40)
        return std::nullopt;
    Decimal d;
    qsizetype i = 0;
    d.negative = text[0] == u'-';
    if (d.negative)
        ++i;
    const qsizetype intStart = i;
    int significant = 0;
    auto take = [&](char16_t ch) {
        if (d.digits == 0 && ch == u'0')
            return true; // leading zeros of "0.05" carry no value
        if (++significant > 18)
            return false;
        d.digits = d.digits * 10 + (ch - u'0');
        return true;
    };
    while (i < n && text[i] >= u'0' && text[i] <= u'9') {
        if (!take(text[i].unicode()))
            return std::nullopt;
        ++i;
    }
    const qsizetype intDigits = i - intStart;
    if (intDigits == 0 || (intDigits > 1 && text[intStart] == u'0'))
        return std::nullopt;
    if (i < n) {
        if (text[i] != decimal)
            return std::nullopt;
        ++i;
        const qsizetype fracStart = i;
        while (i < n && text[i] >= u'0' && text[i] <= u'9') {
            if (!take(text[i].unicode()))
                return std::nullopt;
            ++i;
        }
        d.decimals = static_cast<int>(i - fracStart);
        if (i != n || d.decimals == 0 || text[n - 1] == u'0')
            return std::nullopt;
    }
    if (d.negative && d.digits == 0)
        return std::nullopt;
    return d;
}

namespace {

std::optional<qint64> fixedOf(const Decimal &d) {
    if (d.decimals > 4)
        return std::nullopt;
    std::uint64_t v = d.digits;
    for (int k = d.decimals; k < 4; ++k) {
        if (v > static_cast<std::uint64_t>(MaxInlineFixed) / 10)
            return std::nullopt;
        v *= 10;
    }
    if (v > static_cast<std::uint64_t>(MaxInlineFixed))
        return std::nullopt;
    return d.negative ? -static_cast<qint64>(v) : static_cast<qint64>(v);
}

} // namespace

std::optional<qint64> parseCanonical(QStringView text, QChar decimal) {
    const auto d = parseDecimal(text, decimal);
    return d ? fixedOf(*d) : std::nullopt;
}

namespace {

constexpr std::uint64_t MaxPackedDigits = (std::uint64_t(1) << 55) - 1;

// Digits as text with the separator placed `decimals` digits from the right.
QString decimalText(bool negative, std::uint64_t digits, int decimals, QChar sep) {
    char buf[48];
    int pos = sizeof buf;
    int written = 0;
    do {
        buf[--pos] = static_cast<char>('0' + digits % 10);
        digits /= 10;
        ++written;
    } while (digits || written <= decimals);
    QString out;
    out.reserve(static_cast<qsizetype>(sizeof buf) - pos + 2);
    if (negative)
        out.append(u'-');
    const int intLen = static_cast<int>(sizeof buf) - pos - decimals;
    out.append(QLatin1StringView(buf + pos, intLen));
    if (decimals > 0) {
        out.append(sep);
        out.append(QLatin1StringView(buf + pos + intLen, decimals));
    }
    return out;
}

} // namespace

QString canonicalText(FixedRaw v, QChar decimal) {
    return Fixed::fromRaw(v).text(decimal);
}

std::uint64_t storeBytes(Arena &arena, const char *data, qsizetype size) {
    const std::size_t at = arena.size();
    char prefix[10];
    const std::size_t pn = putLength(prefix, static_cast<std::size_t>(size));
    arena.insert(arena.end(), prefix, prefix + pn);
    arena.insert(arena.end(), data, data + size);
    return (static_cast<std::uint64_t>(at) << 2) | TagRef;
}

std::uint64_t encode(Arena &arena, QStringView text, QChar decimal) {
    if (text.isEmpty())
        return 0;
    const char16_t first = text[0].unicode();
    if ((first >= u'0' && first <= u'9') || first == u'-') {
        if (auto d = parseDecimal(text, decimal)) {
            if (auto fixed = fixedOf(*d))
                return encodeFixed(*fixed);
            if (d->digits <= MaxPackedDigits && d->decimals < 64)
                return (d->digits << 9) | (static_cast<std::uint64_t>(d->decimals) << 3) |
                       (d->negative ? 4u : 0u);
        }
    }
    bool ascii = true;
    for (qsizetype i = 0; i < text.size() && ascii; ++i)
        ascii = text[i].unicode() != 0 && text[i].unicode() < 0x80;
    if (ascii && text.size() <= 7) {
        std::uint64_t packed = 0;
        for (qsizetype i = 0; i < text.size(); ++i)
            packed |= static_cast<std::uint64_t>(text[i].unicode()) << (8 + 8 * i);
        return packed | (static_cast<std::uint64_t>(text.size()) << 2) | TagInline;
    }
    const std::size_t at = arena.size();
    char prefix[10];
    if (ascii) {
        const auto len = static_cast<std::size_t>(text.size());
        const std::size_t pn = putLength(prefix, len);
        arena.resize(at + pn + len);
        char *out = arena.data() + at;
        std::memcpy(out, prefix, pn);
        for (std::size_t i = 0; i < len; ++i)
            out[pn + i] = static_cast<char>(text[static_cast<qsizetype>(i)].unicode());
        return (static_cast<std::uint64_t>(at) << 2) | TagRef;
    }
    // UTF-8 straight into the arena: reserve the worst case, then trim.
    const auto worst = static_cast<std::size_t>(text.size()) * 3;
    const std::size_t pn = putLength(prefix, worst); // longest prefix we may need
    arena.resize(at + pn + worst);
    QStringEncoder enc(QStringEncoder::Utf8);
    char *start = arena.data() + at + pn;
    char *end = enc.appendToBuffer(start, text);
    const auto len = static_cast<std::size_t>(end - start);
    const std::size_t realPn = putLength(prefix, len);
    std::memcpy(arena.data() + at, prefix, realPn);
    if (realPn != pn)
        std::memmove(arena.data() + at + realPn, start, len);
    arena.resize(at + realPn + len);
    return (static_cast<std::uint64_t>(at) << 2) | TagRef;
}

QString decode(const Arena &arena, std::uint64_t cell, QChar decimal) {
    switch (cell & TagMask) {
    case TagNumber:
        return canonicalText(static_cast<qint64>(cell) >> 2, decimal);
    case TagRef: {
        std::size_t len = 0, prefix = 0;
        const char *p = refData(arena, cell, len, prefix);
        return QString::fromUtf8(p, static_cast<qsizetype>(len));
    }
    case TagInline: {
        const auto len = static_cast<int>((cell >> 2) & 7);
        char buf[8];
        for (int i = 0; i < len; ++i)
            buf[i] = static_cast<char>((cell >> (8 + 8 * i)) & 0x7f);
        return QString::fromLatin1(buf, len);
    }
    default:
        if (cell == 0)
            return QString();
        return decimalText(cell & 4, cell >> 9, static_cast<int>((cell >> 3) & 63), decimal);
    }
}

std::optional<double> decimalOf(std::uint64_t cell) {
    if ((cell & TagMask) != 0 || cell == 0)
        return std::nullopt;
    const double v =
        static_cast<double>(cell >> 9) / std::pow(10.0, static_cast<double>((cell >> 3) & 63));
    return (cell & 4) ? -v : v;
}

std::optional<qint64> fixedOf(std::uint64_t cell) {
    if ((cell & TagMask) != TagNumber)
        return std::nullopt;
    return static_cast<qint64>(cell) >> 2;
}

std::optional<FixedRaw> wideFixedOf(const Arena &arena, std::uint64_t cell, QChar decimal) {
    if (auto inlined = fixedOf(cell))
        return *inlined;
    if ((cell & TagMask) != TagRef)
        return std::nullopt;
    std::size_t len = 0, prefix = 0;
    const char *p = refData(arena, cell, len, prefix);
    // Canonical: [-]digits without leading zeros[.digits not ending in 0], 24 digits at most.
    const char *const end = p + len;
    if (len == 0 || len > 30 || !((*p >= '0' && *p <= '9') || *p == '-'))
        return std::nullopt;
    const bool negative = *p == '-';
    if (negative)
        ++p;
    const char *const wholeStart = p;
    FixedRaw v = 0;
    int digits = 0;
    for (; p != end && *p >= '0' && *p <= '9'; ++p, ++digits)
        v = v * 10 + (*p - '0');
    if (p == wholeStart || (p - wholeStart > 1 && *wholeStart == '0'))
        return std::nullopt;
    int decimals = 0;
    if (p != end) {
        if (decimal.unicode() >= 0x80 || *p != static_cast<char>(decimal.unicode()))
            return std::nullopt;
        for (++p; p != end && *p >= '0' && *p <= '9'; ++p, ++decimals, ++digits)
            v = v * 10 + (*p - '0');
        if (p != end || decimals == 0 || decimals > 4 || p[-1] == '0')
            return std::nullopt;
    }
    for (int k = decimals; k < 4; ++k, ++digits)
        v *= 10;
    if (digits > 28 || v > Fixed::MaxRaw || (negative && v == 0))
        return std::nullopt;
    return negative ? -v : v;
}

QByteArray bytesOf(const Arena &arena, std::uint64_t ref) {
    if ((ref & TagMask) != TagRef)
        return QByteArray();
    std::size_t len = 0, prefix = 0;
    const char *p = refData(arena, ref, len, prefix);
    return QByteArray(p, static_cast<qsizetype>(len));
}

std::size_t arenaSize(const Arena &arena, std::uint64_t cell) {
    if ((cell & TagMask) != TagRef)
        return 0;
    std::size_t len = 0, prefix = 0;
    refData(arena, cell, len, prefix);
    return len + prefix;
}

std::uint64_t moveToArena(const Arena &from, Arena &to, std::uint64_t cell) {
    if ((cell & TagMask) != TagRef)
        return cell;
    std::size_t len = 0, prefix = 0;
    const char *p = refData(from, cell, len, prefix);
    return storeBytes(to, p, static_cast<qsizetype>(len));
}

namespace {

// An extending entry: the base reference, then the suffix with its length prefix.
const char *extensionData(const Arena &arena, std::uint64_t ref, std::uint64_t &base,
                          std::size_t &len, std::size_t &prefix) {
    const char *p = arena.data() + (ref >> 2);
    std::memcpy(&base, p, sizeof base);
    len = getLength(p + sizeof base, prefix);
    return p + sizeof base + prefix;
}

} // namespace

std::uint64_t storeRowDataExtending(Arena &arena, std::uint64_t base, const char *suffix,
                                    qsizetype size) {
    if ((base & TagMask) != TagRef && (base & TagMask) != TagNumber)
        return storeBytes(arena, suffix, size);
    const std::size_t at = arena.size();
    char head[sizeof base + 10];
    std::memcpy(head, &base, sizeof base);
    const std::size_t pn = putLength(head + sizeof base, static_cast<std::size_t>(size));
    arena.insert(arena.end(), head, head + sizeof base + pn);
    arena.insert(arena.end(), suffix, suffix + size);
    return (static_cast<std::uint64_t>(at) << 2) | TagNumber;
}

QByteArray rowDataOf(const Arena &arena, std::uint64_t ref) {
    // The pieces come last first; deep rows have many, so they are gathered without recursion.
    std::vector<std::pair<const char *, std::size_t>> pieces;
    std::size_t total = 0, len = 0, prefix = 0;
    while ((ref & TagMask) == TagNumber) {
        std::uint64_t base = 0;
        const char *p = extensionData(arena, ref, base, len, prefix);
        pieces.emplace_back(p, len);
        total += len;
        ref = base;
    }
    if ((ref & TagMask) == TagRef) {
        const char *p = refData(arena, ref, len, prefix);
        pieces.emplace_back(p, len);
        total += len;
    }
    QByteArray out(static_cast<qsizetype>(total), Qt::Uninitialized);
    char *to = out.data();
    for (auto it = pieces.rbegin(); it != pieces.rend(); ++it) {
        std::memcpy(to, it->first, it->second);
        to += it->second;
    }
    return out;
}

std::size_t rowDataSize(const Arena &arena, std::uint64_t ref) {
    if ((ref & TagMask) != TagNumber)
        return arenaSize(arena, ref);
    std::uint64_t base = 0;
    std::size_t len = 0, prefix = 0;
    extensionData(arena, ref, base, len, prefix);
    return sizeof base + prefix + len;
}

std::uint64_t moveRowData(const Arena &from, Arena &to, std::uint64_t ref,
                          std::unordered_map<std::uint64_t, std::uint64_t> &moved) {
    const auto tag = ref & TagMask;
    if (tag != TagNumber && tag != TagRef)
        return ref;
    std::vector<std::uint64_t> chain; // extending entries not copied yet, last first
    std::uint64_t r = ref;
    while ((r & TagMask) == TagNumber && !moved.contains(r)) {
        chain.push_back(r);
        std::uint64_t base = 0;
        std::size_t len = 0, prefix = 0;
        extensionData(from, r, base, len, prefix);
        r = base;
    }
    std::uint64_t base = r;
    if (auto done = moved.find(r); done != moved.end())
        base = done->second;
    else if ((r & TagMask) == TagRef)
        base = moved[r] = moveToArena(from, to, r);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        std::uint64_t oldBase = 0;
        std::size_t len = 0, prefix = 0;
        const char *p = extensionData(from, *it, oldBase, len, prefix);
        base = moved[*it] = storeRowDataExtending(to, base, p, static_cast<qsizetype>(len));
    }
    return base;
}

} // namespace GridCellCodec
