#pragma once

#include "core/foundation/CancellationError.h"
#include "support/DrainEvents.h"

#include <QCoroTask>

#include <exception>
#include <memory>
#include <optional>

namespace vantorel {

// How a started coroutine ended, for tests that start a task, move time or release a fake, and
// then look. `finished` stays false while the task is suspended.
template <typename T>
struct TaskOutcome
{
    bool finished = false;
    std::optional<T> value;
    std::exception_ptr error;

    // The error as E, or nullopt when there is none or it is of another type.
    template <typename E>
    std::optional<E> errorAs() const
    {
        if (!error)
            return std::nullopt;
        try {
            std::rethrow_exception(error);
        } catch (const E& failure) {
            return failure;
        } catch (...) {
            return std::nullopt;
        }
    }

    bool cancelled() const { return errorAs<CancellationError>().has_value(); }
};

namespace detail {

template <typename T>
QCoro::Task<> recordOutcome(QCoro::Task<T> task, std::shared_ptr<TaskOutcome<T>> outcome)
{
    try {
        outcome->value = co_await std::move(task);
    } catch (...) {
        outcome->error = std::current_exception();
    }
    outcome->finished = true;
}

} // namespace detail

// Starts watching `task` (QCoro tasks run eagerly up to their first suspension) and returns the
// outcome it will fill in.
template <typename T>
std::shared_ptr<TaskOutcome<T>> startTask(QCoro::Task<T> task)
{
    auto outcome = std::make_shared<TaskOutcome<T>>();
    detail::recordOutcome(std::move(task), outcome);
    return outcome;
}

// Runs the event loop of this thread until `task` ends (for work that finishes on another thread
// or in another process) and returns how it ended. Wake-ups the task left posted (a cancelled
// time-out, say) run before this returns, so nothing is left suspended.
template <typename T>
TaskOutcome<T> waitForOutcome(QCoro::Task<T> task)
{
    auto outcome = std::make_shared<TaskOutcome<T>>();
    QCoro::waitFor(detail::recordOutcome(std::move(task), outcome));
    drainEvents();
    return *outcome;
}

} // namespace vantorel
