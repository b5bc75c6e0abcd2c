#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/StoredState.h"
#include "core/foundation/InMemorySettingsStore.h"
#include "support/DrainEvents.h"
#include "support/FakeClaudeCodeCredentialReader.h"
#include "support/QtPrinters.h"
#include "support/ViewModelHarness.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using Keys = StoredState::Keys;
const QString claudeUsagePath = QStringLiteral("/api/oauth/usage");
const QByteArray usageBody = R"({"five_hour":{"utilization":40},"seven_day":{"utilization":10}})";

void runRefresh(QCoro::Task<> task)
{
    QCoro::waitFor(std::move(task));
    drainEvents();
}

class ClaudeUsageRefreshTest : public ::testing::Test
{
protected:
    ViewModelHarness h;
    AppViewModel* vm = nullptr;

    void SetUp() override { makeViewModel(); }
    // A fresh view model with Claude on and a plain credential.
    void makeViewModel()
    {
        AppSettings settings;
        settings.claudeEnabled = true;
        h.storeSettings(settings);
        vm = &h.makeViewModel();
        h.claudeCredentials->setPayload(R"({"claudeAiOauth":{"accessToken":"tok-1","subscriptionType":"max"}})");
    }
    void store(UsageSource source)
    {
        UsageSnapshot snapshot;
        snapshot.source = source;
        vm->saveClaudeUsageSnapshot(snapshot);
    }
};

TEST_F(ClaudeUsageRefreshTest, RateLimitAndRefusalOpenRetryWindowsThatEveryCallHonours)
{
    struct Row
    {
        const char* name;
        int status;
        const char* retryAfter;
        std::optional<double> window;
        ClaudeUsageFailure failure;
    };
    const Row rows[] = {
        {"short server wait", 429, "10", 60.0, ClaudeUsageFailure::rateLimited},
        {"server wait", 429, "120", 120.0, ClaudeUsageFailure::rateLimited},
        {"no server wait", 429, nullptr, 3'600.0, ClaudeUsageFailure::rateLimited},
        {"absurd server wait", 429, "1e12", 86'400.0, ClaudeUsageFailure::rateLimited},
        {"refused", 403, nullptr, 3'600.0, ClaudeUsageFailure::accessDenied},
        {"server error", 500, nullptr, std::nullopt, ClaudeUsageFailure::serviceUnavailable},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        makeViewModel();
        auto answer = TestHttpResponse::json("{}", row.status);
        if (row.retryAfter)
            answer.headers.set("Retry-After", row.retryAfter);
        h.server.enqueue(claudeUsagePath, answer);
        const int before = h.server.requestCount();
        runRefresh(vm->refreshClaudeUsage(false));
        EXPECT_EQ(h.server.requestCount(), before + 1);
        EXPECT_EQ(vm->claudeUsageFailure(), row.failure);
        const auto window = vm->state().claudeUsageRetryAfter;
        EXPECT_EQ(window ? std::optional(*window - h.clock.now()) : std::nullopt, row.window);
        if (!row.window)
            continue;
        h.clock.advance(*row.window - 1.0);
        vm->publishedState().claudeUsageErrorMessage.reset();
        runRefresh(vm->refreshClaudeUsage(false));
        runRefresh(vm->refreshClaudeUsage(true));
        EXPECT_EQ(h.server.requestCount(), before + 1) << "nothing is sent inside the window";
        EXPECT_EQ(vm->claudeUsageErrorMessage().value_or(QString()).contains(QStringLiteral(" 再試行可能: ")),
                  row.status == 429);
    }
}

TEST_F(ClaudeUsageRefreshTest, RejectedTokenEndsInReauthenticationOncePerEpisode)
{
    store(UsageSource::claudeOAuth);
    h.server.respond(claudeUsagePath, TestHttpResponse::json("{}", 401));
    const int reads = h.claudeCredentials->readCount();
    runRefresh(vm->refreshClaudeUsage(false));
    EXPECT_EQ(h.claudeCredentials->readCount(), reads + 2);
    EXPECT_EQ(h.server.requestCount(), 1) << "an unchanged token is not sent twice";
    EXPECT_EQ(vm->claudeUsageFailure(), ClaudeUsageFailure::reauthenticationRequired);
    EXPECT_EQ(vm->state().claudeRejectedToken, QStringLiteral("tok-1"));
    EXPECT_FALSE(vm->claudeUsageSnapshot());
    EXPECT_FALSE(h.defaults->value(Keys::claudeUsage));
    EXPECT_EQ(h.defaults->stringValue(Keys::claudeAuthFailureEpisode), QStringLiteral("reauthentication-required"));

    // A manual reading stays; a second failure in the same episode adds no entry.
    store(UsageSource::manual);
    runRefresh(vm->refreshClaudeUsage(false));
    EXPECT_EQ(vm->claudeUsageSnapshot()->source, UsageSource::manual);
    ASSERT_EQ(vm->notificationHistory().size(), 1);
    EXPECT_EQ(vm->notificationHistory().constFirst().title, QStringLiteral("Claudeの再認証が必要です"));

    // Claude Code signed itself out: the same recovery, without a request.
    h.claudeCredentials->setPayload(R"({"claudeAiOauth":{"accessToken":"","refreshToken":"","expiresAt":0}})");
    vm->publishedState().claudeUsageFailure.reset();
    runRefresh(vm->refreshClaudeUsage(true));
    EXPECT_EQ(vm->claudeUsageFailure(), ClaudeUsageFailure::reauthenticationRequired);
    EXPECT_EQ(h.server.requestCount(), 2);
}

TEST_F(ClaudeUsageRefreshTest, OvertakenResultsAreDroppedAndACancelledRequestRunsOnceMore)
{
    h.server.respond(claudeUsagePath, TestHttpResponse::json(usageBody));
    h.claudeCredentials->setHeld(true);
    QCoro::Task<> first = vm->refreshClaudeUsage(false);
    vm->mutableState().claudeAuthenticationGeneration = QUuid::createUuid();
    h.claudeCredentials->releaseHeldReads();
    runRefresh(std::move(first));
    EXPECT_EQ(h.server.requestCount(), 0);
    EXPECT_FALSE(vm->claudeUsageSnapshot()) << "a result of an older generation is discarded";
    EXPECT_FALSE(vm->claudeUsageFailure());

    // A forced reload reads the held credential, so the cancel lands before anything is sent.
    QCoro::Task<> cancelled = vm->refreshClaudeUsage(true);
    ASSERT_EQ(h.claudeCredentials->heldReadCount(), 1);
    vm->tasks().claudeUsageRequestTask.cancel();
    runRefresh(vm->refreshClaudeUsage(false));
    runRefresh(vm->refreshClaudeUsage(false));
    h.claudeCredentials->releaseHeldReads();
    runRefresh(std::move(cancelled));
    h.claudeCredentials->setHeld(false);
    h.claudeCredentials->releaseHeldReads();
    ASSERT_TRUE(waitUntil([&] { return vm->claudeUsageSnapshot().has_value(); }));
    EXPECT_EQ(h.server.requestCount(), 1);
    EXPECT_EQ(vm->claudeUsageSnapshot()->fiveHourRemainingPercent, 60.0);
    EXPECT_EQ(vm->claudeAuthenticatedPlanType(), QStringLiteral("max"));
}

} // namespace
} // namespace vantorel
