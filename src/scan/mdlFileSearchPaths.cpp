// The walker's path and file helpers, also used by start-up and the scan command.
#include "mdlFileSearch.h"

#include <QFile>

#include <sys/stat.h>

bool mdlFileSearch::MatchesSpec(const QString &name, const QString &pattern) {
    return FilePattern(pattern).matches(name);
}

Fixed mdlFileSearch::FileSizeOf(const QString &path) {
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return Fixed();
    return Fixed::fromInt(st.st_size);
}

QString mdlFileSearch::StripNul(const QString &text) {
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

QString mdlFileSearch::NormalizePath(const QString &path) {
    QString p = StripNul(path);
    if (!p.endsWith(u'/'))
        p.append(u'/');
    return p;
}

QString mdlFileSearch::StripTrailingSlash(const QString &path) {
    qsizetype from = 0, to = path.size();
    while (from < to && path[from] == u' ')
        ++from;
    while (to > from && path[to - 1] == u' ')
        --to;
    if (to > from && path[to - 1] == u'/')
        --to;
    return path.sliced(from, to - from);
}

bool mdlFileSearch::FolderExists(const QString &path) {
    QString p = StripTrailingSlash(path);
    // Stripping the root's only "/" would leave nothing to look up.
    if (p.isEmpty() && path.contains(u'/'))
        p = QStringLiteral("/");
    if (p.isEmpty())
        return false;
    struct stat st;
    return ::stat(QFile::encodeName(p).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}
