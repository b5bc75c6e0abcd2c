#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace vantorel {

// A timer that calls back once after a delay, for code whose waits tests must move by hand
// (ManualOneShotTimer in tests/support). Starting it again replaces the earlier start, so one
// timer serves every deadline of its owner. Used on one thread, which runs an event loop.
class OneShotTimer
{
public:
    virtual ~OneShotTimer() = default;

    // Calls `timeout` once, on this thread, after `delay`, unless stopped or started again first.
    virtual void start(std::chrono::milliseconds delay, std::function<void()> timeout) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;

    // A QTimer of the calling thread; idle, it costs nothing.
    static std::unique_ptr<OneShotTimer> make();
};

} // namespace vantorel
