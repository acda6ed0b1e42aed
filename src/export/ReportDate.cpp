#include "ReportDate.h"

namespace {

// The locale's long time format with its time-zone fields ("t") taken out, quoted literal
// text kept as it is.
QString longTimeFormatWithoutZone(const QLocale &locale) {
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        else if (c == u't' && !quoted)
            continue;
        out += c;
    }
    out = out.trimmed();
    while (out.contains(QStringLiteral("  ")))
        out.replace(QStringLiteral("  "), QStringLiteral(" "));
    return out;
}

} // namespace

namespace GridExport {

QString reportDateLine(const QDateTime &when, const QLocale &locale) {
    return locale.toString(when.date(), QLocale::ShortFormat) + u' ' +
           locale.toString(when.time(), longTimeFormatWithoutZone(locale));
}

} // namespace GridExport
