#pragma once

#include "core/foundation/Clock.h"
#include "core/foundation/Date.h"

#include <memory>

namespace vantorel {

// A clock that only moves when told. Copies share the same time, and clock() hands out a Clock
// that reads it, so code under test and the test see one timeline.
class ManualClock
{
public:
    // Starts at 2026-03-01T00:00:00Z unless given a start.
    explicit ManualClock(Date start = Date::fromUnixSeconds(1'772'323'200.0));

    Date now() const;
    void set(Date date);
    void advance(double seconds);
    Clock clock() const;

private:
    std::shared_ptr<Date> m_now;
};

} // namespace vantorel
