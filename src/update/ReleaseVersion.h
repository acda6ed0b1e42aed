#pragma once

#include <QString>
#include <QStringView>

#include <compare>
#include <cstdint>
#include <optional>

/// A release number: major, minor and revision, each a 16-bit integer, compared in that order.
struct ReleaseVersion {
    std::int16_t major = 0;
    std::int16_t minor = 0;
    std::int16_t revision = 0;

    /// This program's own version (1.0.5).
    static ReleaseVersion program();

    /// Reads a published version: the text split at "." into at most three parts, each a
    /// whole number in the 16-bit range (blanks around it allowed). Empty when a part is
    /// missing, is not a number or is out of range; a fourth part stays joined to the third and
    /// so is refused as well.
    static std::optional<ReleaseVersion> parse(QStringView text);

    /// The three numbers joined by ".", as in 1.0.5.
    QString text() const;

    friend auto operator<=>(const ReleaseVersion &, const ReleaseVersion &) = default;
};
