#include "RulesTestSupport.h"

#include "core/rules/ResetNotificationThrottle.h"
#include "core/rules/UsageAlertDetector.h"
#include "core/rules/UsageResetDetector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace vantorel {
namespace {

using rules_testing::now;
using Level = UsageAlertThreshold;
using ResetReason = UsageResetDetectionReason;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

struct LevelCase
{
    double percent;
    std::optional<Level> level;
    bool rearms;
};

TEST(UsageAlertDetector, LevelsAndRearmingByPercent)
{
    const LevelCase cases[] = {
        {100.0, std::nullopt, true}, {100.1, std::nullopt, false}, {25.0, std::nullopt, true},
        {24.99, std::nullopt, false}, {20.0, std::nullopt, false}, {19.999, Level::warning, false},
        {10.0001, Level::warning, false}, {10.0, Level::critical, false}, {0.5, Level::critical, false},
        {0.0, Level::exhausted, false}, {-0.0, Level::exhausted, false}, {-0.1, std::nullopt, false},
        {nan, std::nullopt, false},
    };
    for (const LevelCase& c : cases) {
        SCOPED_TRACE(c.percent);
        EXPECT_EQ(UsageAlertDetector::threshold(c.percent), c.level);
        EXPECT_EQ(UsageAlertDetector::shouldRearm(c.percent), c.rearms);
        EXPECT_EQ(UsageAlertDetector::unsentThreshold(c.percent, {}), c.level);
    }
}

TEST(UsageAlertDetector, UnsentLevelNeedsAMoreSevereOneThanAnySent)
{
    struct Case
    {
        double percent;
        QList<Level> sent;
        std::optional<Level> expected;
    };
    const Case cases[] = {
        {5, {Level::warning}, Level::critical},
        {5, {Level::exhausted}, std::nullopt},
        {5, {Level::critical}, std::nullopt},
        {15, {Level::critical}, std::nullopt},
        {0, {Level::critical, Level::warning}, Level::exhausted},
        {0, {Level::warning, Level::critical}, Level::exhausted},
        {0, {Level::critical, Level::exhausted}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.percent);
        EXPECT_EQ(UsageAlertDetector::unsentThreshold(c.percent, c.sent), c.expected);
    }
}

TEST(UsageResetDetector, RecoveryOfTheRemainingShare)
{
    struct Case
    {
        std::optional<double> previous;
        std::optional<double> current;
        bool recovered;
    };
    const Case cases[] = {
        {10, 60, true},   {50, 79, false},  {60, 80, true},        {94.5, 95, false},
        {40, 95, true},   {30, 50, false},  {std::nullopt, 99, false}, {10, std::nullopt, false},
        {-5, 95, false},  {10, 100.5, false}, {nan, 99, false},    {99, 100, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.previous.value_or(-1) << " -> " << c.current.value_or(-1));
        EXPECT_EQ(UsageResetDetector::remainingRecovered(c.previous, c.current), c.recovered);
    }
}

TEST(UsageResetDetector, ReasonsByResetDates)
{
    struct Case
    {
        const char* name;
        std::optional<Date> previousReset;
        std::optional<Date> currentReset;
        double previousPercent;
        std::optional<ResetReason> expected;
    };
    const Date future = now + 3'600;
    const Case cases[] = {
        {"noPreviousDate", std::nullopt, now + 7'200, 10, std::nullopt},
        {"passedOneSecondAgo", now - 1, now + 18'000, 10, ResetReason::scheduledTimePassed},
        {"passedExactlyNow", now, std::nullopt, 10, ResetReason::scheduledTimePassed},
        {"advancedBeyondTolerance", future, future + 901, 10, ResetReason::earlyResetDateAdvanced},
        {"advancedExactlyTolerance", future, future + 900, 10, ResetReason::earlyRemainingRecovered},
        {"newDateAbsent", future, std::nullopt, 10, ResetReason::earlyRemainingRecovered},
        {"passedButNoRecovery", now - 86'400, now + 18'000, 99.5, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(UsageResetDetector::detect(c.previousReset, c.currentReset, c.previousPercent, 100, now), c.expected);
    }
}

TEST(UsageResetDetector, ObserveUpdatesTheBaseline)
{
    struct Case
    {
        const char* name;
        UsageResetBaseline before;
        std::optional<Date> resetAt;
        std::optional<double> percent;
        std::optional<ResetReason> reason;
        UsageResetBaseline after;
    };
    const Date old = now - 86'400;
    const Date next = now + 18'000;
    const Case cases[] = {
        {"freshBaselineOnlyRecords", {}, next, 40, std::nullopt, {next, 40, std::nullopt, std::nullopt}},
        {"percentOutOfRangeChangesNothing", {old, 10, std::nullopt, 1}, next, 100.5, std::nullopt, {old, 10, std::nullopt, 1}},
        {"nanPercentChangesNothing", {old, 10, std::nullopt, 1}, next, nan, std::nullopt, {old, 10, std::nullopt, 1}},
        {"missingDateKeepsRememberedOne", {old, 10, std::nullopt, std::nullopt}, std::nullopt, 12, std::nullopt, {old, 12, std::nullopt, std::nullopt}},
        {"infiniteDateCountsAsAbsent", {old, 10, std::nullopt, std::nullopt}, Date(INFINITY), 12, std::nullopt, {old, 12, std::nullopt, std::nullopt}},
        {"resetStampsNow", {old, 10, std::nullopt, 1}, next, 100, ResetReason::scheduledTimePassed, {next, 100, now, 1}},
        {"resetWithoutDateClearsIt", {old, 10, std::nullopt, std::nullopt}, std::nullopt, 100, ResetReason::scheduledTimePassed, {std::nullopt, 100, now, std::nullopt}},
        {"datesMoveWithoutRecovery", {old, 90, std::nullopt, std::nullopt}, next, 91, std::nullopt, {next, 91, std::nullopt, std::nullopt}},
        {"percentWithoutDateNeverResets", {std::nullopt, 5, std::nullopt, std::nullopt}, next, 100, std::nullopt, {next, 100, std::nullopt, std::nullopt}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UsageResetBaseline baseline = c.before;
        EXPECT_EQ(UsageResetDetector::observe(baseline, c.resetAt, c.percent, now), c.reason);
        EXPECT_EQ(baseline, c.after);
    }
}

TEST(ResetNotificationThrottle, CooldownGate)
{
    struct Case
    {
        std::optional<double> sentAgo;
        double cooldown;
        bool canSend;
    };
    const Case cases[] = {
        {0, 0, true},         {0, -5, true},       {0, nan, true},   {std::nullopt, 3'600, true},
        {3'600, 3'600, true}, {3'599, 3'600, false}, {-10, 3'600, false}, {21'599, 21'600, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.sentAgo.value_or(-1) << " / " << c.cooldown);
        const auto lastSent = c.sentAgo ? std::optional(now - *c.sentAgo) : std::nullopt;
        EXPECT_EQ(ResetNotificationThrottle::canSend(lastSent, now, c.cooldown), c.canSend);
    }
    EXPECT_EQ(ResetNotificationThrottle::cooldown(QStringLiteral("週間枠")), 21'600);
    EXPECT_EQ(ResetNotificationThrottle::cooldown(QStringLiteral("5時間枠")), 3'600);
}

} // namespace
} // namespace vantorel
