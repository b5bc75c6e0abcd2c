#include "support/ManualClock.h"

namespace vantorel {

ManualClock::ManualClock(Date start)
    : m_now(std::make_shared<Date>(start))
{
}

Date ManualClock::now() const
{
    return *m_now;
}

void ManualClock::set(Date date)
{
    *m_now = date;
}

void ManualClock::advance(double seconds)
{
    *m_now += seconds;
}

Clock ManualClock::clock() const
{
    return [now = m_now] { return *now; };
}

} // namespace vantorel
