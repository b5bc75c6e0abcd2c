#include "ModelTestSupport.h"

#include "core/model/CodexPeriodValidation.h"
#include "core/model/RateLimitSnapshot.h"
#include "core/model/UsageHistoryEntry.h"
#include "core/model/UsageSnapshot.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using testing_support::referenceTime;

TEST(UsageSnapshot, PeriodsAreConfirmedBySourceAndValidationVersion)
{
    const std::tuple<UsageSource, std::optional<std::int64_t>, bool> cases[] = {
        {UsageSource::manual, std::nullopt, true},      {UsageSource::codexCLI, 1, true},
        {UsageSource::codexCLI, std::nullopt, false},   {UsageSource::codexCLI, 2, false},
        {UsageSource::pasted, 1, true},                 {UsageSource::pasted, std::nullopt, false},
        {UsageSource::claudeOAuth, 1, false},
    };
    for (const auto& [source, version, confirmed] : cases) {
        UsageSnapshot snapshot{.source = source, .updatedAt = referenceTime};
        snapshot.codexPeriodValidationVersion = version;
        EXPECT_EQ(snapshot.codexPeriodsAreConfirmed(), confirmed) << rawValue(source).toStdString();
    }
}

TEST(UsageSnapshot, FiveHourWindowIsUnavailableOnlyForConfirmedCliReadingsWithWeeklyButNoFiveHourData)
{
    const Date someDate(800'000'000);
    struct Case
    {
        const char* name;
        UsageSource source;
        std::optional<std::int64_t> version;
        std::optional<double> fiveHour;
        std::optional<Date> fiveHourReset;
        std::optional<double> weekly;
        std::optional<Date> weeklyReset;
        bool unavailable;
    };
    const Case cases[] = {
        {"weeklyPercentOnly", UsageSource::codexCLI, 1, {}, {}, 80.0, {}, true},
        {"weeklyResetOnly", UsageSource::codexCLI, 1, {}, {}, {}, someDate, true},
        {"nothingAtAll", UsageSource::codexCLI, 1, {}, {}, {}, {}, false},
        {"fiveHourPercentPresent", UsageSource::codexCLI, 1, 10.0, {}, 80.0, {}, false},
        {"fiveHourResetPresent", UsageSource::codexCLI, 1, {}, someDate, 80.0, {}, false},
        {"unconfirmed", UsageSource::codexCLI, std::nullopt, {}, {}, 80.0, {}, false},
        {"pasted", UsageSource::pasted, 1, {}, {}, 80.0, {}, false},
    };
    for (const Case& c : cases) {
        UsageSnapshot snapshot{.source = c.source, .updatedAt = referenceTime};
        snapshot.codexPeriodValidationVersion = c.version;
        snapshot.fiveHourRemainingPercent = c.fiveHour;
        snapshot.fiveHourResetAt = c.fiveHourReset;
        snapshot.weeklyRemainingPercent = c.weekly;
        snapshot.weeklyResetAt = c.weeklyReset;
        EXPECT_EQ(snapshot.codexFiveHourWindowIsTemporarilyUnavailable(), c.unavailable) << c.name;
    }
}

TEST(UsageSnapshot, HasAnyValueSeesEveryValueField)
{
    const UsageSnapshot empty{.source = UsageSource::manual, .updatedAt = referenceTime};
    EXPECT_FALSE(empty.hasAnyValue());
    const std::function<void(UsageSnapshot&)> fills[] = {
        [](UsageSnapshot& s) { s.fiveHourRemainingPercent = 0; },
        [](UsageSnapshot& s) { s.weeklyRemainingPercent = 0; },
        [](UsageSnapshot& s) { s.creditsRemaining = ""; },
        [](UsageSnapshot& s) { s.bankedReset = BankedResetSummary{}; },
        [](UsageSnapshot& s) { s.resetAt = Date(0); },
        [](UsageSnapshot& s) { s.fiveHourResetAt = Date(0); },
        [](UsageSnapshot& s) { s.weeklyResetAt = Date(0); },
    };
    for (const auto& fill : fills) {
        UsageSnapshot snapshot = empty;
        fill(snapshot);
        EXPECT_TRUE(snapshot.hasAnyValue());
    }
    UsageSnapshot identityOnly = empty;
    identityOnly.planType = "pro";
    identityOnly.limitId = "codex";
    EXPECT_FALSE(identityOnly.hasAnyValue());
}

TEST(BankedResetSummary, NearestExpirationLooksOnlyAtAvailableCreditsAfterTheDate)
{
    const Date now(1'000);
    BankedResetSummary summary{.availableCount = 3};
    EXPECT_EQ(summary.nearestExpiration(now), std::nullopt);
    summary.credits = QList<BankedResetCredit>{
        {.id = "used", .status = "redeemed", .expiresAt = Date(1'100)},
        {.id = "past", .status = "available", .expiresAt = Date(999)},
        {.id = "exact", .status = "available", .expiresAt = Date(1'000)},
        {.id = "noStatus", .expiresAt = Date(1'150)},
        {.id = "noExpiry", .status = "available"},
        {.id = "later", .status = "available", .expiresAt = Date(1'500)},
        {.id = "soonest", .status = " AVAILABLE\n", .expiresAt = Date(1'200)},
    };
    EXPECT_EQ(summary.nearestExpiration(now), Date(1'200));
    EXPECT_EQ(summary.nearestExpiration(Date(1'200)), Date(1'500));
    EXPECT_EQ(summary.nearestExpiration(Date(1'500)), std::nullopt);
}

TEST(RateLimitSnapshot, RemainingPercentNeedsBothCountsAndASaneRange)
{
    struct Case
    {
        std::optional<std::int64_t> limit;
        std::optional<std::int64_t> remaining;
        std::optional<double> percent;
    };
    const Case cases[] = {
        {200, 50, 25.0}, {1, 1, 100.0}, {1, 0, 0.0}, {0, 0, {}}, {100, 101, {}}, {100, -1, {}}, {{}, 10, {}}, {10, {}, {}},
    };
    for (const Case& c : cases) {
        RateLimitSnapshot requests{.requestLimit = c.limit, .requestsRemaining = c.remaining};
        EXPECT_EQ(requests.requestRemainingPercent(), c.percent);
        RateLimitSnapshot tokens{.tokenLimit = c.limit, .tokensRemaining = c.remaining};
        EXPECT_EQ(tokens.tokenRemainingPercent(), c.percent);
    }
}

TEST(UsageHistoryEntry, ClaudeSamplesAreAlwaysConfirmedCodexOnlyWithVersionOne)
{
    const std::tuple<MonitoredProvider, std::optional<std::int64_t>, bool> cases[] = {
        {MonitoredProvider::claude, 7, true},
        {MonitoredProvider::codex, 1, true},
        {MonitoredProvider::codex, std::nullopt, false},
        {MonitoredProvider::codex, 2, false},
    };
    for (const auto& [provider, version, confirmed] : cases) {
        const UsageHistoryEntry entry{QUuid(), provider, referenceTime, 1.0, 2.0, version};
        EXPECT_EQ(entry.periodsAreConfirmed(), confirmed);
    }
}

} // namespace
} // namespace vantorel
