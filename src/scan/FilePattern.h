#pragma once

#include <QString>

#include <cstddef>
#include <vector>

/// A file name pattern such as "*.mp3;*.mp2;*.mp1": one or more wildcards separated by ";" (blanks
/// around each ignored), "*" any run of characters, "?" one character, matched against the whole
/// file name without regard to case. "*.*" matches every name, with or without a dot. Compiled
/// once, then matched against many names.
class FilePattern {
public:
    /// The pattern that matches every file name.
    static constexpr QLatin1StringView AllFiles{"*.*"};

    explicit FilePattern(const QString &pattern = AllFiles);

    /// True when every name matches, so a caller may skip matching.
    bool matchesAll() const { return m_all; }
    /// Matches a file name given as the bytes the file system holds (UTF-8 as a rule).
    bool matches(const char *name, std::size_t length) const;
    bool matches(const QString &name) const;

private:
    struct Wildcard {
        QByteArray ascii; ///< lower-case bytes, when the wildcard is pure ASCII
        QString folded;   ///< case-folded, for names that are not pure ASCII
    };
    std::vector<Wildcard> m_wildcards;
    static bool matchFolded(const Wildcard &wildcard, const QString &name);
    bool m_all = false;
};
