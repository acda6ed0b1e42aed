#include "MakerSite.h"

#include <QtGlobal>

namespace MakerSite {

QString updateServer() {
    QString base = qEnvironmentVariable("CAIRNMETER_UPDATE_URL").trimmed();
    if (base.isEmpty())
        base = QStringLiteral(CAIRNMETER_UPDATE_URL);
    while (base.endsWith(u'/'))
        base.chop(1);
    return base;
}

QUrl updateFileUrl(const QString &fileName) {
    return QUrl(updateServer() + QStringLiteral("/files/") + fileName, QUrl::StrictMode);
}

} // namespace MakerSite
