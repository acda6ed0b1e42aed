#include "Settings.h"

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
