#pragma once

#include "core/foundation/CancelToken.h"
#include "core/foundation/PendingCompletion.h"
#include "core/foundation/Sleeper.h"
#include "core/foundation/TimeoutError.h"

#include <QCoroTask>

#include <type_traits>

namespace vantorel {

namespace detail {

template <typename R>
struct TaskValue;

template <typename T>
struct TaskValue<QCoro::Task<T>>
{
    using type = T;
};

template <typename T>
QCoro::Task<> settleFrom(QCoro::Task<T> task, PendingCompletion<T> outcome)
{
    try {
        if constexpr (std::is_void_v<T>) {
            co_await task;
            outcome.complete();
        } else {
            outcome.complete(co_await task);
        }
    } catch (...) {
        outcome.fail(std::current_exception());
    }
}

template <typename T>
QCoro::Task<> failAfter(Sleeper& sleeper, double seconds, CancelToken deadline, CancelToken inner,
                        PendingCompletion<T> outcome)
{
    try {
        co_await sleeper.sleep(seconds, deadline);
    } catch (const CancellationError&) {
        co_return;
    }
    // Settle first so the work's own CancellationError, caused by the next line, loses the race.
    outcome.fail(TimeoutError());
    inner.cancel();
}

} // namespace detail

// Runs work(innerToken) with a deadline of `seconds` measured by `sleeper`:
// - the work's value or error when it finishes first;
// - TimeoutError when the deadline passes first;
// - CancellationError when `token` is cancelled first.
// On a time-out or cancellation the inner token is cancelled, so the work stops; this returns at
// once without waiting for it, so the work must own what it uses (arguments by value). When the
// work wins, its token is left uncancelled.
// `work` is called with a child of `token` and must return a QCoro::Task<T>.
template <typename Work>
auto withTimeout(Sleeper& sleeper, double seconds, CancelToken token, Work work)
    -> QCoro::Task<typename detail::TaskValue<std::invoke_result_t<Work&, CancelToken>>::type>
{
    using T = typename detail::TaskValue<std::invoke_result_t<Work&, CancelToken>>::type;
    token.throwIfCancelled();
    PendingCompletion<T> outcome;
    // Registered before the child exists so an outer cancel settles as cancellation first.
    auto registration = token.onCancel([outcome] { outcome.cancel(); });
    CancelToken inner = token.child();
    // Stops the deadline once the outcome is known; the work's token is left alone on success.
    CancelToken deadline;
    detail::settleFrom<T>(work(inner), outcome);
    if (!outcome.isCompleted())
        detail::failAfter<T>(sleeper, seconds, deadline, inner, outcome);
    try {
        if constexpr (std::is_void_v<T>) {
            co_await outcome;
            deadline.cancel();
        } else {
            T value = co_await outcome;
            deadline.cancel();
            co_return value;
        }
    } catch (...) {
        deadline.cancel();
        inner.cancel();
        throw;
    }
}

} // namespace vantorel
