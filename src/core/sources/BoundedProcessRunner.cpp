#include "core/sources/BoundedProcessRunner.h"

#include "core/foundation/Timeout.h"
#include "core/foundation/TimerSleeper.h"
#include "core/sources/BoundedProcessRunnerError.h"
#include "core/sources/ChildProcess.h"

#include <functional>
#include <optional>

namespace vantorel {

namespace {

using RunnerCode = BoundedProcessRunnerError::Code;

QCoro::Task<BoundedProcessOutput> collect(std::shared_ptr<ChildProcess> child, CancelToken token)
{
    for (;;) {
        if (const auto& reason = child->launchError())
            throw BoundedProcessRunnerError::launchFailed(*reason);
        if (child->outputOverflowed())
            throw BoundedProcessRunnerError(RunnerCode::outputLimitExceeded);
        if (child->readError())
            throw BoundedProcessRunnerError(RunnerCode::outputReadFailed);
        if (child->hasExited())
            co_return BoundedProcessOutput{child->takeOutput(), child->terminationStatus()};
        co_await child->changed(token);
    }
}

} // namespace

BoundedProcessRunner::BoundedProcessRunner(std::shared_ptr<Sleeper> sleeper)
    : m_sleeper(sleeper ? std::move(sleeper) : std::make_shared<TimerSleeper>())
{
}

QCoro::Task<BoundedProcessOutput> BoundedProcessRunner::run(QString executablePath, QStringList arguments,
                                                            double timeoutSeconds, CancelToken token) const
{
    token.throwIfCancelled();
    const std::shared_ptr<Sleeper> sleeper = m_sleeper;
    auto child = std::make_shared<ChildProcess>(std::move(executablePath), std::move(arguments),
                                                ChildProcess::Input::closed, maximumOutputBytes);
    child->start();

    // Named, as g++ 12 destroys a lambda prvalue handed to a coroutine twice; a std::function,
    // as GCC rejects a lambda's type in this frame when the file is part of a unity batch.
    const std::function<QCoro::Task<BoundedProcessOutput>(CancelToken)> work = [child](CancelToken inner) {
        return collect(child, inner);
    };
    std::optional<BoundedProcessOutput> output;
    std::exception_ptr failure;
    try {
        output = co_await withTimeout(*sleeper, timeoutSeconds, token, work);
    } catch (const TimeoutError&) {
        failure = std::make_exception_ptr(BoundedProcessRunnerError(RunnerCode::timedOut));
    } catch (...) {
        failure = std::current_exception();
    }
    // Stops a child that is still running after a time-out, cancellation or overflow.
    co_await child->terminate();
    if (failure)
        std::rethrow_exception(failure);
    co_return std::move(*output);
}

} // namespace vantorel
