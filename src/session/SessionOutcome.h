#pragma once

#include "AppError.h"

#include <QByteArray>

#include <cstddef>
#include <exception>
#include <vector>

/// How a command of a scan session ended: done, aborted, or failed with the error's number
/// and description; and the folders a walk could not read (listed up to a bound, all counted).
struct SessionOutcome {
    enum class Status { Done, Aborted, Failed };

    struct Unreadable {
        QByteArray path; ///< the file system's bytes
        int error = 0;   ///< errno value
    };

    Status status = Status::Done;
    AppError error{0, QString()}; ///< when failed or aborted
    int root = -1;                ///< the scan root the command added, when it added one
    std::vector<Unreadable> unreadable;
    std::size_t unreadableCount = 0;

    bool done() const { return status == Status::Done; }
    /// The outcome of the exception being handled: aborted for the abort error, failed for
    /// any other.
    static SessionOutcome of(const std::exception_ptr &error);
};
