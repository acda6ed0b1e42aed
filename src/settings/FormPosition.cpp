#include "FormPosition.h"

#include "IniValue.h"
#include "basInitEntry.h"

#include <QScreen>
#include <QStringList>
#include <QWidget>

#include <cmath>

namespace FormPosition {

namespace {

QStringList fiveFields(const QString &record) {
    QStringList fields = record.split(u',');
    while (fields.size() < 5)
        fields << QString();
    return fields.mid(0, 5);
}

QString lengthText(double twips) {
    return QString::number(std::lround(twips));
}

// Steps for one axis: a usable length capped at the screen, then the start pushed on-screen.
void fitAxis(double &start, double &length, double screen, double presentLength) {
    length = length > 149 ? std::min(length, screen) : presentLength;
    if (start < 0)
        start = 0;
    if (screen - length < start)
        start = screen - length;
}

} // namespace

QString recordFor(WindowState state, const Placement &normal, const QString &storedRecord) {
    QStringList fields;
    if (state == WindowState::Normal) {
        fields << lengthText(normal.left) << lengthText(normal.top) << lengthText(normal.width)
               << lengthText(normal.height) << QStringLiteral("0");
        return fields.join(u',');
    }
    if (!storedRecord.isEmpty())
        fields = fiveFields(storedRecord);
    else
        fields = {"-1", "-1", "-1", "-1", QString()};
    fields[4] = state == WindowState::Maximized ? QStringLiteral("1") : QStringLiteral("0");
    return fields.join(u',');
}

Placement placementFrom(const QString &record, double screenWidth, double screenHeight,
                        const Placement &present) {
    Placement p;
    if (!record.isEmpty()) {
        const QStringList f = fiveFields(record);
        p.left = std::round(IniValue::Val(f[0].trimmed()));
        p.top = std::round(IniValue::Val(f[1].trimmed()));
        p.width = std::round(IniValue::Val(f[2].trimmed()));
        p.height = std::round(IniValue::Val(f[3].trimmed()));
        p.maximized = IniValue::ToDouble(f[4]) == 1;
    } else {
        p.left = std::round((screenWidth - present.width) / 2);
        p.top = std::round((screenHeight - present.height) / 2);
        p.width = present.width;
        p.height = present.height;
        p.maximized = present.maximized;
    }
    fitAxis(p.left, p.width, screenWidth, present.width);
    fitAxis(p.top, p.height, screenHeight, present.height);
    return p;
}

double twipsPerPixel(const QWidget *widget) {
    const double dpi = widget ? widget->logicalDpiX() : 96.0;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

namespace {
QRect availableArea(const QWidget *form) {
    const QScreen *screen = form->screen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}
} // namespace

// Positions are kept relative to the screen's available area, the space that placing clamps to.
void SaveFormPosition(QWidget *form, const QString &file) {
    const double tpp = twipsPerPixel(form);
    const QRect g = form->normalGeometry().isValid() ? form->normalGeometry() : form->geometry();
    const QRect avail = availableArea(form);
    const Placement normal{(g.x() - avail.x()) * tpp, (g.y() - avail.y()) * tpp, g.width() * tpp,
                           g.height() * tpp, false};
    const WindowState state = form->isMaximized()   ? WindowState::Maximized
                              : form->isMinimized() ? WindowState::Minimized
                                                    : WindowState::Normal;
    const QString name = form->objectName();
    const QString stored =
        state == WindowState::Normal
            ? QString()
            : basInitEntry::ReadIniEntry(QStringLiteral("Positions"), name, QString(), file);
    basInitEntry::WriteIniEntry(QStringLiteral("Positions"), name, recordFor(state, normal, stored),
                                file);
}

void LoadFormPosition(QWidget *form, const QString &file) {
    const double tpp = twipsPerPixel(form);
    const QString record = basInitEntry::ReadIniEntry(QStringLiteral("Positions"),
                                                      form->objectName(), QString(), file);
    const QRect avail = availableArea(form);
    const QRect g = form->geometry();
    const Placement present{(g.x() - avail.x()) * tpp, (g.y() - avail.y()) * tpp, g.width() * tpp,
                            g.height() * tpp, form->isMaximized()};
    const Placement p = placementFrom(record, avail.width() * tpp, avail.height() * tpp, present);
    form->setGeometry(avail.x() + static_cast<int>(std::lround(p.left / tpp)),
                      avail.y() + static_cast<int>(std::lround(p.top / tpp)),
                      static_cast<int>(std::lround(p.width / tpp)),
                      static_cast<int>(std::lround(p.height / tpp)));
    if (p.maximized)
        form->setWindowState(form->windowState() | Qt::WindowMaximized);
}

} // namespace FormPosition
