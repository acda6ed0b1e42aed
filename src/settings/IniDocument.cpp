#include "IniDocument.h"

#include "NativeText.h"

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

QByteArray trimmedBlanks(QByteArrayView b) {
    qsizetype from = 0, to = b.size();
    while (from < to && isBlank(b[from]))
        ++from;
    while (to > from && isBlank(b[to - 1]))
        --to;
    return b.sliced(from, to - from).toByteArray();
}

bool isComment(const QByteArray &trimmed) {
    return trimmed.startsWith(';') || trimmed.startsWith('#');
}

// A value as a line can hold it: one line, at most the longest length kept, and wrapped in
// quotes when it would otherwise read back without its own.
QByteArray storedValue(const QString &value) {
    QString v = value;
    v.replace(u'\r', u' ');
    v.replace(u'\n', u' ');
    v.truncate(IniDocument::MaxValueLength);
    const QString t = v.trimmed();
    if (t.size() >= 2 && t.startsWith(u'"') && t.endsWith(u'"'))
        v = u'"' + v + u'"';
    return NativeText::encode(v);
}

} // namespace

IniDocument::IniDocument(const QByteArray &bytes) {
    qsizetype i = 0;
    if (bytes.startsWith("\xef\xbb\xbf")) {
        m_bom = bytes.left(3);
        i = 3;
    }
    while (i < bytes.size()) {
        qsizetype e = i;
        while (e < bytes.size() && bytes[e] != '\n' && bytes[e] != '\r')
            ++e;
        Line line{bytes.sliced(i, e - i), {}};
        if (e < bytes.size()) {
            const qsizetype endLength =
                bytes[e] == '\r' && e + 1 < bytes.size() && bytes[e + 1] == '\n' ? 2 : 1;
            line.end = bytes.sliced(e, endLength);
            e += endLength;
        }
        m_lines.push_back(std::move(line));
        i = e;
    }
}

QByteArray IniDocument::bytes() const {
    QByteArray out = m_bom;
    for (const Line &line : m_lines)
        out += line.text + line.end;
    return out;
}

std::optional<QString> IniDocument::sectionName(const QByteArray &line) {
    const QByteArray t = trimmedBlanks(line);
    if (!t.startsWith('['))
        return std::nullopt;
    const qsizetype close = t.indexOf(']');
    if (close < 0)
        return std::nullopt;
    const QByteArray rest = trimmedBlanks(QByteArrayView(t).sliced(close + 1));
    if (!rest.isEmpty() && !isComment(rest))
        return std::nullopt;
    return NativeText::decode(t.mid(1, close - 1)).trimmed();
}

int IniDocument::findSection(const QString &section) const {
    for (int i = 0; i < static_cast<int>(m_lines.size()); ++i) {
        const auto name = sectionName(m_lines[static_cast<std::size_t>(i)].text);
        if (name && name->compare(section, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int IniDocument::sectionEnd(int header) const {
    int i = header + 1;
    while (i < static_cast<int>(m_lines.size()) &&
           !sectionName(m_lines[static_cast<std::size_t>(i)].text))
        ++i;
    return i;
}

int IniDocument::findKey(int header, int end, const QString &key) const {
    for (int i = header + 1; i < end; ++i) {
        const QByteArray &text = m_lines[static_cast<std::size_t>(i)].text;
        const qsizetype eq = text.indexOf('=');
        if (eq < 0)
            continue;
        const QByteArray name = trimmedBlanks(QByteArrayView(text).first(eq));
        if (isComment(name))
            continue;
        if (NativeText::decode(name).compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

std::optional<QString> IniDocument::value(const QString &section, const QString &key) const {
    const int header = findSection(section.trimmed());
    if (header < 0)
        return std::nullopt;
    const int at = findKey(header, sectionEnd(header), key.trimmed());
    if (at < 0)
        return std::nullopt;
    const QByteArray &text = m_lines[static_cast<std::size_t>(at)].text;
    QByteArray v = trimmedBlanks(QByteArrayView(text).sliced(text.indexOf('=') + 1));
    if (v.size() >= 2 && v.startsWith('"') && v.endsWith('"'))
        v = v.mid(1, v.size() - 2);
    return NativeText::decode(v).left(MaxValueLength);
}

// New and rewritten lines end like the file's first line, so a file keeps one style; a new
// file gets CR LF.
QByteArray IniDocument::newLineEnd() const {
    for (const Line &line : m_lines)
        if (!line.end.isEmpty())
            return line.end;
    return QByteArrayLiteral("\r\n");
}

void IniDocument::insertLine(int at, const QByteArray &text) {
    const QByteArray end = newLineEnd();
    // The line before may be the file's last one without a line end.
    if (at > 0 && m_lines[static_cast<std::size_t>(at - 1)].end.isEmpty())
        m_lines[static_cast<std::size_t>(at - 1)].end = end;
    m_lines.insert(m_lines.begin() + at, Line{text, end});
}

void IniDocument::setValue(const QString &section, const QString &key, const QString &value) {
    if (value.isEmpty()) {
        removeKey(section, key);
        return;
    }
    const QString sec = section.trimmed(), k = key.trimmed();
    const QByteArray line = NativeText::encode(k) + '=' + storedValue(value);
    const int header = findSection(sec);
    if (header < 0) {
        const int at = static_cast<int>(m_lines.size());
        insertLine(at, '[' + NativeText::encode(sec) + ']');
        insertLine(at + 1, line);
        return;
    }
    const int end = sectionEnd(header);
    const int at = findKey(header, end, k);
    if (at >= 0) {
        Line &old = m_lines[static_cast<std::size_t>(at)];
        old.text = line;
        if (old.end.isEmpty() && at + 1 < static_cast<int>(m_lines.size()))
            old.end = newLineEnd();
        return;
    }
    int insertAt = end; // after the section's last non-blank line
    while (insertAt > header + 1 &&
           trimmedBlanks(m_lines[static_cast<std::size_t>(insertAt - 1)].text).isEmpty())
        --insertAt;
    insertLine(insertAt, line);
}

void IniDocument::removeKey(const QString &section, const QString &key) {
    const int header = findSection(section.trimmed());
    if (header < 0)
        return;
    // Every line of the key goes: a hand-edited file may hold it twice, and the second would
    // otherwise be read once the first is gone.
    const QString k = key.trimmed();
    for (int at; (at = findKey(header, sectionEnd(header), k)) >= 0;)
        m_lines.erase(m_lines.begin() + at);
}

void IniDocument::removeSection(const QString &section) {
    // Every section of the name goes, for the same reason as a key's lines in removeKey().
    const QString name = section.trimmed();
    for (int header; (header = findSection(name)) >= 0;)
        m_lines.erase(m_lines.begin() + header, m_lines.begin() + sectionEnd(header));
}
