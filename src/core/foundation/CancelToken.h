#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace vantorel {

// A cheap, copyable handle to one shared cancellation state: a flag plus the callbacks that stop
// the work in flight (abort a reply, stop a timer, kill a process). Copies share the state, so
// whoever holds any copy can cancel. Safe to use from several threads.
class CancelToken
{
    struct State;

public:
    // Undoes a registration when destroyed or reset, so a callback that captures an object never
    // runs after that object let go of it. Move-only.
    class Registration
    {
    public:
        Registration() = default;
        Registration(Registration&& other) noexcept;
        Registration& operator=(Registration&& other) noexcept;
        Registration(const Registration&) = delete;
        Registration& operator=(const Registration&) = delete;
        ~Registration();

        // Unregisters now. If cancel() is running the callback on another thread at this very
        // moment, it may still finish; on the same thread it is never started afterwards.
        void reset();

    private:
        friend class CancelToken;
        Registration(std::weak_ptr<State> state, std::uint64_t id);
        std::weak_ptr<State> m_state;
        std::uint64_t m_id = 0;
    };

    // A fresh, uncancelled token.
    CancelToken();

    bool isCancelled() const;

    // Sets the flag and runs every registered callback exactly once, in registration order, on
    // the calling thread, outside any lock (a callback may touch this token). Later calls do
    // nothing. Callbacks must not throw.
    void cancel() const;

    // Throws CancellationError when cancelled.
    void throwIfCancelled() const;

    // Registers a callback for cancellation. On a token that is already cancelled the callback
    // runs at once, before this returns, and the returned registration is empty.
    [[nodiscard]] Registration onCancel(std::function<void()> callback) const;

    // A new token that is cancelled whenever this one is, but can also be cancelled alone (used to
    // stop inner work on a time-out without cancelling the caller). The link ends when the last
    // copy of the child goes away.
    CancelToken child() const;

    // Same shared state.
    bool operator==(const CancelToken& other) const { return m_state == other.m_state; }

private:
    std::shared_ptr<State> m_state;
};

} // namespace vantorel
