#pragma once

#include <QChar>
#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <compare>
#include <optional>

/// The program's numbers for sizes and file counts: 64-bit fixed point with four decimal
/// places, so sums are exact. The range is that of a signed 64-bit integer divided by 10,000;
/// any result outside it raises the overflow error (6).
class Fixed {
public:
    static constexpr qint64 Scale = 10000;

    constexpr Fixed() = default;
    /// A value given in ten-thousandths.
    static constexpr Fixed fromRaw(qint64 tenThousandths) {
        Fixed f;
        f.m_raw = tenThousandths;
        return f;
    }
    static Fixed fromInt(qint64 value);
    /// Rounds value × 10,000 half to even.
    static Fixed fromDouble(double value);
    /// Reads a decimal text: optional sign, digits with at most one `decimal` separator, an
    /// optional exponent ("E-05"); surrounding blanks are ignored. Digits beyond the fourth
    /// decimal are rounded half to even, exactly on the text. Returns nullopt for any other text
    /// (empty included); raises the overflow error for a number out of range.
    static std::optional<Fixed> parse(QStringView text, QChar decimal);

    constexpr qint64 raw() const { return m_raw; }
    /// The whole part, the decimals cut off (toward zero).
    constexpr qint64 whole() const { return m_raw / Scale; }
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
    qint64 m_raw = 0;
};
