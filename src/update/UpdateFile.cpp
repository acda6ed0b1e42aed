#include "UpdateFile.h"

#include <QUrl>

namespace UpdateFile {

std::optional<QString> payload(const QString &response, const char *tag) {
    const QString text = response.trimmed();
    const QLatin1StringView expected(tag);
    if (!text.startsWith(expected, Qt::CaseInsensitive))
        return std::nullopt;
    return text.mid(expected.size() + 1);
}

bool isWebAddress(const QString &address) {
    const QString trimmed = address.trimmed();
    for (QChar c : trimmed) {
        if (c.isSpace() || c.category() == QChar::Other_Control)
            return false;
    }
    const QUrl url(trimmed, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

} // namespace UpdateFile
