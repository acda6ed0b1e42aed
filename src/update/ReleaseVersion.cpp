#include "ReleaseVersion.h"

#include <QStringList>

ReleaseVersion ReleaseVersion::program() {
    return {CAIRNMETER_VERSION_MAJOR, CAIRNMETER_VERSION_MINOR, CAIRNMETER_VERSION_PATCH};
}

std::optional<ReleaseVersion> ReleaseVersion::parse(QStringView text) {
    const QList<QStringView> pieces = text.split(u'.');
    if (pieces.size() < 3)
        return std::nullopt;
    // The first three parts are major, minor and revision; a fourth (a build number, as in
    // "1.0.6.1") and any after it are not compared.
    const QStringView parts[] = {pieces[0], pieces[1], pieces[2]};
    std::int16_t numbers[3] = {};
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        const short n = parts[i].trimmed().toShort(&ok, 10);
        if (!ok)
            return std::nullopt;
        numbers[i] = n;
    }
    return ReleaseVersion{numbers[0], numbers[1], numbers[2]};
}

QString ReleaseVersion::text() const {
    return QString::number(major) + u'.' + QString::number(minor) + u'.' +
           QString::number(revision);
}
