#include "WalkLimits.h"

#include <QStringList>

void WalkLimits::reset(const QByteArray &startPath) {
    m_start = startPath;
    m_mounts.clear();
    setExcluded(QString());
}

void WalkLimits::addMount(const QByteArray &relative, Skip skip) {
    if (skip == Skip::None)
        m_mounts.remove(relative);
    else
        m_mounts.insert(relative, skip);
}

void WalkLimits::setExcluded(const QString &patterns) {
    QStringList names, paths;
    for (const QString &piece : patterns.split(u';', Qt::SkipEmptyParts)) {
        QString pattern = piece.trimmed();
        while (pattern.size() > 1 && pattern.endsWith(u'/'))
            pattern.chop(1); // "/home/ana/cache/" names the folder itself
        if (!pattern.isEmpty())
            (pattern.contains(u'/') ? paths : names).append(pattern);
    }
    m_byName = !names.isEmpty();
    m_byPath = !paths.isEmpty();
    m_names = FilePattern(names.join(u';'));
    m_paths = FilePattern(paths.join(u';'));
}

WalkLimits::Skip WalkLimits::skipOf(const QByteArray &relative) const {
    if (!m_mounts.isEmpty())
        if (auto it = m_mounts.constFind(relative); it != m_mounts.cend())
            return *it;
    if (m_byName) {
        const qsizetype end = relative.size() - 1; // before the trailing "/"
        const qsizetype from = relative.lastIndexOf('/', end - 1) + 1;
        if (m_names.matches(relative.constData() + from, static_cast<std::size_t>(end - from)))
            return Skip::Excluded;
    }
    if (m_byPath) {
        const QByteArray full = m_start + relative.chopped(1);
        if (m_paths.matches(full.constData(), static_cast<std::size_t>(full.size())))
            return Skip::Excluded;
    }
    return Skip::None;
}

QString WalkLimits::noteOf(Skip skip) {
    switch (skip) {
    case Skip::OtherFileSystem:
        return QStringLiteral("Not scanned: another file system is mounted here");
    case Skip::Excluded:
        return QStringLiteral("Not scanned: excluded in the options");
    default:
        return QString();
    }
}
