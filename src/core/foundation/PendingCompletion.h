#pragma once

#include "core/foundation/CancellationError.h"

#include <QPointer>

#include <concepts>
#include <coroutine>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <variant>
#include <vector>

class QObject;

namespace vantorel {

namespace detail {

// A suspended coroutine and the event-loop thread it must resume on.
struct ResumeTarget
{
    std::coroutine_handle<> handle;
    QPointer<QObject> context; // null: the thread had no event loop, resume in place
};

ResumeTarget resumeTargetForCurrentThread(std::coroutine_handle<> handle);
// Resumes on a later turn of the target thread's event loop, never inside the caller.
void resumeLater(const ResumeTarget& target);
// Resumptions posted but not yet run; lets tests drain the event loop deterministically.
int pendingResumeCount();
// Coroutines suspended on a PendingCompletion that has not settled yet.
int suspendedAwaiterCount();
void countSuspendedAwaiters(int change);

} // namespace detail

// A one-shot result that whoever gets there first settles: a value, an error, or cancellation.
// Copies share the state, so a signal handler, a timer and a cancel callback can each hold one
// and race; exactly one wins and later attempts return false. Any number of coroutines may
// co_await it. They are resumed on a later turn of their own thread's event loop, never inside
// complete()/fail()/cancel(), so settling from a destructor, a signal handler or a cancel
// callback cannot run the awaiting coroutine underneath the caller. Thread-safe.
template <typename T = void>
class PendingCompletion
{
    using Stored = std::conditional_t<std::is_void_v<T>, std::monostate, T>;

    struct State
    {
        std::mutex mutex;
        bool finished = false;
        std::optional<Stored> value;
        std::exception_ptr error;
        std::vector<detail::ResumeTarget> waiters;

        ~State() { detail::countSuspendedAwaiters(-int(waiters.size())); }
    };

public:
    PendingCompletion()
        : m_state(std::make_shared<State>())
    {
    }

    // Settles with a value. Returns false when already settled (the value is dropped).
    template <typename V>
        requires(!std::is_void_v<T> && std::constructible_from<Stored, V &&>)
    bool complete(V&& value) const
    {
        return settle([&](State& s) { s.value.emplace(std::forward<V>(value)); });
    }

    bool complete() const
        requires std::is_void_v<T>
    {
        return settle([](State& s) { s.value.emplace(); });
    }

    // Settles with an error that the awaiting coroutines rethrow.
    bool fail(std::exception_ptr error) const
    {
        return settle([&](State& s) { s.error = std::move(error); });
    }

    template <typename E>
        requires std::derived_from<std::decay_t<E>, std::exception>
    bool fail(E&& error) const
    {
        return fail(std::make_exception_ptr(std::forward<E>(error)));
    }

    // Settles with CancellationError.
    bool cancel() const { return fail(CancellationError()); }

    bool isCompleted() const
    {
        std::lock_guard lock(m_state->mutex);
        return m_state->finished;
    }

    // co_await gives a copy of the value (T must be copyable) or rethrows the error.
    auto operator co_await() const noexcept
    {
        struct Awaiter
        {
            std::shared_ptr<State> state;

            bool await_ready() const
            {
                std::lock_guard lock(state->mutex);
                return state->finished;
            }

            bool await_suspend(std::coroutine_handle<> handle)
            {
                auto target = detail::resumeTargetForCurrentThread(handle);
                std::lock_guard lock(state->mutex);
                if (state->finished)
                    return false;
                state->waiters.push_back(std::move(target));
                detail::countSuspendedAwaiters(1);
                return true;
            }

            T await_resume()
            {
                std::lock_guard lock(state->mutex);
                if (state->error)
                    std::rethrow_exception(state->error);
                if constexpr (!std::is_void_v<T>)
                    return *state->value;
            }
        };
        return Awaiter{m_state};
    }

private:
    template <typename Store>
    bool settle(Store&& store) const
    {
        std::vector<detail::ResumeTarget> waiters;
        {
            std::lock_guard lock(m_state->mutex);
            if (m_state->finished)
                return false;
            store(*m_state);
            m_state->finished = true;
            waiters.swap(m_state->waiters);
        }
        // Each waiter is counted as pending before it stops counting as suspended: the exit
        // unwinding, on another thread, must never see both counts at zero while one is on its way.
        for (const auto& waiter : waiters)
            detail::resumeLater(waiter);
        detail::countSuspendedAwaiters(-int(waiters.size()));
        return true;
    }

    std::shared_ptr<State> m_state;
};

} // namespace vantorel
