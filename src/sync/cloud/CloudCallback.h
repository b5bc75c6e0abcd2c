#pragma once

#include "core/foundation/PendingCompletion.h"
#include "sync/cloud/CloudKitErrorMapper.h"
#include "sync/cloud/CloudSyncError.h"

#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <variant>

namespace vantorel {

// The bridge from a cloud answer, arriving on any thread, to the coroutine waiting on the main
// thread: the first outcome reported wins and resumes the waiter once, whether it arrives before
// or after the waiter suspends. A record operation also keeps its latest per-record report, which
// finish() weighs against the operation's own outcome. Copies share the state.
template <typename T>
class CloudCallback
{
public:
    using Outcome = std::variant<T, std::exception_ptr>;

    // Reports an outcome; later ones are dropped.
    void resolve(const Outcome& outcome) const
    {
        if (const auto* error = std::get_if<std::exception_ptr>(&outcome))
            m_result.fail(*error);
        else
            m_result.complete(std::get<T>(outcome));
    }

    template <typename E>
    void fail(E&& error) const
    {
        m_result.fail(std::forward<E>(error));
    }

    // Replaces the per-record report.
    void setItemResult(Outcome outcome) const
    {
        std::lock_guard lock(m_state->mutex);
        m_state->itemResult = std::move(outcome);
    }

    // Resolves with the outcome of the whole operation (null: success). Success needs a
    // per-record report. A partial failure that holds the snapshot record's own error wins over
    // that report; otherwise a per-record error wins over the operation's error.
    void finish(std::exception_ptr operationError) const
    {
        std::optional<Outcome> item;
        {
            std::lock_guard lock(m_state->mutex);
            item = m_state->itemResult;
        }
        if (!operationError) {
            if (item)
                resolve(*item);
            else
                fail(CloudSyncError(CloudSyncError::Code::invalidData));
            return;
        }
        if (isPartialFailureForSnapshot(operationError) || !item || std::holds_alternative<T>(*item))
            m_result.fail(operationError);
        else
            resolve(*item);
    }

    auto operator co_await() const noexcept { return m_result.operator co_await(); }

private:
    static bool isPartialFailureForSnapshot(const std::exception_ptr& error)
    {
        try {
            std::rethrow_exception(error);
        } catch (const CloudKitError& failure) {
            if (failure.code() != CloudKitError::Code::partialFailure)
                return false;
            const auto item = CloudKitErrorMapper::itemError(error);
            return item && item->code() != CloudKitError::Code::partialFailure;
        } catch (...) {
            return false;
        }
    }

    struct State
    {
        std::mutex mutex;
        std::optional<Outcome> itemResult;
    };

    PendingCompletion<T> m_result;
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

} // namespace vantorel
