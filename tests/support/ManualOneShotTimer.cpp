#include "support/ManualOneShotTimer.h"

namespace vantorel {

void ManualOneShotTimer::start(std::chrono::milliseconds delay, std::function<void()> timeout)
{
    m_delay = delay;
    m_timeout = std::move(timeout);
}

void ManualOneShotTimer::stop()
{
    m_delay.reset();
    m_timeout = {};
}

bool ManualOneShotTimer::fire()
{
    if (!m_delay)
        return false;
    const auto timeout = std::move(m_timeout);
    stop();
    timeout();
    return true;
}

} // namespace vantorel
