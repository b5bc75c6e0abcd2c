#pragma once

#include "core/foundation/OneShotTimer.h"

#include <optional>

namespace vantorel {

// A OneShotTimer that fires only when the test says so; no real waiting.
class ManualOneShotTimer final : public OneShotTimer
{
public:
    void start(std::chrono::milliseconds delay, std::function<void()> timeout) override;
    void stop() override;
    bool isActive() const override { return m_delay.has_value(); }

    // The delay of the current start; none while stopped.
    std::optional<std::chrono::milliseconds> delay() const { return m_delay; }
    // Runs the pending callback as if its delay had passed. False when none is pending.
    bool fire();

private:
    std::optional<std::chrono::milliseconds> m_delay;
    std::function<void()> m_timeout;
};

} // namespace vantorel
