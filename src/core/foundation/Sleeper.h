#pragma once

#include "core/foundation/CancelToken.h"

#include <QCoroTask>

namespace vantorel {

// Suspends a coroutine for a while. Code that waits takes a Sleeper& so tests can substitute
// ManualSleeper (tests/support) and move time by hand.
class Sleeper
{
public:
    virtual ~Sleeper() = default;

    // Resumes after `seconds`. Throws CancellationError if the token is cancelled before or
    // during the wait; cancelling wakes the sleeper at once rather than at the deadline. A zero,
    // negative or NaN duration returns without waiting (after the cancellation check); infinity
    // waits until cancelled. Implementations do not touch the sleeper after the wake-up, so a
    // sleep may end after its Sleeper is gone.
    virtual QCoro::Task<> sleep(double seconds, CancelToken token) = 0;
};

} // namespace vantorel
