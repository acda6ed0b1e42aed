#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>

/// Conversions of stored setting texts, as the settings catalogue applies them.
namespace IniValue {

/// The lenient numeric value: leading blanks skipped, then the longest leading run that forms
/// a decimal number (sign, digits, "." and digits, exponent) is read; anything after it is
/// ignored, and a text without such a run is 0.
double Val(QStringView text);

/// Strict conversions: the whole text (blanks around it allowed) must be a number, else a
/// type mismatch (13) is raised; the number is rounded half to even and must fit the type,
/// else an overflow (6) is raised.
std::int16_t ToInt16(const QString &text);
std::int32_t ToInt32(const QString &text);
/// Strict number, not rounded.
double ToDouble(const QString &text);
/// Strict boolean: a number, true when it is not 0.
bool ToBool(const QString &text);
/// A stored colour: the lenient value, converted to a 32-bit integer (overflow when it does not
/// fit) and kept as the unsigned bit pattern 0x00BBGGRR / system colour.
std::uint32_t ToColor(const QString &text);

} // namespace IniValue
