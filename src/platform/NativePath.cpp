#include "NativePath.h"

#include "NativeText.h"

#include <QList>

#include <cerrno>
#include <climits>
#include <unistd.h>

namespace NativePath {

QByteArray fromText(QStringView text) {
    return NativeText::encode(text);
}

QString display(QByteArrayView path) {
    return NativeText::decode(path);
}

QByteArray clean(QByteArrayView path) {
    QByteArray full;
    if (!path.startsWith('/')) {
        char here[PATH_MAX];
        if (::getcwd(here, sizeof here))
            full = QByteArray(here) + '/';
    }
    full += path.toByteArray();
    QList<QByteArray> kept;
    for (const QByteArray &step : full.split('/')) {
        if (step.isEmpty() || step == ".")
            continue;
        if (step == "..") {
            if (!kept.isEmpty())
                kept.removeLast();
            continue;
        }
        kept.append(step);
    }
    QByteArray out;
    for (const QByteArray &step : std::as_const(kept))
        out += '/' + step;
    return out.isEmpty() ? QByteArray("/") : out;
}

QByteArray parentOf(QByteArrayView path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.first(slash).toByteArray();
}

QByteArray fileNameOf(QByteArrayView path) {
    return path.sliced(path.lastIndexOf('/') + 1).toByteArray();
}

int status(const QByteArray &path, struct stat &st, bool followLink) {
    const int result = followLink ? ::stat(path.constData(), &st) : ::lstat(path.constData(), &st);
    return result == 0 ? 0 : errno;
}

bool exists(const QByteArray &path) {
    struct stat st;
    return !path.isEmpty() && status(path, st, false) == 0;
}

bool isFolder(const QByteArray &path) {
    struct stat st;
    return !path.isEmpty() && status(path, st) == 0 && S_ISDIR(st.st_mode);
}

bool mayAccess(const QByteArray &path, bool folder) {
    return ::access(path.constData(), folder ? (R_OK | X_OK) : R_OK) == 0;
}

QString fileUri(const QByteArray &path) {
    return QStringLiteral("file://") + QString::fromLatin1(path.toPercentEncoding("/"));
}

QByteArray fromFileUri(const QByteArray &encodedUrl) {
    static constexpr QByteArrayView Scheme("file://");
    if (!encodedUrl.startsWith(Scheme))
        return {};
    QByteArray rest = encodedUrl.sliced(Scheme.size());
    // "file://host/path": only a local host names a file of ours.
    const qsizetype slash = rest.indexOf('/');
    if (slash < 0)
        return {};
    const QByteArray host = rest.first(slash);
    if (!host.isEmpty() && host != "localhost")
        return {};
    return QByteArray::fromPercentEncoding(rest.sliced(slash));
}

} // namespace NativePath
