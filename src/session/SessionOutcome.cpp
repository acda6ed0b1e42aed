#include "SessionOutcome.h"

#include "HandlerTrap.h"

SessionOutcome SessionOutcome::of(const std::exception_ptr &error) {
    SessionOutcome outcome;
    outcome.error = HandlerTrap::toAppError(error);
    outcome.status =
        outcome.error.number() == AppError::ScanAborted ? Status::Aborted : Status::Failed;
    return outcome;
}
