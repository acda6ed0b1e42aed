#pragma once

#include "Fixed.h"

#include <QLocale>
#include <QString>
#include <QStringView>

#include <memory>

/// A numeric display picture such as "#,##0.##", applied the way a spreadsheet does.
///
/// Picture syntax: "0" is a digit place that always shows, "#" a digit place that shows only
/// when significant, "," anywhere in the integer part turns on thousands grouping (commas right
/// after the last integer digit place divide by 1000 each instead), "." is the decimal point,
/// "%" multiplies by 100 and shows the sign, text in double quotes or after a backslash is
/// literal, and any other character shows as it stands. Up to three ";"-separated sections:
/// positive; negative; zero. The negative section shows the absolute value; without one the
/// first section is used with a leading "-"; an empty zero section uses the first. A value is
/// rounded half away from zero to the number of decimal places the picture has, on its exact
/// decimal value; a value that rounds to zero shows as zero (never "-0"). Trailing "#"
/// decimals that are zero are dropped, and the decimal point with them when none remain. The
/// grouping and decimal characters in the output are the locale's.
///
/// An empty picture (or an empty first section, or "General") shows the number in its plain
/// form: no grouping, shortest digits, the locale's decimal point. The named pictures "Fixed"
/// ("0.00"), "Standard" ("#,##0.00"), "Percent" ("0.00%") and "General Number" are understood.
class NumberFormat {
public:
    explicit NumberFormat(const QString &picture = {}, const QLocale &locale = QLocale());

    const QString &picture() const { return m_picture; }
    bool isEmpty() const { return m_picture.isEmpty(); }

    /// Formats an exact decimal given as ten-thousandths (the program's fixed-point values).
    QString formatFixed(FixedRaw tenThousandths) const;
    /// Formats a double (shortest round-trip digits are used as the exact value).
    QString formatDouble(double value) const;
    /// Formats `text` when it reads as a number (locale or C form, optional sign, no grouping
    /// needed); any other text comes back as it stands.
    QString formatText(QStringView text) const;

    /// One-shot convenience.
    static QString apply(const QString &picture, double value, const QLocale &locale = QLocale());

private:
    QString m_picture;
    QLocale m_locale;
    struct Parsed; // the picture's sections, parsed once

    std::shared_ptr<const Parsed> m_parsed;
};
