#include "yieldOnce.h"

#include <QCoreApplication>

#include <chrono>

namespace {

// A turn that took this long held back whatever came in while it ran.
constexpr std::chrono::steady_clock::duration LongTurn = std::chrono::milliseconds(2);

} // namespace

void yieldOnce() {
    if (!QCoreApplication::instance())
        return;
    const auto start = std::chrono::steady_clock::now();
    QCoreApplication::processEvents();
    // What the turn's timers asked for (a buffered repaint, a layout) is done in this turn too,
    // not at the start of the next one, on top of the next slice of work.
    QCoreApplication::sendPostedEvents();
    // A repaint, or a processor taken by other programs, can make a turn last longer than the
    // work between turns; the input that came in meanwhile is handled now, not after the next
    // slice of work. The second turn finds little else to do.
    if (std::chrono::steady_clock::now() - start >= LongTurn)
        QCoreApplication::processEvents();
}
