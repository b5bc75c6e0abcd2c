#include "RulesTestSupport.h"

#include "core/model/UsageSnapshot.h"
#include "core/rules/DiscordNotificationEvent.h"

#include <gtest/gtest.h>

#include <limits>

namespace vantorel {
namespace {

using rules_testing::now;
using rules_testing::storeText;
using Event = DiscordNotificationEvent;

Json parsed(const char* text)
{
    return json::parseOrThrow(QByteArray(text));
}

TEST(DiscordNotificationEvent, RoundTripsEveryCaseWithItsStoredForm)
{
    const Date observed(794'000'000.5);
    struct Case
    {
        Event event;
        const char* stored;
        MonitoredProvider provider;
        NotificationCategory category;
    };
    const Case cases[] = {
        {Event::LowBalance{MonitoredProvider::claude, UsageNotificationWindow::weekly, UsageAlertThreshold::exhausted,
                           Date(794'100'000), observed},
         R"({"lowBalance":{"provider":"claude","window":"weekly","threshold":0,"resetAt":794100000,"observedAt":794000000.5}})",
         MonitoredProvider::claude, NotificationCategory::lowBalance},
        {Event::LowBalance{MonitoredProvider::codex, UsageNotificationWindow::fiveHour, UsageAlertThreshold::critical,
                           std::nullopt, observed},
         R"({"lowBalance":{"provider":"codex","window":"fiveHour","threshold":10,"observedAt":794000000.5}})",
         MonitoredProvider::codex, NotificationCategory::lowBalance},
        {Event::ActualReset{MonitoredProvider::claude, observed},
         R"({"actualReset":{"provider":"claude","observedAt":794000000.5}})", MonitoredProvider::claude,
         NotificationCategory::actualReset},
        {Event::CouponGrant{observed}, R"({"couponGrant":{"observedAt":794000000.5}})", MonitoredProvider::codex,
         NotificationCategory::couponGrant},
        {Event::ServiceIncident{MonitoredProvider::codex, {{QStringLiteral("API"), ComponentHealth::partialOutage, Date(7)}}, observed},
         R"({"serviceIncident":{"provider":"codex","services":[{"componentName":"API","status":"partial_outage","updatedAt":7}],"observedAt":794000000.5}})",
         MonitoredProvider::codex, NotificationCategory::serviceIncidents},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        EXPECT_EQ(storeText(toJson(c.event)), QString::fromUtf8(c.stored));
        EXPECT_EQ(discordNotificationEventFromJson(parsed(c.stored)), c.event);
        EXPECT_EQ(c.event.provider(), c.provider);
        EXPECT_EQ(c.event.category(), c.category);
        EXPECT_EQ(c.event.observedAt(), observed);
    }
}

TEST(DiscordNotificationEvent, RefusesMalformedObjects)
{
    struct Case
    {
        const char* text;
        const char* message;
    };
    const char* keys = "Invalid number of keys found, expected one.";
    const Case cases[] = {
        {R"({})", keys},
        {R"({"actualReset":{"provider":"codex","observedAt":1},"couponGrant":{"observedAt":1}})", keys},
        {R"({"somethingElse":{"observedAt":1}})", keys},
        {R"({"lowBalance":{"provider":"codex","window":"weekly","threshold":15,"observedAt":1}})", nullptr},
        {R"({"lowBalance":{"provider":"codex","window":"weekly","threshold":"10","observedAt":1}})", nullptr},
        {R"({"lowBalance":{"provider":"codex","window":"monthly","threshold":10,"observedAt":1}})", nullptr},
        {R"({"actualReset":{"provider":"gemini","observedAt":1}})", nullptr},
        {R"({"actualReset":{"observedAt":1}})", nullptr},
        {R"({"couponGrant":{}})", nullptr},
        {R"({"serviceIncident":{"provider":"codex","observedAt":1}})", nullptr},
        {R"({"serviceIncident":{"provider":"codex","services":[{"componentName":"A"}],"observedAt":1}})", nullptr},
        {R"({"couponGrant":{"observedAt":"yesterday"}})", nullptr},
        {R"([])", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            discordNotificationEventFromJsonOrThrow(parsed(c.text));
            ADD_FAILURE() << "decoded";
        } catch (const JsonDecodeError& error) {
            if (c.message) {
                EXPECT_STREQ(error.what(), c.message);
            }
        }
        EXPECT_EQ(discordNotificationEventFromJson(parsed(c.text)), std::nullopt);
    }
}

TEST(DiscordNotificationEvent, ReadsToleratedVariants)
{
    const auto withUnknownKey = discordNotificationEventFromJson(parsed(R"({"couponGrant":{"observedAt":3},"note":1})"));
    EXPECT_EQ(withUnknownKey, Event(Event::CouponGrant{Date(3)}));
    const auto nullResetAt = discordNotificationEventFromJson(
        parsed(R"({"lowBalance":{"provider":"codex","window":"weekly","threshold":20.0,"resetAt":null,"observedAt":3}})"));
    EXPECT_EQ(nullResetAt, Event(Event::LowBalance{MonitoredProvider::codex, UsageNotificationWindow::weekly,
                                                   UsageAlertThreshold::warning, std::nullopt, Date(3)}));
}

TEST(UsageNotificationWindow, KeysAndReadingsOfAWindow)
{
    EXPECT_EQ(key(UsageNotificationWindow::fiveHour, MonitoredProvider::claude), QStringLiteral("Claude-five"));

    struct Case
    {
        UsageSource source;
        std::optional<Date> weeklyResetAt;
        std::optional<Date> expected;
    };
    const Date general(100);
    const Date own(200);
    const Case cases[] = {
        {UsageSource::pasted, std::nullopt, general},   {UsageSource::manual, std::nullopt, general},
        {UsageSource::codexCLI, std::nullopt, std::nullopt}, {UsageSource::claudeOAuth, std::nullopt, std::nullopt},
        {UsageSource::codexCLI, own, own},              {UsageSource::pasted, own, own},
    };
    for (const Case& c : cases) {
        UsageSnapshot snapshot;
        snapshot.source = c.source;
        snapshot.resetAt = general;
        snapshot.weeklyResetAt = c.weeklyResetAt;
        EXPECT_EQ(resetAt(UsageNotificationWindow::weekly, snapshot), c.expected) << static_cast<int>(c.source);
    }

    UsageSnapshot snapshot;
    for (const double invalid : {-1.0, 100.5, std::numeric_limits<double>::quiet_NaN()}) {
        snapshot.fiveHourRemainingPercent = invalid;
        EXPECT_EQ(remainingPercent(UsageNotificationWindow::fiveHour, snapshot), std::nullopt) << invalid;
    }
    snapshot.weeklyRemainingPercent = 42;
    EXPECT_EQ(remainingPercent(UsageNotificationWindow::weekly, snapshot), 42);
}

} // namespace
} // namespace vantorel
