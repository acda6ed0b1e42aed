#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace GridExport {

/// The date line of the HTML and PDF reports: the locale's short date, a blank and its long
/// time, without the time zone the long time format of most locales ends with.
QString reportDateLine(const QDateTime &when, const QLocale &locale = QLocale());

} // namespace GridExport
