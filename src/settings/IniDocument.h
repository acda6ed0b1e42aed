#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

/// A settings file held in memory as its lines, so that a change rewrites only the lines it
/// must: every other line (comments, unknown keys, text that is not UTF-8, its line end) comes
/// back byte for byte.
///
/// Reading follows the usual conventions of hand-edited INI files: names match without regard
/// to case, blanks around names and values are ignored, a value wrapped in one pair of double
/// quotes reads without them, and a section header may be followed by a comment
/// ("[Scan] ; note"). Values are single lines of at most MaxValueLength characters; bytes that
/// are not UTF-8 read as NativeText escapes and are written back as the same bytes.
class IniDocument {
public:
    static constexpr int MaxValueLength = 2047;

    IniDocument() = default;
    explicit IniDocument(const QByteArray &bytes);

    QByteArray bytes() const;
    bool isEmpty() const { return m_lines.empty() && m_bom.isEmpty(); }

    /// The value of a key, or nothing when the section or key is missing.
    std::optional<QString> value(const QString &section, const QString &key) const;
    /// Writes key=value: an existing key's line is replaced; a new key goes after the last
    /// non-blank line of its section, a new section to the end of the file. An empty value
    /// removes the key instead.
    void setValue(const QString &section, const QString &key, const QString &value);
    void removeKey(const QString &section, const QString &key);
    void removeSection(const QString &section);

private:
    struct Line {
        QByteArray text; // without its line end
        QByteArray end;  // "\r\n", "\n", "\r", or empty for a last line without one
    };
    QByteArray m_bom;
    std::vector<Line> m_lines;

    static std::optional<QString> sectionName(const QByteArray &line);
    int findSection(const QString &section) const;
    int sectionEnd(int header) const;
    int findKey(int header, int end, const QString &key) const;
    QByteArray newLineEnd() const;
    void insertLine(int at, const QByteArray &text);
};
