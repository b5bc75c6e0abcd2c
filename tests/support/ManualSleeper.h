#pragma once

#include "support/ManualClock.h"
#include "core/foundation/Sleeper.h"

#include <QList>

#include <memory>
#include <optional>

namespace vantorel {

// A Sleeper driven by a ManualClock: sleeps end only when the test advances time past their
// deadline, in deadline order (ties in the order they began), each at its own deadline. After
// each wake-up the event loop is drained (drainEvents), so a woken coroutine runs, and may sleep
// again, before time moves on. Deterministic; no real waiting.
class ManualSleeper final : public Sleeper
{
public:
    explicit ManualSleeper(ManualClock clock = ManualClock());
    ~ManualSleeper() override;

    QCoro::Task<> sleep(double seconds, CancelToken token) override;

    ManualClock clock() const;

    // Moves the clock forward by `seconds`, waking every sleep due on the way.
    void advance(double seconds);
    // Moves the clock to the earliest deadline and wakes what is due then. False if none waits.
    bool advanceToNextDeadline();

    // Sleeps currently waiting.
    int pendingCount() const;
    std::optional<Date> nextDeadline() const;
    // Every duration asked for so far, in call order (zero and negative ones included).
    QList<double> requestedDurations() const;

private:
    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace vantorel
