#include "core/foundation/CancellationError.h"
#include "core/sources/BoundedProcessRunner.h"
#include "core/sources/BoundedProcessRunnerError.h"
#include "support/FakeCodexAppServer.h"
#include "support/ManualSleeper.h"
#include "support/TaskOutcome.h"
#include "support/TestFiles.h"

#include <QCoroTask>
#include <QFile>

#include <gtest/gtest.h>

#include <functional>

namespace vantorel {
namespace {

using Code = BoundedProcessRunnerError::Code;

// What a run ended with: its output, or the runner error it threw, or that it was cancelled.
struct RunOutcome
{
    std::optional<BoundedProcessOutput> output;
    std::optional<BoundedProcessRunnerError> error;
    bool cancelled = false;
};

RunOutcome finish(QCoro::Task<BoundedProcessOutput> task)
{
    const auto outcome = waitForOutcome(std::move(task));
    return {outcome.value, outcome.errorAs<BoundedProcessRunnerError>(), outcome.cancelled()};
}

class BoundedProcessRunnerTest : public testing::Test
{
public:
    std::shared_ptr<ManualSleeper> sleeper = std::make_shared<ManualSleeper>();
    BoundedProcessRunner runner{sleeper};
};

TEST_F(BoundedProcessRunnerTest, ReturnsTheOutputAndExitStatusOfWhatTheChildDid)
{
    struct Case
    {
        const char* name;
        QStringList scenario;
        QByteArray output;
        std::int32_t status;
    };
    const Case cases[] = {
        // The helper it leaves behind is killed with the run.
        {"text and status", {"spawn helper", "send {\"ok\":1}", "exit 3"}, "{\"ok\":1}\n", 3},
        {"exactly the cap", {"bytes 1048576"}, QByteArray(BoundedProcessRunner::maximumOutputBytes, '\0'), 0},
        {"standard error is discarded, however much", {"stderr 3000000", "raw ok"}, "ok", 0},
        {"killed by a signal reports the signal", {"raw partial", "signal 15"}, "partial", 15},
        // A child reading standard input must see it end, not hang on the caller's input.
        {"standard input is empty", {"expect", "raw never"}, "", 0},
    };
    for (const auto& testCase : cases) {
        FakeCodexAppServer fake(testCase.scenario);
        const RunOutcome outcome = finish(runner.run(fake.executablePath(), {}, 8));
        ASSERT_TRUE(outcome.output) << testCase.name;
        EXPECT_EQ(outcome.output->standardOutput, testCase.output) << testCase.name;
        EXPECT_EQ(outcome.output->terminationStatus, testCase.status) << testCase.name;
        if (const auto helper = fake.pidFrom("helper")) {
            EXPECT_TRUE(FakeCodexAppServer::processEnds(*helper)) << testCase.name;
        }
    }
}

TEST_F(BoundedProcessRunnerTest, PassesArgumentsVerbatimWithoutAShell)
{
    FakeCodexAppServer fake({"exit 0"});
    const QStringList arguments{"find-generic-password", "a b", "$HOME", "; echo injected", "*", ""};
    const RunOutcome outcome = finish(runner.run(fake.executablePath(), arguments, 8));
    ASSERT_TRUE(outcome.output);
    ASSERT_FALSE(fake.log().isEmpty());
    EXPECT_EQ(fake.log().first(), R"(args ["find-generic-password", "a b", "$HOME", "; echo injected", "*", ""])");
}

TEST_F(BoundedProcessRunnerTest, ReportsAProgramThatCannotStartAsLaunchFailed)
{
    FakeCodexAppServer fake({"exit 0"});
    const QString notExecutable = fake.filePath("plain");
    ASSERT_TRUE(test::writeFileBytes(notExecutable, "#!/bin/sh\n"));

    for (const QString& path : {fake.filePath("missing"), notExecutable, fake.directory()}) {
        const RunOutcome outcome = finish(runner.run(path, {}, 8));
        ASSERT_TRUE(outcome.error) << path.toStdString();
        EXPECT_EQ(outcome.error->code(), Code::launchFailed) << path.toStdString();
        EXPECT_FALSE(outcome.error->reason().isEmpty()) << path.toStdString();
    }
}

// Output past the cap, a time-out and a cancellation all end the child and every helper it
// started, and the run returns only once the child has been reaped.
TEST_F(BoundedProcessRunnerTest, EveryWayOfStoppingKillsTheWholeProcessGroup)
{
    struct Case
    {
        const char* name;
        QStringList output;
        std::function<void(BoundedProcessRunnerTest&, CancelToken&)> stop;
        std::optional<Code> code; // none: cancelled
    };
    const auto nothing = [](BoundedProcessRunnerTest&, CancelToken&) {};
    const Case cases[] = {
        {"output past the cap", {"bytes 1048577"}, nothing, Code::outputLimitExceeded},
        {"time-out", {}, [](BoundedProcessRunnerTest& test, CancelToken&) { test.sleeper->advance(8); }, Code::timedOut},
        {"cancellation", {}, [](BoundedProcessRunnerTest&, CancelToken& token) { token.cancel(); }, std::nullopt},
    };
    for (const auto& testCase : cases) {
        FakeCodexAppServer fake(QStringList{"spawn helper", "pid ready"} + testCase.output + QStringList{"hang"});
        const QString ready = fake.makeFifo("ready");
        CancelToken token;
        auto task = runner.run(fake.executablePath(), {}, 8, token);
        const auto pid = fake.awaitPid(ready);
        const auto helper = fake.pidFrom("helper");
        ASSERT_TRUE(pid && helper) << testCase.name;

        sleeper->advance(7.9);
        testCase.stop(*this, token);
        const RunOutcome outcome = finish(std::move(task));
        EXPECT_EQ(outcome.cancelled, !testCase.code) << testCase.name;
        EXPECT_EQ(outcome.error ? std::optional(outcome.error->code()) : std::nullopt, testCase.code) << testCase.name;
        EXPECT_FALSE(QFile::exists(QStringLiteral("/proc/%1").arg(*pid))) << testCase.name << ": not reaped";
        EXPECT_TRUE(FakeCodexAppServer::processEnds(*helper)) << testCase.name << ": helper survived";
        EXPECT_EQ(sleeper->pendingCount(), 0) << testCase.name;
    }
}

TEST_F(BoundedProcessRunnerTest, AnAlreadyCancelledCallStartsNothing)
{
    FakeCodexAppServer fake({"exit 0"});
    CancelToken token;
    token.cancel();
    EXPECT_TRUE(finish(runner.run(fake.executablePath(), {}, 8, token)).cancelled);
    EXPECT_TRUE(fake.log().isEmpty());
}

TEST_F(BoundedProcessRunnerTest, ARunOutlivesItsRunner)
{
    FakeCodexAppServer fake({"raw done"});
    auto owned = std::make_unique<BoundedProcessRunner>(sleeper);
    auto task = owned->run(fake.executablePath(), {}, 8);
    owned.reset();
    const RunOutcome outcome = finish(std::move(task));
    ASSERT_TRUE(outcome.output);
    EXPECT_EQ(outcome.output->standardOutput, "done");
}

} // namespace
} // namespace vantorel
