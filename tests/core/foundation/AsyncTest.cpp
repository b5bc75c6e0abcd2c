#include "support/DrainEvents.h"
#include "support/ManualSleeper.h"
#include "core/foundation/CancelToken.h"
#include "core/foundation/CancellationError.h"
#include "core/foundation/PendingCompletion.h"
#include "core/foundation/TaskHandle.h"
#include "core/foundation/Timeout.h"
#include "core/foundation/TimerSleeper.h"

#include <QElapsedTimer>
#include <QProcess>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace vantorel;

// Types that the coroutine frames below hold need a name with linkage: GCC rejects anonymous ones
// there when this file is part of a unity batch.
namespace asyncTest {

// How an observed coroutine ended; coroutines report here because ASSERT cannot run inside them.
enum class Ended { stillRunning, value, cancelled, timedOut, failed };

struct Probe
{
    Ended ended = Ended::stillRunning;
    int value = 0;
    Date wokeAt;
};

} // namespace asyncTest

using asyncTest::Ended;
using asyncTest::Probe;

namespace {

template <typename T>
QCoro::Task<> observe(QCoro::Task<T> task, std::shared_ptr<Probe> probe)
{
    try {
        if constexpr (std::is_void_v<T>) {
            co_await task;
        } else {
            probe->value = co_await task;
        }
        probe->ended = Ended::value;
    } catch (const CancellationError&) {
        probe->ended = Ended::cancelled;
    } catch (const TimeoutError&) {
        probe->ended = Ended::timedOut;
    } catch (...) {
        probe->ended = Ended::failed;
    }
}

QCoro::Task<int> sleepThenReturn(Sleeper* sleeper, double seconds, CancelToken token, int value)
{
    co_await sleeper->sleep(seconds, token);
    co_return value;
}

QCoro::Task<> sleepAndStamp(Sleeper* sleeper, ManualClock clock, double seconds, CancelToken token,
                            std::shared_ptr<Probe> probe, std::shared_ptr<std::vector<int>> order, int id)
{
    co_await observe(sleepThenReturn(sleeper, seconds, token, id), probe);
    probe->wokeAt = clock.now();
    order->push_back(id);
}

QCoro::Task<int> awaitCompletion(PendingCompletion<int> completion)
{
    co_return co_await completion;
}

// Runs body(i) on `count` threads released together, so that they really race.
template <typename Body>
void race(int count, Body body)
{
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i) {
        threads.emplace_back([&, i] {
            while (!go) {
            }
            body(i);
        });
    }
    go = true;
    for (auto& thread : threads)
        thread.join();
}

} // namespace

TEST(CancelToken, RunsEachCallbackOnceInOrderAndLateRegistrationsAtOnce)
{
    CancelToken token;
    std::vector<int> calls;
    auto first = token.onCancel([&] { calls.push_back(1); });
    auto released = token.onCancel([&] { calls.push_back(99); });
    auto second = token.onCancel([&] { calls.push_back(2); });
    {
        auto moved = std::move(released);
    }

    const CancelToken copy = token;
    copy.cancel();
    token.cancel();
    EXPECT_TRUE(token.isCancelled());
    EXPECT_EQ(calls, (std::vector<int>{1, 2}));

    auto late = token.onCancel([&] { calls.push_back(3); });
    EXPECT_EQ(calls, (std::vector<int>{1, 2, 3}));
    EXPECT_THROW(token.throwIfCancelled(), CancellationError);
}

TEST(CancelToken, CallbackMayReleaseOtherRegistrationsAndCancelAgain)
{
    CancelToken token;
    int calls = 0;
    CancelToken::Registration later;
    auto first = token.onCancel([&] {
        ++calls;
        later.reset();
        token.cancel();
    });
    later = token.onCancel([&] { ++calls; });
    token.cancel();
    // A registration released by an earlier callback never runs (its captures may be gone);
    // re-entrant cancel is a no-op.
    EXPECT_EQ(calls, 1);
}

TEST(CancelToken, ChildFollowsParentButNotTheOtherWay)
{
    CancelToken parent;
    CancelToken child = parent.child();
    CancelToken grandchild = child.child();
    child.cancel();
    EXPECT_TRUE(grandchild.isCancelled());
    EXPECT_FALSE(parent.isCancelled());

    CancelToken secondChild = parent.child();
    parent.cancel();
    EXPECT_TRUE(secondChild.isCancelled());
    EXPECT_TRUE(parent.child().isCancelled()) << "a child of a cancelled token starts cancelled";
}

TEST(CancelToken, ConcurrentCancelRunsCallbacksExactlyOnce)
{
    for (int round = 0; round < 200; ++round) {
        CancelToken token;
        std::atomic<int> calls{0};
        auto registration = token.onCancel([&] { ++calls; });
        race(4, [&](int) { token.cancel(); });
        ASSERT_EQ(calls.load(), 1) << "round " << round;
    }
}

TEST(PendingCompletion, FirstSettlementWinsAndLaterOnesReportFalse)
{
    struct Case { const char* name; std::function<bool(PendingCompletion<int>&)> first; Ended expected; };
    const std::vector<Case> cases = {
        {"value", [](PendingCompletion<int>& p) { return p.complete(7); }, Ended::value},
        {"error", [](PendingCompletion<int>& p) { return p.fail(std::runtime_error("x")); }, Ended::failed},
        {"cancel", [](PendingCompletion<int>& p) { return p.cancel(); }, Ended::cancelled},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PendingCompletion<int> completion;
        auto probe = std::make_shared<Probe>();
        observe(awaitCompletion(completion), probe);
        EXPECT_TRUE(c.first(completion));
        EXPECT_FALSE(completion.complete(8));
        EXPECT_FALSE(completion.cancel());
        EXPECT_FALSE(completion.fail(std::runtime_error("late")));
        drainEvents();
        EXPECT_EQ(probe->ended, c.expected);
        if (c.expected == Ended::value) {
            EXPECT_EQ(probe->value, 7);
        }
    }
}

TEST(PendingCompletion, ResumesAwaitersLaterNeverInsideTheCompletingCall)
{
    PendingCompletion<int> completion;
    auto first = std::make_shared<Probe>();
    auto second = std::make_shared<Probe>();
    observe(awaitCompletion(completion), first);
    observe(awaitCompletion(completion), second);

    completion.complete(5);
    EXPECT_EQ(first->ended, Ended::stillRunning) << "resumed underneath complete()";
    drainEvents();
    EXPECT_EQ(first->value, 5);
    EXPECT_EQ(second->value, 5);

    // Awaiting an already settled completion does not suspend at all.
    auto late = std::make_shared<Probe>();
    observe(awaitCompletion(completion), late);
    EXPECT_EQ(late->value, 5);
}

TEST(PendingCompletion, ExactlyOneOfRacingThreadsWins)
{
    for (int round = 0; round < 200; ++round) {
        PendingCompletion<int> completion;
        auto probe = std::make_shared<Probe>();
        observe(awaitCompletion(completion), probe);
        std::atomic<int> winners{0};
        std::atomic<int> winner{-1};
        race(4, [&](int i) {
            if (i == 3 ? completion.cancel() : completion.complete(i)) {
                ++winners;
                winner = i;
            }
        });
        drainEvents();
        ASSERT_EQ(winners.load(), 1);
        if (winner == 3)
            ASSERT_EQ(probe->ended, Ended::cancelled);
        else
            ASSERT_EQ(probe->value, winner.load());
    }
}

TEST(ManualSleeper, WakesInDeadlineOrderAtEachDeadline)
{
    ManualSleeper sleeper;
    const ManualClock clock = sleeper.clock();
    const Date start = clock.now();
    auto order = std::make_shared<std::vector<int>>();
    struct Sleep
    {
        double seconds;
        std::shared_ptr<Probe> probe = std::make_shared<Probe>();
    };
    std::vector<Sleep> sleeps = {{30.0}, {10.0}, {20.0}, {10.0}, {45.0}};
    for (int i = 0; i < int(sleeps.size()); ++i)
        sleepAndStamp(&sleeper, clock, sleeps[i].seconds, CancelToken(), sleeps[i].probe, order, i);
    EXPECT_EQ(sleeper.pendingCount(), 5);
    EXPECT_EQ(sleeper.nextDeadline(), start + 10.0);

    sleeper.advance(9.999);
    EXPECT_TRUE(order->empty());
    sleeper.advance(30.001);
    EXPECT_EQ(*order, (std::vector<int>{1, 3, 2, 0}));
    for (int i : {1, 3, 2, 0})
        EXPECT_EQ(sleeps[i].probe->wokeAt, start + sleeps[i].seconds) << "sleep " << i;
    EXPECT_EQ(clock.now(), start + 40.0);
    EXPECT_EQ(sleeps[4].probe->ended, Ended::stillRunning);
    EXPECT_TRUE(sleeper.advanceToNextDeadline());
    EXPECT_EQ(sleeps[4].probe->wokeAt, start + 45.0);
    EXPECT_FALSE(sleeper.advanceToNextDeadline());
    EXPECT_EQ(sleeper.requestedDurations(), (QList<double>{30.0, 10.0, 20.0, 10.0, 45.0}));
}

TEST(Sleepers, CancellingWakesASleeperAtOnceAndNoTimeOrACancelledTokenNeverSleeps)
{
    struct Case { double seconds; bool cancelledBefore; Ended expected; };
    const std::vector<Case> cases = {
        {0.0, false, Ended::value},
        {-5.0, false, Ended::value},
        {std::nan(""), false, Ended::value},
        {0.0, true, Ended::cancelled},
        {10.0, true, Ended::cancelled},
    };
    TimerSleeper timerSleeper;
    ManualSleeper manualSleeper;
    for (Sleeper* sleeper : std::vector<Sleeper*>{&timerSleeper, &manualSleeper}) {
        CancelToken token;
        auto sleeping = std::make_shared<Probe>();
        observe(sleepThenReturn(sleeper, 3600.0, token, 1), sleeping);
        drainEvents();
        EXPECT_EQ(sleeping->ended, Ended::stillRunning);
        token.cancel();
        // No time passes and no timer runs: only the posted resumption.
        drainEvents();
        EXPECT_EQ(sleeping->ended, Ended::cancelled);

        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << c.seconds << (c.cancelledBefore ? " cancelled" : ""));
            CancelToken given;
            if (c.cancelledBefore)
                given.cancel();
            auto probe = std::make_shared<Probe>();
            observe(sleepThenReturn(sleeper, c.seconds, given, 1), probe);
            // Settled without suspending.
            EXPECT_EQ(probe->ended, c.expected);
        }
    }
    EXPECT_EQ(manualSleeper.pendingCount(), 0) << "a cancelled sleep must leave the schedule";
}

TEST(TimerSleeper, WakesWhenItsTimerFires)
{
    TimerSleeper sleeper;
    const int value = QCoro::waitFor(sleepThenReturn(&sleeper, 0.001, CancelToken(), 42));
    EXPECT_EQ(value, 42);
}

TEST(TaskHandle, ReportsItsEndAndTheError)
{
    ManualSleeper sleeper;
    int finishedCalls = 0;
    auto handle = TaskHandle::start([&](CancelToken token) -> QCoro::Task<> {
        return [](Sleeper* s, CancelToken t) -> QCoro::Task<> {
            co_await s->sleep(5.0, t);
            throw std::runtime_error("boom");
        }(&sleeper, token);
    });
    handle.onFinished([&] { ++finishedCalls; });
    auto waiter = std::make_shared<Probe>();
    observe(handle.finished(), waiter);
    EXPECT_TRUE(handle.isRunning());

    sleeper.advance(5.0);
    EXPECT_FALSE(handle.isRunning());
    EXPECT_EQ(finishedCalls, 1);
    EXPECT_EQ(waiter->ended, Ended::value) << "finished() lets an owner wait for the stop and never throws";
    ASSERT_TRUE(handle.error());
    EXPECT_THROW(std::rethrow_exception(handle.error()), std::runtime_error);

    int lateCalls = 0;
    handle.onFinished([&] { ++lateCalls; });
    EXPECT_EQ(lateCalls, 1) << "a callback added after the end runs at once";
}

TEST(TaskHandle, DestroyingOrReplacingTheHandleCancelsTheTask)
{
    ManualSleeper sleeper;
    auto first = std::make_shared<Probe>();
    auto second = std::make_shared<Probe>();
    int callbacksAfterRelease = 0;
    {
        auto handle = TaskHandle::start(
            [&](CancelToken token) { return observe(sleepThenReturn(&sleeper, 60.0, token, 1), first); });
        handle.onFinished([&] { ++callbacksAfterRelease; });
        handle = TaskHandle::start(
            [&](CancelToken token) { return observe(sleepThenReturn(&sleeper, 60.0, token, 2), second); });
        handle.onFinished([&] { ++callbacksAfterRelease; });
        drainEvents();
        EXPECT_EQ(first->ended, Ended::cancelled);
        EXPECT_EQ(second->ended, Ended::stillRunning);
    }
    drainEvents();
    EXPECT_EQ(second->ended, Ended::cancelled);
    EXPECT_EQ(callbacksAfterRelease, 0);
    EXPECT_EQ(sleeper.pendingCount(), 0);
}

TEST(TaskHandle, CallbackThatDropsTheHandleStopsTheRest)
{
    ManualSleeper sleeper;
    auto probe = std::make_shared<Probe>();
    std::optional<TaskHandle> handle = TaskHandle::start(
        [&](CancelToken token) { return observe(sleepThenReturn(&sleeper, 1.0, token, 1), probe); });
    int laterCalls = 0;
    handle->onFinished([&] { handle.reset(); });
    handle->onFinished([&] { ++laterCalls; });
    sleeper.advance(1.0);
    EXPECT_EQ(probe->ended, Ended::value);
    EXPECT_FALSE(handle.has_value());
    EXPECT_EQ(laterCalls, 0);
}

TEST(WithTimeout, TellsValueTimeOutAndCancellationApart)
{
    struct Case
    {
        const char* name;
        double workSeconds;
        double cancelAfter; // negative: never
        Ended expected;
        bool innerCancelled;
        bool workIgnoresToken = false;
    };
    const std::vector<Case> cases = {
        {"work first", 5.0, -1.0, Ended::value, false},
        {"deadline first", 20.0, -1.0, Ended::timedOut, true},
        {"cancelled first", 20.0, 3.0, Ended::cancelled, true},
        {"cancelled after the deadline", 20.0, 15.0, Ended::timedOut, true},
        {"work ignores its token", 100.0, -1.0, Ended::timedOut, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ManualSleeper sleeper;
        CancelToken outer;
        auto innerToken = std::make_shared<std::optional<CancelToken>>();
        const std::function<QCoro::Task<int>(CancelToken)> work = [&sleeper, innerToken, c](CancelToken inner) {
            *innerToken = inner;
            return sleepThenReturn(&sleeper, c.workSeconds, c.workIgnoresToken ? CancelToken() : inner, 7);
        };
        auto probe = std::make_shared<Probe>();
        observe(withTimeout(sleeper, 10.0, outer, work), probe);
        if (c.cancelAfter >= 0.0) {
            sleeper.advance(c.cancelAfter);
            outer.cancel();
        }
        sleeper.advance(30.0);
        EXPECT_EQ(probe->ended, c.expected);
        if (c.expected == Ended::value) {
            EXPECT_EQ(probe->value, 7);
        }
        ASSERT_TRUE(innerToken->has_value());
        EXPECT_EQ((*innerToken)->isCancelled(), c.innerCancelled);
        sleeper.advance(100.0);
        EXPECT_EQ(sleeper.pendingCount(), 0) << "the deadline and the work must not linger";
    }
}

TEST(CancelTokenIntegration, CancellingKillsAChildProcess)
{
    QProcess process;
    process.start(QStringLiteral("sleep"), QStringList{QStringLiteral("30")});
    ASSERT_TRUE(process.waitForStarted(5000));
    CancelToken token;
    auto registration = token.onCancel([&process] { process.kill(); });

    QElapsedTimer elapsed;
    elapsed.start();
    token.cancel();
    ASSERT_TRUE(process.waitForFinished(10'000));
    EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);
    EXPECT_LT(elapsed.elapsed(), 10'000);
}
