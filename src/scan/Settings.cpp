#include "Settings.h"

#include <algorithm>

namespace {

void trimOrDefault(QString &value, const QString &fallback) {
    value = value.trimmed();
    if (value.isEmpty())
        value = fallback;
}

void trimList(QStringList &items) {
    QStringList kept;
    for (const QString &item : items) {
        const QString t = item.trimmed();
        if (!t.isEmpty())
            kept.append(t);
    }
    items = kept;
}

} // namespace

void Settings::repair() {
    trimOrDefault(Match_Parameters, QStringLiteral("*.*"));
    if (Redraw_Scan_Progress < 0 || Redraw_Scan_Progress > 2)
        Redraw_Scan_Progress = 0;
    if (Object_Size < 0 || Object_Size > 3)
        Object_Size = 0;
    trimOrDefault(Object_Size_Format, QStringLiteral("#,##0.##"));
    if (Chart_Type < 0 || Chart_Type > 1)
        Chart_Type = 0;
    trimOrDefault(Other_Label, QStringLiteral("Other"));
    if (fgTree_Width < 0)
        fgTree_Width = 5500;
    if (chMain_Width < 0)
        chMain_Width = 5775;
    Opacity = Opacity.trimmed();

    Start_Path_Number = std::clamp(Start_Path_Number, 1, MaxListItems);
    Start_Path_Current = Start_Path_Current.trimmed();
    trimList(Start_Path_Items);
    if (Start_Path_Items.size() > MaxListItems)
        Start_Path_Items = Start_Path_Items.mid(0, MaxListItems);

    if (Match_Parameter_Number <= 0) {
        Match_Parameter_Number = 0;
        Match_Parameter_Items = QStringList{QStringLiteral("*.*")};
    } else {
        Match_Parameter_Number = std::min(Match_Parameter_Number, MaxListItems);
        trimList(Match_Parameter_Items);
        if (Match_Parameter_Items.size() > MaxListItems)
            Match_Parameter_Items = Match_Parameter_Items.mid(0, MaxListItems);
    }
}

int Settings::sortMenuIndex(int sortValue) {
    switch (sortValue) {
    case 100:
        return 0;
    case 101:
        return 1;
    case 200:
        return 3;
    case 201:
        return 4;
    case 300:
        return 6;
    case 301:
        return 7;
    default:
        return 9;
    }
}

std::int32_t Settings::sizeFactorOf(int objectSize) {
    switch (objectSize) {
    case 1:
        return 1024;
    case 2:
        return 1048576;
    case 3:
        return 1073741824;
    default:
        return 1;
    }
}

QString Settings::sizeUnitOf(int objectSize) {
    switch (objectSize) {
    case 1:
        return QStringLiteral("KB");
    case 2:
        return QStringLiteral("MB");
    case 3:
        return QStringLiteral("GB");
    default:
        return QStringLiteral("B");
    }
}
