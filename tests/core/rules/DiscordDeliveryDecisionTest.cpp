#include "RulesTestSupport.h"

#include "core/rules/DiscordNotificationOutbox.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace vantorel {
namespace {

using rules_testing::item;
using rules_testing::now;
using Decision = DiscordNotificationDeliveryDecision;
using Reason = NotificationCancellationReason;
using Event = DiscordNotificationEvent;
using H = ComponentHealth;

const Date observed = now - 60;
const Date queuedReset = now + 2 * 86'400;

AppSettings discordSettings()
{
    AppSettings settings;
    settings.discordResetNotificationsEnabled = true;
    settings.claudeEnabled = true;
    for (const auto provider : allMonitoredProviders) {
        settings.setNotificationCategory(NotificationCategory::serviceIncidents, provider, NotificationChannel::discord, true);
    }
    return settings;
}

UsageSnapshot codexReading(std::optional<double> weekly, std::optional<Date> weeklyResetAt, double age = 30)
{
    UsageSnapshot snapshot;
    snapshot.source = UsageSource::codexCLI;
    snapshot.codexPeriodValidationVersion = 1;
    snapshot.fiveHourRemainingPercent = 50;
    snapshot.fiveHourResetAt = now + 3'600;
    snapshot.weeklyRemainingPercent = weekly;
    snapshot.weeklyResetAt = weeklyResetAt;
    snapshot.updatedAt = now - age;
    return snapshot;
}

Event lowBalance(UsageAlertThreshold level = UsageAlertThreshold::critical, std::optional<Date> resetAt = queuedReset,
                 MonitoredProvider provider = MonitoredProvider::codex, Date at = observed)
{
    return Event::LowBalance{provider, UsageNotificationWindow::weekly, level, resetAt, at};
}

// A critical weekly Codex alert observed at `at`.
Event criticalAt(Date at, std::optional<Date> resetAt = queuedReset)
{
    return lowBalance(UsageAlertThreshold::critical, resetAt, MonitoredProvider::codex, at);
}

Event incident(QList<ServiceStatus> services, Date at = observed)
{
    return Event::ServiceIncident{MonitoredProvider::codex, std::move(services), at};
}

ServiceStatus service(const char* name, H health)
{
    return ServiceStatus{QString::fromUtf8(name), health, now - 10};
}

NotificationDeliveryContext baseContext()
{
    NotificationDeliveryContext context;
    context.usage.insert(MonitoredProvider::codex, codexReading(5, queuedReset));
    CodexStatusSummary summary;
    summary.updatedAt = now - 10;
    summary.services = {service("API", H::partialOutage)};
    context.statuses.insert(MonitoredProvider::codex, summary);
    return context;
}

struct DecisionCase
{
    const char* name;
    PendingDiscordNotification item;
    std::function<void(NotificationDeliveryContext&, AppSettings&)> change;
    Decision expected;
    std::optional<Reason> reason = std::nullopt;
};

void noChange(NotificationDeliveryContext&, AppSettings&) {}

std::function<void(NotificationDeliveryContext&, AppSettings&)> withWeekly(std::optional<double> percent,
                                                                            std::optional<Date> resetAt = queuedReset,
                                                                            double age = 30)
{
    return [=](NotificationDeliveryContext& context, AppSettings&) {
        context.usage.insert(MonitoredProvider::codex, codexReading(percent, resetAt, age));
    };
}

std::function<void(NotificationDeliveryContext&, AppSettings&)> withServices(QList<ServiceStatus> services)
{
    return [=](NotificationDeliveryContext& context, AppSettings&) { context.statuses[MonitoredProvider::codex].services = services; };
}

PendingDiscordNotification aged(double age, const Event& event)
{
    return item(QStringLiteral("aged"), age, event);
}

PendingDiscordNotification queued(const Event& event)
{
    return item(QStringLiteral("queued"), 60, event);
}

TEST(DiscordDeliveryDecision, DecidesEachQueuedItemAgainstTheReadings)
{
    using Context = NotificationDeliveryContext;
    const auto api = [](H health) { return QList<ServiceStatus>{service("API", health)}; };
    const auto critical = queued(lowBalance());
    const auto partialAPI = queued(incident(api(H::partialOutage)));
    const auto resetConfirmedAt = [](Date at) {
        return [at](Context& c, AppSettings&) { c.resetBaselines[QStringLiteral("Codex-weekly")].lastConfirmedResetAt = at; };
    };
    const auto noReadings = [](Context& c, AppSettings&) { c = {}; };
    const DecisionCase cases[] = {
        {"noEvent", item(QStringLiteral("legacy"), 60), noChange, Decision::cancel, Reason::unsupportedEvent},
        {"itemExactlyThreeDaysOld", aged(259'200, lowBalance()), noChange, Decision::deliver},
        {"itemOneSecondOlder", aged(259'201, lowBalance()), noChange, Decision::cancel, Reason::retentionExpired},
        {"itemFromTheFuture", aged(-1, lowBalance()), noChange, Decision::cancel, Reason::retentionExpired},
        {"eventTooOld", queued(criticalAt(now - 259'201)), noChange, Decision::cancel, Reason::retentionExpired},
        {"masterSwitchOff", critical, [](auto&, AppSettings& s) { s.discordResetNotificationsEnabled = false; },
         Decision::cancel, Reason::settingsChanged},
        {"categoryOff", critical,
         [](auto&, AppSettings& s) {
             s.setNotificationCategory(NotificationCategory::lowBalance, MonitoredProvider::codex, NotificationChannel::discord, false);
         },
         Decision::cancel, Reason::settingsChanged},
        {"resetConfirmedAfterEvent", critical, resetConfirmedAt(observed + 1), Decision::cancel, Reason::resetConfirmed},
        {"resetConfirmedAtEvent", critical, resetConfirmedAt(observed), Decision::deliver},
        {"noReading", critical, [](Context& c, auto&) { c.usage.clear(); }, Decision::deferUntilRefresh},
        {"readingOlderThanEvent", critical, withWeekly(5, queuedReset, 61), Decision::deferUntilRefresh},
        {"criticalNowWarning", critical, withWeekly(15), Decision::cancel, Reason::balanceRecovered},
        {"criticalNowCritical", critical, withWeekly(5), Decision::deliver},
        {"exhaustedNowCritical", queued(lowBalance(UsageAlertThreshold::exhausted)), withWeekly(5), Decision::cancel,
         Reason::balanceRecovered},
        {"warningNowCritical", queued(lowBalance(UsageAlertThreshold::warning)), withWeekly(5), Decision::deliver},
        {"recoveredAbove20", queued(lowBalance(UsageAlertThreshold::warning)), withWeekly(30), Decision::cancel,
         Reason::balanceRecovered},
        {"percentOutOfRange", critical, withWeekly(100.5), Decision::deferUntilRefresh},
        {"percentNaN", critical, withWeekly(std::nan("")), Decision::deferUntilRefresh},
        {"resetMoved900Later", critical, withWeekly(5, queuedReset + 900), Decision::deliver},
        {"resetMoved901Later", critical, withWeekly(5, queuedReset + 901), Decision::cancel, Reason::cycleChanged},
        {"resetMoved901Earlier", critical, withWeekly(5, queuedReset - 901), Decision::cancel, Reason::cycleChanged},
        {"currentResetInfinite", critical, withWeekly(5, Date(INFINITY)), Decision::cancel, Reason::cycleChanged},
        {"currentResetMissing", critical, withWeekly(5, std::nullopt), Decision::deferUntilRefresh},
        {"noQueuedResetCurrentPast", queued(criticalAt(observed, std::nullopt)), withWeekly(5, now - 1), Decision::deferUntilRefresh},
        {"noQueuedResetCurrentFuture", queued(criticalAt(observed, std::nullopt)), withWeekly(5, now + 1), Decision::deliver},
        {"bothResetsMissing", queued(criticalAt(observed, std::nullopt)), withWeekly(5, std::nullopt), Decision::deliver},
        {"readingAsOldAsInterval", aged(600, criticalAt(now - 400)), withWeekly(5, queuedReset, 300), Decision::deliver},
        {"readingOneSecondStale", aged(600, criticalAt(now - 400)), withWeekly(5, queuedReset, 301), Decision::deferUntilRefresh},
        {"claudeWindowClampedTo60", queued(lowBalance(UsageAlertThreshold::critical, queuedReset, MonitoredProvider::claude, now - 90)),
         [](Context& c, AppSettings& s) {
             s.usesSeparateRefreshIntervals = true;
             s.claudeRefreshIntervalSeconds = 30;
             auto reading = codexReading(5, queuedReset, 61);
             reading.source = UsageSource::claudeOAuth;
             c.usage.insert(MonitoredProvider::claude, reading);
         },
         Decision::deferUntilRefresh},
        {"fiveHourNotInEffect",
         queued(Event::LowBalance{MonitoredProvider::codex, UsageNotificationWindow::fiveHour, UsageAlertThreshold::critical,
                                  std::nullopt, observed}),
         [](Context& c, auto&) {
             c.usage[MonitoredProvider::codex].fiveHourRemainingPercent.reset();
             c.usage[MonitoredProvider::codex].fiveHourResetAt.reset();
         },
         Decision::cancel, Reason::cycleChanged},
        {"couponGrantWhateverTheReadings", queued(Event::CouponGrant{observed}), noReadings, Decision::deliver},
        {"resetWhateverTheReadings", queued(Event::ActualReset{MonitoredProvider::codex, observed}), noReadings, Decision::deliver},
        {"incidentSameHealth", partialAPI, noChange, Decision::deliver},
        {"incidentWorsened", partialAPI, withServices(api(H::majorOutage)), Decision::cancel, Reason::incidentChanged},
        {"incidentResolved", partialAPI, withServices(api(H::operational)), Decision::cancel, Reason::incidentChanged},
        {"incidentNowUnknown", partialAPI, withServices(api(H::unknown)), Decision::deferUntilRefresh},
        {"incidentComponentGone", partialAPI, withServices({service("Other", H::partialOutage)}), Decision::deferUntilRefresh},
        {"incidentFetchFailed", partialAPI,
         [](Context& c, auto&) { c.statuses[MonitoredProvider::codex].overallStatus = OverallCodexState::fetchFailed; },
         Decision::deferUntilRefresh},
        {"incidentSummaryOlderThanEvent", partialAPI,
         [](Context& c, auto&) { c.statuses[MonitoredProvider::codex].updatedAt = observed - 1; }, Decision::deferUntilRefresh},
        {"incidentSummaryStale", aged(900, incident(api(H::partialOutage), now - 800)),
         [](Context& c, auto&) { c.statuses[MonitoredProvider::codex].updatedAt = now - 301; }, Decision::deferUntilRefresh},
        {"incidentWithoutServices", queued(incident({})), noChange, Decision::cancel, Reason::unsupportedEvent},
        {"incidentDiscordCategoryOffByDefault", partialAPI,
         [](auto&, AppSettings& s) { s = AppSettings(); s.discordResetNotificationsEnabled = true; }, Decision::cancel,
         Reason::settingsChanged},
    };
    for (const DecisionCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto context = baseContext();
        auto settings = discordSettings();
        c.change(context, settings);
        EXPECT_EQ(DiscordNotificationOutbox::deliveryDecision(c.item, settings, context, now), c.expected);
        // An item that is still wanted can only have been dropped for room.
        EXPECT_EQ(forRemoved(c.item, settings, context, now), c.reason.value_or(Reason::capacityLimit));
    }
}

TEST(DiscordDeliveryDecision, RevalidationDefersDeliversAndDropsInOrder)
{
    auto context = baseContext();
    const auto settings = discordSettings();
    const auto cancelled = item(QStringLiteral("a"), 300,
                                criticalAt(now - 280));
    auto deferred = item(QStringLiteral("b"), 200, lowBalance(UsageAlertThreshold::critical, queuedReset, MonitoredProvider::claude));
    auto delivered = item(QStringLiteral("c"), 100,
                          criticalAt(now - 40, std::nullopt));
    delivered.observationWaitUntil = now + 30;
    auto grant = item(QStringLiteral("d"), 50, Event::CouponGrant{observed});
    context.resetBaselines[QStringLiteral("Codex-weekly")].lastConfirmedResetAt = now - 250;

    const auto result = DiscordNotificationOutbox::revalidating({grant, delivered, cancelled, deferred}, std::nullopt, settings,
                                                                context, now);
    ASSERT_EQ(result.size(), 3);
    EXPECT_EQ(result[0].id, QStringLiteral("b"));
    EXPECT_EQ(result[0].observationWaitUntil, now + 60);
    EXPECT_EQ(result[1].id, QStringLiteral("c"));
    EXPECT_EQ(result[1].observationWaitUntil, std::nullopt);
    EXPECT_EQ(result[1].event, criticalAt(now - 40));
    EXPECT_EQ(result[2].id, QStringLiteral("d"));
    EXPECT_EQ(forRemoved(cancelled, settings, context, now), Reason::resetConfirmed);
    EXPECT_TRUE(DiscordNotificationOutbox::revalidating({}, std::nullopt, settings, context, now).isEmpty());
}

TEST(DiscordDeliveryDecision, MatchingIncidentServicesAreCurrentAndSortedByName)
{
    auto context = baseContext();
    context.statuses[MonitoredProvider::codex].services = {service("b", H::partialOutage), service("A", H::underMaintenance),
                                                           service("C", H::majorOutage), service("D", H::operational)};
    const Event event = incident({service("C", H::partialOutage), service("A", H::underMaintenance), service("b", H::partialOutage),
                                  service("D", H::operational)});
    const auto matching = DiscordNotificationOutbox::matchingIncidentServices(event, context);
    ASSERT_EQ(matching.size(), 2);
    EXPECT_EQ(matching[0].componentName, QStringLiteral("A"));
    EXPECT_EQ(matching[1].componentName, QStringLiteral("b"));
    EXPECT_EQ(matching[1].updatedAt, now - 10);
    EXPECT_TRUE(DiscordNotificationOutbox::matchingIncidentServices(Event::CouponGrant{now}, context).isEmpty());
    context.statuses[MonitoredProvider::codex].overallStatus = OverallCodexState::fetchFailed;
    EXPECT_TRUE(DiscordNotificationOutbox::matchingIncidentServices(event, context).isEmpty());
}

} // namespace
} // namespace vantorel
