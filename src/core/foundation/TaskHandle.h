#pragma once

#include "core/foundation/CancelToken.h"

#include <QCoroTask>

#include <exception>
#include <functional>
#include <memory>

namespace vantorel {

// Owns a running coroutine together with the token it watches, the way an owner keeps a task
// handle: cancel() asks it to stop, and destroying or replacing the handle cancels it too.
// QCoro tasks start eagerly, so start the coroutine with the token first and hand both over:
//
//     m_loop = TaskHandle::start([this](CancelToken token) { return runLoop(token); });
//
// The coroutine keeps running after cancel() until it reaches its next await; it must not rely on
// the owner still existing once it resumes (check a QPointer). Move-only; main-thread use.
class TaskHandle
{
    struct State;

public:
    // An empty handle: not running.
    TaskHandle() = default;
    // Takes over `task`, which was started with `token` (or a child of it).
    TaskHandle(QCoro::Task<> task, CancelToken token);

    // Makes a fresh token, starts body(token) and keeps the task.
    template <typename Body>
    static TaskHandle start(Body&& body)
    {
        CancelToken token;
        return TaskHandle(std::forward<Body>(body)(token), token);
    }

    TaskHandle(TaskHandle&& other) noexcept;
    // Cancels the task this handle held before.
    TaskHandle& operator=(TaskHandle&& other) noexcept;
    TaskHandle(const TaskHandle&) = delete;
    TaskHandle& operator=(const TaskHandle&) = delete;
    // Cancels; pending onFinished callbacks are dropped and never run.
    ~TaskHandle();

    // Cancels the token. Idempotent; does nothing on an empty handle.
    void cancel();

    // True from construction until the coroutine has returned or thrown.
    bool isRunning() const;
    bool isCancelled() const;
    // The token the task watches (a fresh, never-cancelled token for an empty handle).
    CancelToken token() const;

    // Runs `callback` once when the task ends, however it ends. If it already ended, runs now.
    // Never runs after this handle is destroyed or reassigned.
    void onFinished(std::function<void()> callback);

    // The exception the task ended with (CancellationError included), or null.
    std::exception_ptr error() const;

    // Resumes once the task has ended; never throws. Lets an owner cancel a task and wait until it
    // has really stopped before starting its replacement.
    QCoro::Task<> finished() const;

private:
    std::shared_ptr<State> m_state;
};

} // namespace vantorel
