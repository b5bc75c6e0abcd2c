#include "ModelTestSupport.h"

#include "core/model/CodexPeriodValidation.h"
#include "core/model/RateLimitSnapshot.h"
#include "core/model/UsageHistoryEntry.h"
#include "core/model/UsageSnapshot.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using testing_support::referenceTime;

struct PeriodCase
{
    const char* name;
    UsageSource source;
    std::optional<std::int64_t> version;
    bool confirmed;
};

class PeriodConfirmation : public testing::TestWithParam<PeriodCase>
{
};

TEST_P(PeriodConfirmation, DependsOnSourceAndVersion)
{
    const PeriodCase& c = GetParam();
    UsageSnapshot snapshot{.source = c.source, .updatedAt = referenceTime};
    snapshot.codexPeriodValidationVersion = c.version;
    EXPECT_EQ(snapshot.codexPeriodsAreConfirmed(), c.confirmed);
}

INSTANTIATE_TEST_SUITE_P(
    UsageSnapshot, PeriodConfirmation,
    testing::Values(PeriodCase{"manualWithoutVersion", UsageSource::manual, std::nullopt, true},
                    PeriodCase{"manualOldVersion", UsageSource::manual, 0, true},
                    PeriodCase{"cliCurrent", UsageSource::codexCLI, 1, true},
                    PeriodCase{"cliMissing", UsageSource::codexCLI, std::nullopt, false},
                    PeriodCase{"cliFuture", UsageSource::codexCLI, 2, false},
                    PeriodCase{"pastedCurrent", UsageSource::pasted, 1, true},
                    PeriodCase{"pastedMissing", UsageSource::pasted, std::nullopt, false},
                    PeriodCase{"claudeEvenWithVersion", UsageSource::claudeOAuth, 1, false},
                    PeriodCase{"claudeWithout", UsageSource::claudeOAuth, std::nullopt, false}),
    [](const testing::TestParamInfo<PeriodCase>& info) { return info.param.name; });

struct FiveHourCase
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

class FiveHourUnavailable : public testing::TestWithParam<FiveHourCase>
{
};

TEST_P(FiveHourUnavailable, OnlyForConfirmedCliReadingsWithWeeklyButNoFiveHourData)
{
    const FiveHourCase& c = GetParam();
    UsageSnapshot snapshot{.source = c.source, .updatedAt = referenceTime};
    snapshot.codexPeriodValidationVersion = c.version;
    snapshot.fiveHourRemainingPercent = c.fiveHour;
    snapshot.fiveHourResetAt = c.fiveHourReset;
    snapshot.weeklyRemainingPercent = c.weekly;
    snapshot.weeklyResetAt = c.weeklyReset;
    EXPECT_EQ(snapshot.codexFiveHourWindowIsTemporarilyUnavailable(), c.unavailable);
}

const Date someDate(800'000'000);

INSTANTIATE_TEST_SUITE_P(
    UsageSnapshot, FiveHourUnavailable,
    testing::Values(FiveHourCase{"weeklyPercentOnly", UsageSource::codexCLI, 1, {}, {}, 80.0, {}, true},
                    FiveHourCase{"weeklyResetOnly", UsageSource::codexCLI, 1, {}, {}, {}, someDate, true},
                    FiveHourCase{"nothingAtAll", UsageSource::codexCLI, 1, {}, {}, {}, {}, false},
                    FiveHourCase{"fiveHourPercentPresent", UsageSource::codexCLI, 1, 10.0, {}, 80.0, {}, false},
                    FiveHourCase{"fiveHourResetPresent", UsageSource::codexCLI, 1, {}, someDate, 80.0, {}, false},
                    FiveHourCase{"unconfirmed", UsageSource::codexCLI, std::nullopt, {}, {}, 80.0, {}, false},
                    FiveHourCase{"manual", UsageSource::manual, 1, {}, {}, 80.0, {}, false},
                    FiveHourCase{"pasted", UsageSource::pasted, 1, {}, {}, 80.0, {}, false}),
    [](const testing::TestParamInfo<FiveHourCase>& info) { return info.param.name; });

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
        {200, 50, 25.0}, {1, 1, 100.0}, {1, 0, 0.0},      {0, 0, {}},  {-5, 0, {}},
        {100, 101, {}},  {100, -1, {}}, {{}, 10, {}},     {10, {}, {}},
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
        {MonitoredProvider::claude, std::nullopt, true}, {MonitoredProvider::claude, 7, true},
        {MonitoredProvider::codex, 1, true},             {MonitoredProvider::codex, std::nullopt, false},
        {MonitoredProvider::codex, 2, false},
    };
    for (const auto& [provider, version, confirmed] : cases) {
        const UsageHistoryEntry entry{QUuid(), provider, referenceTime, 1.0, 2.0, version};
        EXPECT_EQ(entry.periodsAreConfirmed(), confirmed);
    }
}

} // namespace
} // namespace vantorel
