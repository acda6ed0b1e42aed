#include "yieldOnce.h"

#include <QCoreApplication>

void yieldOnce() {
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}
