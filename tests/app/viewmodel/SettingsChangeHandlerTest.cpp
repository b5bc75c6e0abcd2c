#include "app/platform/KeychainStore.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/StoredState.h"
#include "core/foundation/InMemorySettingsStore.h"
#include "support/DrainEvents.h"
#include "support/FakeClaudeCodeCredentialReader.h"
#include "support/FakeNotificationBackend.h"
#include "support/FakeSecretStore.h"
#include "support/FakeUrlOpener.h"
#include "support/ManualSleeper.h"
#include "support/QtPrinters.h"
#include "support/ViewModelHarness.h"
#include "support/WaitUntil.h"

#include <QClipboard>
#include <QGuiApplication>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using Edit = std::function<void(AppSettings&)>;
const QString storedApiKey = QStringLiteral("sk-secret-key");
const QString storedWebhook = QStringLiteral("https://discord.com/api/webhooks/1/secret-hook");
const QString claudeToken = QStringLiteral("claude-secret-token");

void withSecrets(ViewModelHarness& h)
{
    h.secrets->put(KeychainStore::openAIAPIKeyService, QStringLiteral("default"), storedApiKey.toUtf8());
    h.secrets->put(KeychainStore::discordWebhookURLService, QStringLiteral("default"), storedWebhook.toUtf8());
    h.claudeCredentials->setPayload(QByteArrayLiteral(R"({"claudeAiOauth":{"accessToken":")") + claudeToken.toUtf8()
                                    + QByteArrayLiteral(R"(","subscriptionType":"max"}})"));
}

// A view model with its services started, once its start-up refresh is over.
AppViewModel& started(ViewModelHarness& h)
{
    AppViewModel& vm = h.makeViewModel(true);
    EXPECT_TRUE(waitUntil([&] { return vm.lastRefreshCompletedAt().has_value(); }));
    drainEvents();
    return vm;
}

// An outbox item without an event: any revalidation cancels it.
PendingDiscordNotification marker(Date now)
{
    return PendingDiscordNotification(QStringLiteral("marker"), QStringLiteral("x"), now, 0, std::nullopt,
                                      std::nullopt, std::nullopt, QUuid::createUuid());
}

TEST(SettingsChangeHandler, EachFieldRunsItsOwnReactions)
{
    struct Row
    {
        const char* field;
        Edit base;
        Edit flip;
        bool timer;
        QStringList logs;
        int requests;
        int codexLoads;
        bool revalidated;
        bool launchAtLogin = false;
    };
    const Edit nothing = [](AppSettings&) {};
    const Edit claudeOn = [](AppSettings& s) { s.claudeEnabled = true; };
    const Row rows[] = {
        {"refresh interval", nothing, [](AppSettings& s) { s.refreshIntervalSeconds = 600; }, true, {}, 0, 0, false},
        {"Codex on", [](AppSettings& s) { s.codexEnabled = false; }, [](AppSettings& s) { s.codexEnabled = true; },
         true, {QStringLiteral("provider.enabled Codex")}, 1, 1, true},
        {"Codex off", nothing, [](AppSettings& s) { s.codexEnabled = false; }, true,
         {QStringLiteral("provider.disabled Codex")}, 0, 0, true},
        {"Claude on", nothing, claudeOn, true, {QStringLiteral("provider.enabled Claude")}, 2, 0, true},
        {"Claude off", claudeOn, [](AppSettings& s) { s.claudeEnabled = false; }, true,
         {QStringLiteral("provider.disabled Claude")}, 0, 0, true},
        {"API rate on", nothing, [](AppSettings& s) { s.apiRateAutoRefreshEnabled = true; }, true, {}, 1, 0, false},
        {"API rate on while Codex is off", [](AppSettings& s) { s.codexEnabled = false; },
         [](AppSettings& s) { s.apiRateAutoRefreshEnabled = true; }, true, {}, 0, 0, false},
        {"Codex CLI on", [](AppSettings& s) { s.codexCLIAutoRefreshEnabled = false; },
         [](AppSettings& s) { s.codexCLIAutoRefreshEnabled = true; }, true, {}, 0, 1, true},
        {"Claude status on", [](AppSettings& s) { s.claudeEnabled = true, s.claudeStatusEnabled = false; },
         [](AppSettings& s) { s.claudeStatusEnabled = true; }, true, {}, 1, 0, true},
        {"Claude usage on", [](AppSettings& s) { s.claudeEnabled = true, s.claudeUsageAutoRefreshEnabled = false; },
         [](AppSettings& s) { s.claudeUsageAutoRefreshEnabled = true; }, true, {}, 1, 0, false},
        {"automatic Claude recovery", claudeOn, [](AppSettings& s) { s.claudeAuthenticationAutoRecoveryEnabled = true; },
         false, {}, 0, 0, false},
        {"Discord off", [](AppSettings& s) { s.discordResetNotificationsEnabled = true; },
         [](AppSettings& s) { s.discordResetNotificationsEnabled = false; }, false, {}, 0, 0, true},
        {"Discord on", nothing, [](AppSettings& s) { s.discordResetNotificationsEnabled = true; }, false, {}, 0, 0, true},
        {"expiry warning days", nothing, [](AppSettings& s) { s.setBankedResetExpiryWarningDays(5); }, false, {}, 0, 0,
         true},
        {"category override", nothing, [](AppSettings& s) { s.notificationCategoryOverrides[QStringLiteral("x")] = false; },
         false, {}, 0, 0, true},
        {"menu-bar look only persists", nothing, [](AppSettings& s) { s.menuBarCompactMode = false; }, false, {}, 0, 0,
         false},
        {"launch at login", [](AppSettings& s) { s.launchAtLogin = false; }, [](AppSettings& s) { s.launchAtLogin = true; },
         false, {}, 0, 0, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.field);
        ViewModelHarness h;
        withSecrets(h);
        AppSettings settings;
        row.base(settings);
        h.storeSettings(settings);
        AppViewModel& vm = started(h);
        vm.mutableState().pendingDiscordResetNotifications = {marker(h.clock.now())};
        vm.tasks().discordOutboxWorkerTask =
            TaskHandle::start([&h](CancelToken token) { return h.sleeper->sleep(1'000, token); });
        const CancelToken worker = vm.tasks().discordOutboxWorkerTask.token();
        const auto launchCalls = h.launchAtLoginCalls().size();
        const int sleeps = int(h.sleeper->requestedDurations().size());
        const int requests = h.server.requestCount();
        const int loads = h.codexLoadCount();
        const int logs = int(h.logLines(QStringLiteral("provider.")).size());
        const auto timerLines = h.logLines(QStringLiteral("refreshTimer.")).size();

        row.flip(settings);
        vm.setSettings(settings);
        // Only the timer restart acts at once; started refreshes wait for the next turn.
        EXPECT_EQ(h.sleeper->requestedDurations().size() > sleeps
                      || h.logLines(QStringLiteral("refreshTimer.")).size() > timerLines,
                  row.timer);
        EXPECT_EQ(h.server.requestCount(), requests);
        drainEvents();
        waitUntil([&] {
            return h.server.requestCount() - requests >= row.requests && h.codexLoadCount() - loads >= row.codexLoads
                && !vm.isRefreshingAny();
        });
        drainEvents();

        EXPECT_EQ(vm.storedState().codable(StoredState::Keys::settings, &appSettingsFromJson), settings);
        EXPECT_EQ(h.logLines(QStringLiteral("provider.")).mid(logs), row.logs);
        EXPECT_EQ(h.server.requestCount() - requests, row.requests);
        EXPECT_EQ(h.codexLoadCount() - loads, row.codexLoads);
        EXPECT_EQ(vm.pendingDiscordResetNotifications().isEmpty(), row.revalidated);
        EXPECT_EQ(worker.isCancelled(), row.revalidated) << "stopped or rescheduled";
        const QList<std::pair<bool, bool>> expectedCalls{{true, true}};
        EXPECT_EQ(h.launchAtLoginCalls().mid(launchCalls), row.launchAtLogin ? expectedCalls : decltype(expectedCalls){});
    }
}

TEST(SettingsChangeHandler, AnEqualRecordOnlyPersistsAndCancelsTheAutomaticRecovery)
{
    ViewModelHarness h;
    AppViewModel& vm = started(h);
    vm.publishedState().claudeAutomaticRecoveryDeferred = true;
    h.defaults->remove(StoredState::Keys::settings);
    const auto sleeps = h.sleeper->requestedDurations().size();
    const auto logs = h.logLines().size();
    vm.setSettings(vm.settings());
    drainEvents();
    EXPECT_TRUE(h.defaults->value(StoredState::Keys::settings));
    EXPECT_FALSE(vm.claudeAutomaticRecoveryDeferred());
    EXPECT_EQ(h.sleeper->requestedDurations().size(), sleeps);
    EXPECT_EQ(h.logLines().size(), logs);
}

TEST(SettingsChangeHandler, ClaudeOffStopsItsWorkAndDropsLateResults)
{
    ViewModelHarness h;
    withSecrets(h);
    AppSettings settings;
    settings.claudeEnabled = true;
    h.storeSettings(settings);
    AppViewModel& vm = h.makeViewModel();
    const auto pending = [&h](CancelToken token) { return h.sleeper->sleep(1'000, token); };
    vm.tasks().claudeLoginObservationTask = TaskHandle::start(pending);
    vm.tasks().claudeAuthenticationPrecheckTask = TaskHandle::start(pending);
    const CancelToken watch = vm.tasks().claudeLoginObservationTask.token();
    const CancelToken precheck = vm.tasks().claudeAuthenticationPrecheckTask.token();
    vm.publishedState().isWaitingForClaudeLogin = true;
    h.claudeCredentials->setHeld(true);
    QCoro::Task<> request = vm.refreshClaudeUsage(true);

    settings.claudeEnabled = false;
    vm.setSettings(settings);
    h.claudeCredentials->releaseHeldReads();
    QCoro::waitFor(std::move(request));
    drainEvents();
    EXPECT_TRUE(watch.isCancelled() && precheck.isCancelled());
    EXPECT_FALSE(vm.tasks().claudeUsageRequestTask.isRunning());
    EXPECT_EQ(h.server.requestCount(), 0);
    EXPECT_FALSE(vm.claudeUsageSnapshot() || vm.claudeAuthenticatedPlanType() || vm.isWaitingForClaudeLogin());
}

TEST(SettingsChangeHandler, NotificationSwitchRereadsTheDesktopState)
{
    ViewModelHarness h;
    AppViewModel& vm = h.makeViewModel();
    AppSettings settings = vm.settings();
    for (const bool on : {false, true}) {
        const int queries = h.notificationBackend->statusQueryCount();
        settings.notificationsEnabled = on;
        vm.setSettings(settings);
        drainEvents();
        EXPECT_EQ(h.notificationBackend->statusQueryCount() - queries, on ? 1 : 0);
        EXPECT_EQ(vm.notificationAuthorizationState() == AppNotificationAuthorizationState::disabled, !on);
    }
}

TEST(DiagnosticActions, CopyHoldsNoSecretAndItsMessageClearsFromTheFirstCopy)
{
    ViewModelHarness h;
    withSecrets(h);
    AppSettings settings;
    settings.claudeEnabled = true;
    settings.apiRateAutoRefreshEnabled = true;
    settings.discordResetNotificationsEnabled = true;
    h.storeSettings(settings);
    AppViewModel& vm = started(h);
    const QString summary = vm.diagnosticSummaryText();
    for (const QString& secret : {storedApiKey, storedWebhook, claudeToken})
        EXPECT_FALSE(summary.contains(secret)) << secret.toStdString();

    vm.copyDiagnosticSummary();
    drainEvents();
    h.sleeper->advance(1);
    vm.copyDiagnosticSummary();
    drainEvents();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), vm.diagnosticSummaryText());
    h.sleeper->advance(1.4);
    EXPECT_EQ(vm.lastCopiedSummaryMessage(), QStringLiteral("診断サマリーをコピーしました。"));
    h.sleeper->advance(0.1);
    EXPECT_FALSE(vm.lastCopiedSummaryMessage());

    vm.openDiagnosticsLog();
    vm.openNotificationSettings();
    EXPECT_EQ(h.notificationSettingsOpenCount(), 1);
    ASSERT_EQ(h.urlOpener->opened.size(), 1);
    EXPECT_TRUE(h.urlOpener->opened.constFirst().isLocalFile());
}

} // namespace
} // namespace vantorel
