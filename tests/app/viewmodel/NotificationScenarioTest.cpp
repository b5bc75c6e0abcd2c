#include "app/platform/KeychainStore.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/StoredState.h"
#include "core/foundation/InMemorySettingsStore.h"
#include "core/foundation/PendingCompletion.h"
#include "core/rules/DiscordNotificationOutbox.h"
#include "core/sources/CodexCLIUsageError.h"
#include "support/FakeNotificationBackend.h"
#include "support/QtPrinters.h"
#include "support/TaskOutcome.h"
#include "support/ViewModelHarness.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

// Runs the event loop until the task has finished and what it left posted has run.
void runScenario(QCoro::Task<> task)
{
    QCoro::waitFor(std::move(task));
    drainEvents();
}

using Keys = StoredState::Keys;
using Status = NotificationDeliveryStatus;

QCoro::Task<bool> finished(QCoro::Task<> task)
{
    co_await std::move(task);
    co_return true;
}

QCoro::Task<UsageSnapshot> answerWith(PendingCompletion<UsageSnapshot> answer)
{
    co_return co_await answer;
}

class NotificationScenarioTest : public testing::Test
{
public:
    ViewModelHarness harness;

    AppViewModel& start(bool local = true, bool discord = true,
                        std::optional<PendingCompletion<UsageSnapshot>> codexAnswer = std::nullopt)
    {
        AppSettings settings;
        settings.notificationsEnabled = local;
        settings.discordResetNotificationsEnabled = discord;
        settings.componentNames = {QStringLiteral("A"), QStringLiteral("API"), QStringLiteral("B")};
        settings.setNotificationCategory(NotificationCategory::serviceIncidents, MonitoredProvider::codex,
                                         NotificationChannel::discord, true);
        harness.defaults->set(Keys::defaultsApplied, true);
        harness.defaults->set(Keys::settings, json::write(toJson(settings), json::Form::store));
        AppViewModelDependencies dependencies = harness.dependencies();
        if (codexAnswer) {
            dependencies.codexUsageLoader = [answer = *codexAnswer](CancelToken) { return answerWith(answer); };
        }
        return harness.makeViewModel(dependencies);
    }

    UsageSnapshot reading(double fiveHour, std::optional<BankedResetSummary> banked = std::nullopt)
    {
        harness.clock.advance(60);
        return UsageSnapshot{.fiveHourRemainingPercent = fiveHour, .weeklyRemainingPercent = 100,
                             .bankedReset = banked, .fiveHourResetAt = resetAt, .weeklyResetAt = resetAt + 86'400,
                             .planType = "plus", .source = UsageSource::codexCLI, .updatedAt = harness.clock.now(),
                             .codexPeriodValidationVersion = 1};
    }

    QStringList outboxIDs() const
    {
        QStringList ids;
        for (const auto& item : harness.viewModel().pendingDiscordResetNotifications()) {
            ids.append(item.id);
        }
        return ids;
    }

    std::pair<Status, Status> newest() const
    {
        const auto& evidence = harness.viewModel().notificationHistory().first().delivery;
        return {evidence->local, evidence->discord};
    }

    void serveStatus(const QList<std::pair<const char*, const char*>>& components, const char* updatedAt)
    {
        Json list = Json::array();
        for (const auto& [name, status] : components) {
            list.push_back({{"name", name}, {"status", status}, {"updated_at", updatedAt}});
        }
        const Json page = {{"status", {{"indicator", "none"}, {"description", "x"}}}, {"components", list}};
        harness.server.enqueue(QStringLiteral("/api/v2/summary.json"), TestHttpResponse::json(QByteArray::fromStdString(page.dump())));
    }

    Date resetAt = ManualClock().now() + 3'600;
};

TEST_F(NotificationScenarioTest, StatusWorseningIsReportedOnceFromTheSecondFetchAndAFailureKeepsTheComponents)
{
    AppViewModel& vm = start();
    serveStatus({{"API", "major_outage"}}, "1970-01-01T00:00:12.5Z");
    runScenario(vm.refreshStatus());
    EXPECT_TRUE(vm.notificationHistory().isEmpty());

    serveStatus({{"API", "operational"}}, "1970-01-01T00:00:12.5Z");
    runScenario(vm.refreshStatus());
    serveStatus({{"API", "partial_outage"}}, "1970-01-01T00:00:12.5Z");
    runScenario(vm.refreshStatus());
    ASSERT_EQ(vm.notificationHistory().size(), 1);
    EXPECT_EQ(vm.notificationHistory().first().title, "Codex Status が悪化しました");
    EXPECT_EQ(outboxIDs(), QStringList{"incident-codex-API:partial_outage:12.5"});
    EXPECT_EQ(newest().second, Status::waiting);

    harness.server.enqueue(QStringLiteral("/api/v2/summary.json"), TestHttpResponse::text("down", 500));
    runScenario(vm.refreshStatus());
    EXPECT_EQ(vm.statusSummary().pageIndicator, "fetch_failed");
    EXPECT_EQ(vm.statusSummary().pageDescription, "取得失敗");
    EXPECT_EQ(vm.statusSummary().overallStatus, OverallCodexState::fetchFailed);
    EXPECT_EQ(vm.statusSummary().services.size(), 1);
    EXPECT_EQ(vm.notificationHistory().size(), 1);
    EXPECT_FALSE(vm.isRefreshing());

    serveStatus({{"B", "operational"}, {"A", "operational"}}, "1970-01-01T00:00:20Z");
    runScenario(vm.refreshStatus());
    serveStatus({{"B", "major_outage"}, {"A", "partial_outage"}}, "1970-01-01T00:00:20Z");
    runScenario(vm.refreshStatus());
    const PendingDiscordNotification& incident = vm.pendingDiscordResetNotifications().last();
    EXPECT_EQ(incident.id, "incident-codex-A:partial_outage:20.0|B:major_outage:20.0");
    const auto* event = incident.event->as<DiscordNotificationEvent::ServiceIncident>();
    ASSERT_EQ(event->services.size(), 2);
    EXPECT_EQ(event->services[0].componentName, "B");
}

struct LowBalanceCase
{
    const char* name;
    bool local;
    QList<double> percents;
    QStringList localKeys;
    QStringList discordKeys;
    qsizetype records;
    std::pair<Status, Status> newest;
    qsizetype queued;
};

class LowBalanceTest : public NotificationScenarioTest, public testing::WithParamInterface<LowBalanceCase>
{
};

TEST_P(LowBalanceTest, AnnouncesEachLevelOncePerCycleOnBothChannels)
{
    const LowBalanceCase& c = GetParam();
    AppViewModel& vm = start(c.local);
    for (const double percent : c.percents) {
        vm.saveUsageSnapshot(reading(percent));
    }
    drainEvents();
    EXPECT_EQ(vm.state().sentUsageNotifications, c.localKeys);
    EXPECT_EQ(harness.defaults->stringListValue(Keys::usageNotifications).value_or(QStringList()), c.localKeys);
    EXPECT_EQ(vm.state().sentDiscordUsageNotifications, c.discordKeys);
    EXPECT_EQ(harness.defaults->stringListValue(Keys::discordUsageNotifications).value_or(QStringList()), c.discordKeys);
    ASSERT_EQ(vm.notificationHistory().size(), c.records);
    EXPECT_EQ(newest(), c.newest);
    EXPECT_EQ(vm.pendingDiscordResetNotifications().size(), c.queued);
}

const QString five10 = QStringLiteral("Codex-five-10");

INSTANTIATE_TEST_SUITE_P(
    Cases, LowBalanceTest,
    testing::Values(
        LowBalanceCase{"rearmedCycle", true, {24.9, 25, 8, 5, 30, 9}, {five10}, {five10}, 2,
                       {Status::accepted, Status::waiting}, 1},
        LowBalanceCase{"exhaustedAfterCritical", true, {8, 0}, {five10, "Codex-five-0"}, {five10, "Codex-five-0"}, 2,
                       {Status::accepted, Status::waiting}, 2},
        LowBalanceCase{"discordOnly", false, {8, 5}, {}, {five10}, 1, {Status::disabled, Status::waiting}, 1},
        LowBalanceCase{"warningStaysLocal", true, {15, 12}, {"Codex-five-20"}, {}, 1,
                       {Status::accepted, Status::notApplicable}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(NotificationScenarioTest, OnlyALowBalanceAtTheCriticalOrExhaustedLevelIsUrgent)
{
    using Urgency = LocalNotificationRequest::Urgency;
    AppViewModel& vm = start(true, false);
    serveStatus({{"API", "operational"}}, "1970-01-01T00:00:12.5Z");
    runScenario(vm.refreshStatus());
    serveStatus({{"API", "major_outage"}}, "1970-01-01T00:00:12.5Z");
    runScenario(vm.refreshStatus());
    for (const double percent : {15.0, 8.0, 0.0})
        vm.saveUsageSnapshot(reading(percent));
    drainEvents();

    QList<std::pair<QString, Urgency>> posted;
    for (const auto& request : harness.notificationBackend->posted())
        posted.append({request.title, request.urgency});
    const QList<std::pair<QString, Urgency>> expected{
        {"Codex Status が悪化しました", Urgency::normal},
        {"Codex 使用量が少なくなっています", Urgency::normal},
        {"Codex 使用量が少なくなっています", Urgency::critical},
        {"Codex 利用枠が0%になりました", Urgency::critical},
    };
    EXPECT_EQ(posted, expected);
}

TEST_F(NotificationScenarioTest, ResetsAreAnnouncedOnceThrottledAndDroppedWhenStale)
{
    AppViewModel& vm = start();
    const QString weekly = QStringLiteral("週間枠");
    const Date now = harness.clock.now();
    const auto announce = [&](Date previous, std::optional<Date> current, UsageResetDetectionReason reason) {
        vm.checkResetNotification(QStringLiteral("Codex"), weekly, previous, current, reason, harness.clock.now());
        return vm.notificationHistory().size();
    };
    EXPECT_EQ(announce(now - 10, now + 600'000, UsageResetDetectionReason::scheduledTimePassed), 1);
    EXPECT_EQ(announce(now - 10, now + 600'000, UsageResetDetectionReason::scheduledTimePassed), 1);
    harness.clock.advance(3'600);
    EXPECT_EQ(announce(now + 5, now + 700'000, UsageResetDetectionReason::earlyResetDateAdvanced), 1);
    EXPECT_EQ(harness.logLines("usageReset.suppressed").size(), 1);
    EXPECT_EQ(vm.state().sentResetNotificationKeys.entries().size(), 1);
    harness.clock.advance(21'600);
    EXPECT_EQ(announce(now + 5, now + 700'000, UsageResetDetectionReason::earlyResetDateAdvanced), 2);

    harness.clock.advance(21'600);
    const Date later = harness.clock.now();
    EXPECT_EQ(announce(later - 172'801, std::nullopt, UsageResetDetectionReason::scheduledTimePassed), 2);
    harness.clock.advance(21'600);
    EXPECT_EQ(announce(harness.clock.now() - 172'800, std::nullopt, UsageResetDetectionReason::scheduledTimePassed), 3);
    EXPECT_TRUE(vm.notificationHistory().first().body.contains("未取得"));
}

TEST_F(NotificationScenarioTest, AnUnconfirmedReadingCancelsCodexComparisonsAndAPlanChangeRearms)
{
    AppViewModel& vm = start();
    vm.saveUsageSnapshot(reading(50));
    vm.saveUsageSnapshot(reading(8));
    ASSERT_EQ(vm.pendingDiscordResetNotifications().size(), 1);
    const QUuid queuedRecord = vm.pendingDiscordResetNotifications().first().generation;
    EXPECT_TRUE(vm.state().usageResetBaselines.contains("Codex-five"));

    UsageSnapshot unconfirmed = reading(40);
    unconfirmed.codexPeriodValidationVersion.reset();
    harness.scriptCodexReading(unconfirmed);
    runScenario(vm.refreshCodexCLIUsage());
    EXPECT_EQ(vm.codexCLIErrorMessage(), CodexCLIUsageError(CodexCLIUsageError::Code::unconfirmedUsageFormat).message());
    EXPECT_TRUE(vm.codexPeriodsUnconfirmed());
    EXPECT_EQ(harness.defaults->boolValue(Keys::codexPeriodsUnconfirmed), true);
    EXPECT_EQ(vm.usageSnapshot()->fiveHourRemainingPercent, 8);
    EXPECT_FALSE(vm.state().usageResetBaselines.contains("Codex-five"));
    EXPECT_TRUE(vm.pendingDiscordResetNotifications().isEmpty());
    const auto& cancelled = *std::find_if(vm.notificationHistory().cbegin(), vm.notificationHistory().cend(),
                                          [&](const auto& entry) { return entry.id == queuedRecord; });
    EXPECT_EQ(cancelled.delivery->discord, Status::cancelled);
    EXPECT_EQ(cancelled.delivery->discordCancellationReason, NotificationCancellationReason::unsupportedEvent);
    EXPECT_TRUE(vm.state().sentDiscordUsageNotifications.isEmpty());

    vm.saveUsageSnapshot(reading(8));
    EXPECT_FALSE(vm.codexPeriodsUnconfirmed());
    UsageSnapshot otherPlan = reading(8);
    otherPlan.planType = "pro";
    const qsizetype before = vm.notificationHistory().size();
    vm.saveUsageSnapshot(otherPlan);
    EXPECT_EQ(vm.notificationHistory().size(), before + 1);
}

BankedResetCredit credit(const char* id, Date expiresAt)
{
    return BankedResetCredit{.id = id, .status = "available", .expiresAt = expiresAt};
}

TEST_F(NotificationScenarioTest, BankedResetGrantIDsAndTheRepeatedCountGrant)
{
    AppViewModel& vm = start();
    const Date expiry = harness.clock.now() + 30 * 86'400;
    const auto banked = [&](std::int64_t count, std::optional<QList<BankedResetCredit>> credits = std::nullopt) {
        vm.saveUsageSnapshot(reading(100, BankedResetSummary{.availableCount = count, .credits = credits}));
    };
    banked(1);
    vm.mutableState().lastObservedBankedReset.reset();
    banked(2, QList{credit("b", expiry), credit("a", expiry)});
    EXPECT_EQ(outboxIDs(), (QStringList{"banked-reset-count--1-1-1772413200", "banked-reset-a,b"}));

    // The same count-only grant again while its first message still waits: the new record is
    // told apart from the one the queued item reports.
    banked(3);
    banked(2);
    banked(2);
    banked(3);
    EXPECT_EQ(outboxIDs().last(), "banked-reset-count-2-3-1772413200");
    EXPECT_EQ(outboxIDs().size(), 3);
    EXPECT_EQ(vm.notificationHistory()[1].delivery->discord, Status::waiting);
    EXPECT_EQ(vm.notificationHistory()[0].delivery->discord, Status::notApplicable);
}

struct ExpiryCase
{
    bool local;
    bool discord;
    qsizetype records;
    std::optional<std::pair<Status, Status>> evidence;
};

class BankedResetExpiryTest : public NotificationScenarioTest, public testing::WithParamInterface<ExpiryCase>
{
};

TEST_P(BankedResetExpiryTest, IsRememberedOnlyWhenAChannelTookIt)
{
    const ExpiryCase& c = GetParam();
    AppViewModel& vm = start(c.local, c.discord);
    vm.mutableState().bankedResetExpiryObservation.current =
        BankedResetSummary{.availableCount = 1, .credits = QList{credit("c1", harness.clock.now() + 86'400)}};
    vm.evaluateBankedResetExpiryNotifications();
    drainEvents();
    EXPECT_EQ(vm.state().notifiedBankedResetExpiries.size(), c.records);
    ASSERT_EQ(vm.notificationHistory().size(), c.records);
    if (c.evidence) {
        EXPECT_EQ(newest(), *c.evidence);
    }
}

INSTANTIATE_TEST_SUITE_P(Channels, BankedResetExpiryTest,
                         testing::Values(ExpiryCase{true, true, 1, std::pair(Status::accepted, Status::waiting)},
                                         ExpiryCase{true, false, 1, std::pair(Status::accepted, Status::disabled)},
                                         ExpiryCase{false, true, 1, std::pair(Status::disabled, Status::waiting)},
                                         ExpiryCase{false, false, 0, std::nullopt}));

TEST_F(NotificationScenarioTest, ASupersededOrSwitchedOffCodexRefreshDropsItsReading)
{
    for (const bool switchOff : {false, true}) {
        PendingCompletion<UsageSnapshot> answer;
        AppViewModel& vm = start(true, true, answer);
        auto refresh = startTask(finished(vm.refreshCodexCLIUsage()));
        EXPECT_TRUE(vm.isRefreshingCodexCLI());
        if (switchOff) {
            AppSettings settings = vm.settings();
            settings.codexEnabled = false;
            vm.setSettings(settings);
        } else {
            // What a newer refresh or the outbox worker does.
            vm.mutableState().bankedResetExpiryObservation.reset();
        }
        answer.complete(reading(50));
        drainEvents();
        EXPECT_TRUE(refresh->finished);
        EXPECT_FALSE(vm.isRefreshingCodexCLI());
        EXPECT_FALSE(vm.usageSnapshot().has_value());
    }
}

TEST_F(NotificationScenarioTest, RateLimitsNeedAKeyAndTwoCallsFetchOnce)
{
    AppViewModel& vm = start();
    runScenario(vm.refreshAPIRateLimits());
    EXPECT_EQ(vm.apiRateErrorMessage(), "API Key が未保存です。設定から保存してください。");
    EXPECT_EQ(harness.logLines("refreshAPIRateLimits.skipped missingAPIKey").size(), 1);
    EXPECT_FALSE(vm.isRefreshingRate());

    harness.keychainStore->save(QStringLiteral("sk-test"), KeychainStore::openAIAPIKeyService);
    TestHttpResponse limits = TestHttpResponse::json("{}");
    limits.headers.set("x-ratelimit-limit-requests", "100");
    limits.headers.set("x-ratelimit-remaining-requests", "5");
    harness.server.respond(QStringLiteral("/v1/models/gpt-5-codex"), limits);
    // Both calls pass the first test while the key is read; only one may fetch.
    auto first = startTask(finished(vm.refreshAPIRateLimits()));
    runScenario(vm.refreshAPIRateLimits());
    ASSERT_TRUE(waitUntil([&] { return first->finished; }));
    EXPECT_EQ(harness.server.requestCount(), 1);
    EXPECT_EQ(vm.apiRateSnapshot()->requestsRemaining, 5);
    EXPECT_EQ(vm.notificationHistory().first().body, "APIリクエストの残りが 5% です。");
}

} // namespace
} // namespace vantorel
