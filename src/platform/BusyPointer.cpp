#include "BusyPointer.h"

#include <QCursor>
#include <QGuiApplication>

BusyPointer::BusyPointer(Start start) {
    if (start == Now)
        set();
}

BusyPointer::~BusyPointer() {
    release();
}

void BusyPointer::set() {
    if (m_set || !qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return;
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    m_set = true;
}

void BusyPointer::release() {
    if (!m_set)
        return;
    m_set = false;
    QGuiApplication::restoreOverrideCursor();
}
