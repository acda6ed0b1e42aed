#pragma once

#include <QChar>
#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <compare>
#include <optional>

/// Ten-thousandths held in 128 bits, so that byte totals far beyond 2^63 stay exact.
__extension__ typedef __int128 FixedRaw;

/// The program's numbers for sizes and file counts: fixed point with four decimal places, so
/// sums are exact. Values hold up to 24 significant digits: magnitudes up to
/// 99,999,999,999,999,999,999.9999 (more than 2^66 bytes); any result beyond raises the
/// overflow error (6).
class Fixed {
public:
    static constexpr qint64 Scale = 10000;
    /// The largest magnitude, in ten-thousandths: 10^24 - 1.
    static constexpr FixedRaw MaxRaw = FixedRaw(100000000000) * FixedRaw(10000000000000) - 1;
    /// The largest whole magnitude: 10^20 - 1.
    static constexpr FixedRaw MaxWhole = MaxRaw / Scale;

    constexpr Fixed() = default;
    /// A value given in ten-thousandths (the caller keeps it within MaxRaw).
    static constexpr Fixed fromRaw(FixedRaw tenThousandths) {
        Fixed f;
        f.m_raw = tenThousandths;
        return f;
    }
    /// Raises the overflow error beyond MaxWhole.
    static Fixed fromInt(FixedRaw value);
    /// Rounds value × 10,000 half to even.
    static Fixed fromDouble(double value);
    /// Reads a decimal text: optional sign, digits with at most one `decimal` separator, an
    /// optional exponent ("E-05"); surrounding blanks are ignored. Digits beyond the fourth
    /// decimal are rounded half to even, exactly on the text. Returns nullopt for any other text
    /// (empty included); raises the overflow error for a number out of range.
    static std::optional<Fixed> parse(QStringView text, QChar decimal);

    constexpr FixedRaw raw() const { return m_raw; }
    /// The whole part, the decimals cut off (toward zero).
    constexpr FixedRaw whole() const { return m_raw / Scale; }
    double toDouble() const;
    /// The text without grouping and without trailing zeros ("0", "1024", "12.5").
    QString text(QChar decimal) const;
    /// Appends text() to `out`; with a reused `out` this allocates nothing, which matters where
    /// totals are written once per level for every folder.
    void appendText(QString &out, QChar decimal) const;

    Fixed operator+(Fixed other) const;
    Fixed operator-(Fixed other) const;
    Fixed &operator+=(Fixed other) { return *this = *this + other; }
    Fixed &operator-=(Fixed other) { return *this = *this - other; }
    friend constexpr bool operator==(Fixed, Fixed) = default;
    friend constexpr auto operator<=>(Fixed, Fixed) = default;

    /// The text of a double with up to 15 significant digits, in plain decimal notation (no
    /// exponent, no grouping, no trailing zeros), as sizes in a unit are written.
    static QString textOfDouble(double value, QChar decimal);
    static void appendTextOfDouble(QString &out, double value, QChar decimal);

private:
    FixedRaw m_raw = 0;
};
