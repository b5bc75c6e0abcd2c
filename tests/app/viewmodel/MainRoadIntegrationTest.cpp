#include "app/platform/FreedesktopNotificationBackend.h"
#include "app/platform/NotificationManager.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/StoredState.h"
#include "core/foundation/JsonFileSettingsStore.h"
#include "core/sources/CodexCLIUsageService.h"
#include "support/FakeCodexAppServer.h"
#include "support/FakeNotificationServer.h"
#include "support/QtPrinters.h"
#include "support/TaskOutcome.h"
#include "support/ViewModelHarness.h"
#include "support/WaitUntil.h"

#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

// Runs the event loop until the task has finished and what it left posted has run.
void run(QCoro::Task<> task)
{
    QCoro::waitFor(std::move(task));
    drainEvents();
}

using Keys = StoredState::Keys;

const QString initializeAnswer = QStringLiteral(R"(send {"id":{id},"result":{"userAgent":"fake/1"}})");
// Five-hour window 92 % used, resetting at 2026-03-01T02:00:00Z.
const QString rateLimitsAnswer = QStringLiteral(
    R"(send {"id":{id},"result":{"rateLimits":{"primary":{"usedPercent":92,"windowDurationMins":300,)"
    R"("resetsAt":1772330400},"planType":"plus","limitId":"codex"}}})");

class MainRoadIntegrationTest : public testing::Test
{
public:
    ViewModelHarness harness;
    QTemporaryDir dir;

    std::shared_ptr<JsonFileSettingsStore> openStore()
    {
        return std::make_shared<JsonFileSettingsStore>(dir.filePath(QStringLiteral("defaults.json")), harness.clock.clock());
    }

    AppViewModelDependencies dependencies(std::shared_ptr<SettingsStore> store,
                                          std::shared_ptr<NotificationManager> notifications)
    {
        AppViewModelDependencies d = harness.dependencies();
        d.defaults = std::move(store);
        d.notificationManager = std::move(notifications);
        d.codexUsageLoader = {};
        return d;
    }

    void storeSettings(SettingsStore& store, const QString& codexPath)
    {
        AppSettings settings;
        settings.discordResetNotificationsEnabled = true;
        settings.codexCLIExecutablePath = codexPath;
        settings.componentNames = {QStringLiteral("API")};
        store.set(Keys::defaultsApplied, true);
        store.set(Keys::settings, json::write(toJson(settings), json::Form::store));
        const Json page = {{"status", {{"indicator", "none"}, {"description", "x"}}},
                           {"components", Json::array({{{"name", "API"}, {"status", "operational"}}})}};
        harness.server.respond(QStringLiteral("/api/v2/summary.json"),
                               TestHttpResponse::json(QByteArray::fromStdString(page.dump())));
    }
};

TEST_F(MainRoadIntegrationTest, ALowCodexReadingReachesTheStateTheDesktopAndTheStore)
{
    FakeCodexAppServer codex({"expect", initializeAnswer, "expect", "expect", rateLimitsAnswer, "drain"});
    FakeNotificationServer desktop;
    ASSERT_TRUE(desktop.isServing());
    auto notifications = std::make_shared<NotificationManager>(std::make_shared<FreedesktopNotificationBackend>(
        QDBusConnection::sessionBus(), FreedesktopNotificationBackend::Options{desktop.serviceName()}));
    auto store = openStore();
    storeSettings(*store, codex.executablePath());
    AppViewModel& vm = harness.makeViewModel(dependencies(store, notifications));

    run(vm.refreshScheduledItems());
    const QString title = QStringLiteral("Codex 使用量が少なくなっています");
    const QString body = QStringLiteral("5時間枠の残りが 8% です。");
    ASSERT_TRUE(waitUntil([&] {
        return !vm.notificationHistory().isEmpty()
            && vm.notificationHistory().first().delivery->local == NotificationDeliveryStatus::accepted;
    }));

    ASSERT_TRUE(vm.usageSnapshot());
    EXPECT_EQ(vm.usageSnapshot()->fiveHourRemainingPercent, 8.0);
    EXPECT_EQ(vm.usageHistory().size(), 1);
    ASSERT_EQ(vm.notificationHistory().size(), 1);
    const NotificationHistoryEntry entry = vm.notificationHistory().first();
    EXPECT_EQ(entry.title, title);
    EXPECT_EQ(entry.body, body);
    // No webhook is saved: the delivery pass after the refresh records that and keeps the item.
    EXPECT_EQ(entry.delivery->discord, NotificationDeliveryStatus::credentialUnavailable);
    ASSERT_EQ(desktop.calls().size(), 1);
    EXPECT_EQ(desktop.calls().first().summary, title);
    EXPECT_EQ(desktop.calls().first().body, body);
    ASSERT_EQ(vm.pendingDiscordResetNotifications().size(), 1);
    EXPECT_EQ(vm.pendingDiscordResetNotifications().first().id, "usage-Codex-five-10-1772330400");
    EXPECT_EQ(vm.pendingDiscordResetNotifications().first().generation, entry.id);

    const auto reading = vm.usageSnapshot();
    harness.destroyViewModel();
    store.reset();
    AppViewModel& reopened = harness.makeViewModel(dependencies(openStore(), notifications));
    EXPECT_EQ(reopened.usageSnapshot(), reading);
    EXPECT_EQ(reopened.usageHistory().size(), 1);
    ASSERT_EQ(reopened.notificationHistory().size(), 1);
    EXPECT_EQ(reopened.notificationHistory().first(), entry);
    ASSERT_EQ(reopened.pendingDiscordResetNotifications().size(), 1);
    EXPECT_EQ(reopened.state().sentDiscordUsageNotifications, QStringList{"Codex-five-10"});
}

TEST_F(MainRoadIntegrationTest, ARealCodexWithoutLoginKeepsTheOldReading)
{
    if (QStandardPaths::findExecutable(QStringLiteral("codex")).isEmpty()) {
        GTEST_SKIP() << "no codex on PATH";
    }
    auto store = openStore();
    storeSettings(*store, QString());
    AppViewModelDependencies d = dependencies(store, harness.notificationManager);
    d.codexCLIUsageService = std::make_shared<CodexCLIUsageService>();
    AppViewModel& vm = harness.makeViewModel(d);
    const UsageSnapshot old{.fiveHourRemainingPercent = 50, .source = UsageSource::manual, .updatedAt = harness.clock.now()};
    vm.saveUsageSnapshot(old);

    run(vm.refreshCodexCLIUsage());
    EXPECT_TRUE(vm.codexCLIErrorMessage().has_value());
    EXPECT_EQ(harness.logLines("refreshCodexCLIUsage.error ").size(), 1);
    EXPECT_EQ(vm.usageSnapshot(), old);
}

} // namespace
} // namespace vantorel
