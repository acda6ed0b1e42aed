#include "SystemInfo.h"

#include <QFile>
#include <QRegularExpression>

#include <sys/utsname.h>

namespace SystemInfo {

OSVersion parseRelease(const QString &release) {
    static const QRegularExpression re(QStringLiteral("^(\\d+)\\.(\\d+)(?:\\.(\\d+))?"));
    OSVersion v;
    const auto m = re.match(release);
    if (!m.hasMatch())
        return v;
    const int major = m.captured(1).toInt(), minor = m.captured(2).toInt();
    const int patch = m.captured(3).isEmpty() ? 0 : m.captured(3).toInt();
    v.number = major * 100 + minor;
    v.text = QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(patch);
    return v;
}

QString prettyName(const QString &osRelease) {
    for (const QString &line : osRelease.split(u'\n')) {
        if (!line.startsWith(QLatin1String("PRETTY_NAME=")))
            continue;
        QString value = line.mid(12).trimmed();
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
            value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return QString();
}

const OSVersion &GetOSVersion() {
    static const OSVersion version = [] {
        utsname u{};
        OSVersion v =
            uname(&u) == 0 ? parseRelease(QString::fromLocal8Bit(u.release)) : OSVersion();
        for (const char *path : {"/etc/os-release", "/usr/lib/os-release"}) {
            QFile f(QString::fromLatin1(path));
            if (f.open(QIODevice::ReadOnly)) {
                v.name = prettyName(QString::fromUtf8(f.readAll()));
                break;
            }
        }
        if (v.name.isEmpty())
            v.name = QStringLiteral("Linux");
        return v;
    }();
    return version;
}

} // namespace SystemInfo
