#pragma once

/// The process-wide request to stop that a termination signal makes during a command-line
/// run. A signal handler may set it (it is a lock-free atomic), and every long loop that
/// already looks for the Abort button looks at it too, so a run stops within moments wherever
/// it is, even where the event loop does not turn.
namespace Interrupt {

/// Sets the request; async-signal-safe.
void request() noexcept;
/// Whether a stop was requested.
bool requested() noexcept;
/// Raises the abort error (AppError::ScanAborted) when a stop was requested.
void check();
/// Clears the request (for the next run in the same process).
void clear() noexcept;

} // namespace Interrupt
