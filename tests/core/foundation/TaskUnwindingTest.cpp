#include "core/foundation/PendingCompletion.h"
#include "core/foundation/TaskUnwinding.h"

#include <QCoroTask>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using namespace vantorel;

namespace {

QCoro::Task<> awaitResult(PendingCompletion<QByteArray> result, std::shared_ptr<QThread*> resumedOn)
{
    co_await result;
    *resumedOn = QThread::currentThread();
}

} // namespace

// A worker still encoding when the process ends: its reader waits until the result comes and
// then resumes on its own thread, not on the worker, before the unwinding returns.
TEST(TaskUnwinding, WaitsForAWorkersResultAndResumesItsReaderAtHome)
{
    const PendingCompletion<QByteArray> result;
    auto resumedOn = std::make_shared<QThread*>(nullptr);
    auto reader = awaitResult(result, resumedOn);
    QSemaphore encoded;
    QThreadPool::globalInstance()->start([result, &encoded] {
        encoded.acquire();
        result.complete(QByteArray("frame"));
    });
    EXPECT_EQ(detail::suspendedAwaiterCount(), 1);
    // The result comes only once the unwinding runs the event loop.
    bool released = false;
    QTimer::singleShot(20, [&encoded, &released] {
        released = true;
        encoded.release();
    });

    EXPECT_EQ(unwindSuspendedTasks(std::chrono::seconds(10)), 0);
    EXPECT_EQ(*resumedOn, QThread::currentThread());
    EXPECT_EQ(detail::suspendedAwaiterCount(), 0);
    if (!released)
        encoded.release();
    QThreadPool::globalInstance()->waitForDone();
}

// A task that never ends is given up at the bound, not waited for, and counted.
TEST(TaskUnwinding, GivesUpAtTheBound)
{
    auto never = std::make_unique<PendingCompletion<QByteArray>>();
    auto resumedOn = std::make_shared<QThread*>(nullptr);
    auto reader = awaitResult(*never, resumedOn);
    EXPECT_EQ(unwindSuspendedTasks(std::chrono::milliseconds(50)), 1);
    // Settled now, so the frame is freed before the test ends.
    never->cancel();
    EXPECT_EQ(unwindSuspendedTasks(std::chrono::seconds(10)), 0);
    EXPECT_EQ(*resumedOn, nullptr);
}
