#include "app/platform/MacClaudeLoginAvailability.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/StoredState.h"
#include "core/foundation/InMemorySettingsStore.h"
#include "support/DrainEvents.h"
#include "support/FakeClaudeCodeCredentialReader.h"
#include "support/ManualSleeper.h"
#include "support/QtPrinters.h"
#include "support/ViewModelHarness.h"

#include <QCoroTask>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

const QString usagePath = QStringLiteral("/api/oauth/usage");

class ClaudeAuthenticationRecoveryTest : public ::testing::Test
{
protected:
    ViewModelHarness h;
    MacClaudeLoginAvailability availability{nullptr, nullptr};
    bool canPresent = true;
    QStringList opened;
    AppViewModel* vm = nullptr;

    void SetUp() override
    {
        auto dependencies = h.dependencies();
        dependencies.claudeLoginLauncher = [this] { return opened << QStringLiteral("login"), true; };
        dependencies.claudeCodeLauncher = [this] { return opened << QStringLiteral("claude"), true; };
        dependencies.claudeCanPresentLogin = [this] { return canPresent; };
        dependencies.claudeLoginAvailability = &availability;
        AppSettings settings;
        settings.claudeEnabled = true;
        settings.claudeAuthenticationAutoRecoveryEnabled = true;
        h.storeSettings(settings);
        vm = &h.makeViewModel(dependencies);
        vm->observeClaudeLoginAvailability();
        h.claudeCredentials->setPayload(R"({"claudeAiOauth":{"accessToken":"tok-1"}})");
        // The failure a refresh left behind: the stored token was rejected.
        vm->publishedState().claudeUsageFailure = ClaudeUsageFailure::reauthenticationRequired;
        vm->mutableState().claudeRejectedToken = QStringLiteral("tok-1");
    }
    void run(QCoro::Task<> task)
    {
        QCoro::waitFor(std::move(task));
        drainEvents();
    }
};

TEST_F(ClaudeAuthenticationRecoveryTest, ManualReconnectWhoseRefreshSucceedsOpensNothing)
{
    h.server.respond(usagePath, TestHttpResponse::json(R"({"five_hour":{"utilization":1}})"));
    run(vm->reconnectClaudeAuthentication(false, false));
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_FALSE(vm->isWaitingForClaudeLogin());
    EXPECT_FALSE(vm->claudeUsageFailure());
    EXPECT_EQ(h.server.requestCount(), 1) << "a manual run re-checks even a rejected token";
}

TEST_F(ClaudeAuthenticationRecoveryTest, AutomaticRunWaitsForThePresentUserOpensTheLoginOnceAndTimesOut)
{
    canPresent = false;
    vm->queueAutomaticClaudeRecoveryIfNeeded();
    drainEvents();
    EXPECT_TRUE(vm->claudeAutomaticRecoveryDeferred());
    EXPECT_TRUE(opened.isEmpty());

    canPresent = true;
    emit availability.interactionResumed();
    drainEvents();
    EXPECT_EQ(opened, QStringList{"login"});
    EXPECT_EQ(h.server.requestCount(), 0) << "the rejected token is not sent again";
    EXPECT_FALSE(vm->claudeAutomaticRecoveryDeferred());
    EXPECT_TRUE(h.defaults->value(StoredState::Keys::claudeAutomaticRecoveryAttemptAt));
    EXPECT_TRUE(vm->isWaitingForClaudeLogin());

    // The watch looks 36 times, every 5 s, for a token other than the rejected one.
    const int reads = h.claudeCredentials->readCount();
    for (int look = 0; look < 40 && h.sleeper->advanceToNextDeadline(); ++look)
        drainEvents();
    EXPECT_EQ(h.claudeCredentials->readCount(), reads + 36);
    EXPECT_FALSE(vm->isWaitingForClaudeLogin());
    EXPECT_EQ(vm->claudeUsageErrorMessage(),
              QStringLiteral("認証の完了を確認できませんでした。完了後に「Claude認証」を押してください。"));

    // One automatic attempt per failure.
    emit availability.interactionResumed();
    drainEvents();
    EXPECT_EQ(opened.size(), 1);
}

TEST_F(ClaudeAuthenticationRecoveryTest, ExpiredPrecheckOpensClaudeCodeUnlessALoginIsForced)
{
    h.claudeCredentials->setPayload(R"({"claudeAiOauth":{"accessToken":"tok-2","expiresAt":1000}})");
    vm->publishedState().claudeUsageFailure.reset();
    run(vm->reconnectClaudeAuthentication(false, false));
    EXPECT_EQ(vm->claudeUsageFailure(), ClaudeUsageFailure::credentialExpired);
    EXPECT_EQ(opened, QStringList{"claude"});
    vm->tasks().claudeLoginObservationTask = TaskHandle();
    vm->publishedState().isWaitingForClaudeLogin = false;
    run(vm->reconnectClaudeAuthentication(true, false));
    EXPECT_EQ(opened, QStringList({"claude", "login"}));
}

} // namespace
} // namespace vantorel
