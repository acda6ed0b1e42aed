#include "Interrupt.h"

#include "AppError.h"

#include <atomic>

namespace Interrupt {

namespace {

std::atomic<bool> flag{false};
static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler must be able to set it");

} // namespace

void request() noexcept {
    flag.store(true, std::memory_order_relaxed);
}

bool requested() noexcept {
    return flag.load(std::memory_order_relaxed);
}

void check() {
    if (requested())
        throw AppError(AppError::ScanAborted, QStringLiteral("Interrupted."));
}

void clear() noexcept {
    flag.store(false, std::memory_order_relaxed);
}

} // namespace Interrupt
