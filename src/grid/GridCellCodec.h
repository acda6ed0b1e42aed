#pragma once

#include "Fixed.h"

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

/// How the outline grid packs a cell's text into 64 bits.
///
/// The low two bits are a tag:
///   0  empty text when the whole word is 0; otherwise a plain decimal number that is not a
///      fixed-point one (more than four decimals, such as a size in megabytes with fifteen
///      significant digits): sign in bit 2, count of decimals in bits 3..8, digits as an integer
///      from bit 9 (at most 16 digits);
///   1  a fixed-point number in ten-thousandths, in the upper 62 bits (two's complement), for
///      text that is exactly the canonical form of that number;
///   2  a reference into the grid's text arena: the upper bits are the offset of a
///      length-prefixed UTF-8 text (row data uses the same references for raw bytes);
///   3  up to seven bytes of ASCII text held inline: length in bits 2..4, bytes from bit 8.
namespace GridCellCodec {

using Arena = std::vector<char>;

/// Largest magnitude (in ten-thousandths) that a number cell holds inline.
constexpr qint64 MaxInlineFixed = (qint64(1) << 61) - 1;

/// A decimal number's text split into its digits and decimal count, for text in canonical
/// form only: optional "-", digits without leading zeros, optionally the decimal separator and
/// digits not ending in 0; "-0" is not canonical.
struct Decimal {
    bool negative = false;
    std::uint64_t digits = 0; ///< all digits as one integer
    int decimals = 0;         ///< how many of them follow the separator
};
std::optional<Decimal> parseDecimal(QStringView text, QChar decimal);

/// The value in ten-thousandths of a canonical text with at most four decimals.
std::optional<qint64> parseCanonical(QStringView text, QChar decimal);
/// The canonical text of a value in ten-thousandths.
QString canonicalText(FixedRaw tenThousandths, QChar decimal);

std::uint64_t encode(Arena &arena, QStringView text, QChar decimal);
/// The cell of a fixed-point value within ±MaxInlineFixed.
constexpr std::uint64_t encodeFixed(qint64 tenThousandths) {
    return (static_cast<std::uint64_t>(tenThousandths) << 2) | 1u;
}
QString decode(const Arena &arena, std::uint64_t cell, QChar decimal);
std::optional<qint64> fixedOf(std::uint64_t cell);
/// The value of any cell whose text is a canonical fixed-point number: inline ones as
/// fixedOf(), and those too large to be held inline, which are stored as text.
std::optional<FixedRaw> wideFixedOf(const Arena &arena, std::uint64_t cell, QChar decimal);
/// The value of a plain decimal cell (tag 0, non-zero).
std::optional<double> decimalOf(std::uint64_t cell);

/// Appends raw bytes to the arena and returns their reference (tag 2).
std::uint64_t storeBytes(Arena &arena, const char *data, qsizetype size);
/// The bytes behind a reference (empty for 0).
QByteArray bytesOf(const Arena &arena, std::uint64_t ref);
/// Bytes the cell occupies in the arena (0 unless it is a reference).
std::size_t arenaSize(const Arena &arena, std::uint64_t cell);
/// Copies a referenced text into `to` and returns the new reference; other cells unchanged.
std::uint64_t moveToArena(const Arena &from, Arena &to, std::uint64_t cell);

/// Row data may extend other row data: tag 1 then refers to an entry that holds the base's
/// reference (8 bytes) and a length-prefixed suffix, so the paths of a deep tree share their
/// common parts instead of costing memory in the square of the depth.
std::uint64_t storeRowDataExtending(Arena &arena, std::uint64_t base, const char *suffix,
                                    qsizetype size);
/// The bytes of row data, plain (tag 2) or extending (tag 1); empty for 0.
QByteArray rowDataOf(const Arena &arena, std::uint64_t ref);
/// Bytes of its own that row data occupies in the arena (not those of its base).
std::size_t rowDataSize(const Arena &arena, std::uint64_t ref);
/// Copies row data into `to`, each shared entry once: `moved` maps references already copied.
std::uint64_t moveRowData(const Arena &from, Arena &to, std::uint64_t ref,
                          std::unordered_map<std::uint64_t, std::uint64_t> &moved);

} // namespace GridCellCodec
