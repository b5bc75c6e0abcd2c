#include "core/foundation/TaskHandle.h"

#include "core/foundation/PendingCompletion.h"

#include <vector>

namespace vantorel {

struct TaskHandle::State
{
    CancelToken token;
    bool running = true;
    std::exception_ptr error;
    std::vector<std::function<void()>> callbacks;
    PendingCompletion<> ended;
};

namespace {

// Owns the task until it ends. It holds the handle's state, not the handle, so the handle may
// be destroyed first.
QCoro::Task<> runToEnd(QCoro::Task<> task, std::function<void(std::exception_ptr)> finish)
{
    std::exception_ptr error;
    try {
        co_await task;
    } catch (...) {
        error = std::current_exception();
    }
    finish(error);
}

} // namespace

TaskHandle::TaskHandle(QCoro::Task<> task, CancelToken token)
    : m_state(std::make_shared<State>())
{
    m_state->token = std::move(token);
    runToEnd(std::move(task), [state = m_state](std::exception_ptr error) {
        state->running = false;
        state->error = std::move(error);
        // One at a time from the state, so a callback that drops the handle stops the rest.
        while (!state->callbacks.empty()) {
            auto callback = std::move(state->callbacks.front());
            state->callbacks.erase(state->callbacks.begin());
            callback();
        }
        state->ended.complete();
    });
}

TaskHandle::TaskHandle(TaskHandle&& other) noexcept = default;

TaskHandle& TaskHandle::operator=(TaskHandle&& other) noexcept
{
    if (this != &other) {
        if (m_state) {
            m_state->callbacks.clear();
            m_state->token.cancel();
        }
        m_state = std::move(other.m_state);
    }
    return *this;
}

TaskHandle::~TaskHandle()
{
    if (m_state) {
        m_state->callbacks.clear();
        m_state->token.cancel();
    }
}

void TaskHandle::cancel()
{
    if (m_state)
        m_state->token.cancel();
}

bool TaskHandle::isRunning() const
{
    return m_state && m_state->running;
}

bool TaskHandle::isCancelled() const
{
    return m_state && m_state->token.isCancelled();
}

CancelToken TaskHandle::token() const
{
    return m_state ? m_state->token : CancelToken();
}

void TaskHandle::onFinished(std::function<void()> callback)
{
    if (!callback)
        return;
    if (isRunning())
        m_state->callbacks.push_back(std::move(callback));
    else
        callback();
}

std::exception_ptr TaskHandle::error() const
{
    return m_state ? m_state->error : nullptr;
}

QCoro::Task<> TaskHandle::finished() const
{
    if (!m_state)
        co_return;
    const PendingCompletion<> ended = m_state->ended;
    co_await ended;
}

} // namespace vantorel
