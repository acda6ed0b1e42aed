#include "basInitEntry.h"

#include "IniValue.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

#include <optional>

namespace basInitEntry {

namespace {

// The file as lines, so that a write changes only the lines it must.
struct IniLines {
    QStringList lines;

    static IniLines load(const QString &file) {
        IniLines ini;
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            return ini;
        QString text = QString::fromUtf8(f.readAll());
        if (text.startsWith(QChar(0xfeff)))
            text.remove(0, 1);
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        text.replace(u'\r', u'\n');
        ini.lines = text.split(u'\n');
        if (!ini.lines.isEmpty() && ini.lines.last().isEmpty())
            ini.lines.removeLast(); // the final line end
        return ini;
    }

    bool save(const QString &file) const {
        QSaveFile f(file);
        if (!f.open(QIODevice::WriteOnly))
            return false;
        QByteArray out;
        for (const QString &line : lines) {
            out += line.toUtf8();
            out += "\r\n";
        }
        if (f.write(out) != out.size())
            return false;
        return f.commit();
    }

    static std::optional<QString> sectionName(const QString &line) {
        const QString t = line.trimmed();
        if (t.size() < 2 || !t.startsWith(u'[') || !t.endsWith(u']'))
            return std::nullopt;
        return t.mid(1, t.size() - 2).trimmed();
    }

    // First line of the named section's header, or -1.
    int findSection(const QString &section) const {
        for (int i = 0; i < lines.size(); ++i) {
            const auto name = sectionName(lines[i]);
            if (name && name->compare(section, Qt::CaseInsensitive) == 0)
                return i;
        }
        return -1;
    }

    // One past the section's last line (the next header or the end of the file).
    int sectionEnd(int header) const {
        int i = header + 1;
        while (i < lines.size() && !sectionName(lines[i]))
            ++i;
        return i;
    }

    // The key's line inside [header, end), or -1; fills value when found.
    int findKey(int header, int end, const QString &key, QString *value = nullptr) const {
        for (int i = header + 1; i < end; ++i) {
            const QString &line = lines[i];
            const qsizetype eq = line.indexOf(u'=');
            if (eq < 0)
                continue;
            const QString name = line.left(eq).trimmed();
            if (name.startsWith(u';') || name.startsWith(u'#'))
                continue;
            if (name.compare(key, Qt::CaseInsensitive) == 0) {
                if (value)
                    *value = line.mid(eq + 1).trimmed();
                return i;
            }
        }
        return -1;
    }
};

// A value as it can be stored: one line, at most the longest length kept.
QString storable(const QString &value) {
    QString v = value;
    v.replace(u'\r', u' ');
    v.replace(u'\n', u' ');
    return v.left(MaxValueLength);
}

} // namespace

QString ReadIniEntry(const QString &section, const QString &key, const QString &defaultValue,
                     const QString &file) {
    const IniLines ini = IniLines::load(file);
    const int header = ini.findSection(section.trimmed());
    if (header < 0)
        return defaultValue.left(MaxValueLength);
    QString value;
    if (ini.findKey(header, ini.sectionEnd(header), key.trimmed(), &value) < 0)
        return defaultValue.left(MaxValueLength);
    return value.left(MaxValueLength);
}

int WriteIniEntry(const QString &section, const QString &key, const QString &value,
                  const QString &file) {
    IniLines ini = IniLines::load(file);
    const QString sec = section.trimmed(), k = key.trimmed();
    const int header = ini.findSection(sec);
    if (k.isEmpty()) { // delete the section
        if (header < 0)
            return 1;
        ini.lines.erase(ini.lines.begin() + header, ini.lines.begin() + ini.sectionEnd(header));
        return ini.save(file) ? 1 : 0;
    }
    const int end = header < 0 ? -1 : ini.sectionEnd(header);
    const int at = header < 0 ? -1 : ini.findKey(header, end, k);
    if (value.isEmpty()) { // delete the key
        if (at < 0)
            return 1;
        ini.lines.removeAt(at);
        return ini.save(file) ? 1 : 0;
    }
    const QString line = k + u'=' + storable(value);
    if (at >= 0) {
        ini.lines[at] = line;
    } else if (header >= 0) {
        int insertAt = end; // after the section's last non-blank line
        while (insertAt > header + 1 && ini.lines[insertAt - 1].trimmed().isEmpty())
            --insertAt;
        ini.lines.insert(insertAt, line);
    } else {
        ini.lines << u'[' + sec + u']' << line;
    }
    return ini.save(file) ? 1 : 0;
}

bool IniValueToBool(const QString &text) {
    return IniValue::ToBool(text);
}

QString AddBackslash(const QString &path) {
    return path.endsWith(u'/') ? path : path + u'/';
}

} // namespace basInitEntry
