#include "ColumnFit.h"

#include "OutlineGridView.h"
#include "TreeCol.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

std::array<std::int32_t, Settings::ColumnCount> fittedColumnWidths(const OutlineGridView &view,
                                                                   double tpp) {
    // As the grid shows them: grouped, even in a locale that leaves out group separators.
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    const QString size = locale.toString(999999.99, 'f', 2);
    const QString files = locale.toString(9999999);
    int unit = 0;
    for (const char *text : {"B", "KB", "MB", "GB"})
        unit = std::max(unit, view.cellWidthFor(QString::fromLatin1(text), true));
    // Root rows are bold, so their widths count.
    std::array<int, Settings::ColumnCount> needed{}; // pixels
    needed[TreeCol::Size] =
        std::max(view.cellWidthFor(size, true), view.headerWidthFor(QStringLiteral("Size")));
    needed[TreeCol::Unit] = unit;
    needed[TreeCol::Files] =
        std::max(view.cellWidthFor(files, true), view.headerWidthFor(QStringLiteral("# of Files")));
    const double growth = std::max(1.0, view.fontMetrics().height() / 13.0);
    std::array<std::int32_t, Settings::ColumnCount> widths{};
    for (std::size_t i = 0; i < widths.size(); ++i)
        widths[i] =
            needed[i] > 0
                ? std::max(Settings::DefaultColWidths[i],
                           static_cast<std::int32_t>(std::ceil(needed[i] * tpp)))
                : static_cast<std::int32_t>(std::ceil(Settings::DefaultColWidths[i] * growth));
    return widths;
}
