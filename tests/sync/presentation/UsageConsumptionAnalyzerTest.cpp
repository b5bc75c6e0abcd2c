#include "sync/presentation/UsageConsumptionAnalyzer.h"

#include "support/NonFinite.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace vantorel {
namespace {

using Kind = UsageConsumptionResult::Kind;

using test::inf;
using test::nan;
const Date origin(800'000'000);

UsageConsumptionSample at(double seconds, std::optional<double> percent)
{
    return {origin + seconds, percent};
}

struct AnalyzerCase
{
    const char* name;
    std::vector<UsageConsumptionSample> samples;
    Kind kind;
    // Expected run when the kind carries a summary: first and last instants, values, points.
    double first = 0, last = 0, startPercent = 0, endPercent = 0;
    std::int64_t count = 0;
    double interval = 600;
    std::optional<Date> cycleStart = std::nullopt;
    double now = 36'000;
};

TEST(UsageConsumptionAnalyzerTest, KeepsTheLatestUnbrokenRunOfTrustworthyPoints)
{
    const std::vector<AnalyzerCase> cases = {
        {"no samples", {}, Kind::insufficientData},
        {"one point", {at(0, 80)}, Kind::insufficientData},
        {"one instant", {at(0, 80), at(0, 80), at(0, 80)}, Kind::insufficientData},
        {"steady fall", {at(0, 80), at(1800, 75), at(3600, 70)}, Kind::available, 0, 3600, 80, 70, 3},
        {"fall below tolerance", {at(0, 80), at(1800, 80), at(3600, 79.995)}, Kind::noConsumption, 0, 3600, 80,
         79.995, 3},
        {"small rises continue", {at(0, 50), at(600, 50.005), at(1200, 50.01)}, Kind::noConsumption, 0, 1200, 50,
         50.01, 3},
        {"big rise restarts", {at(0, 40), at(600, 90), at(1200, 85)}, Kind::available, 600, 1200, 90, 85, 2},
        {"gap equal to limit", {at(0, 80), at(1800, 75)}, Kind::available, 0, 1800, 80, 75, 2},
        {"gap beyond limit", {at(0, 80), at(1800.5, 75)}, Kind::insufficientData},
        {"gap restarts later run",
         {at(5400, 69), at(0, 90), at(1200, 80), at(4800, 70), at(600, 85)},
         Kind::available, 4800, 5400, 70, 69, 2},
        {"agreeing same instant keeps last", {at(0, 60), at(0, 60.005), at(1800, 50)}, Kind::available, 0, 1800,
         60.005, 50, 2},
        {"same instant in input order", {at(0, 60.005), at(0, 60), at(1800, 50)}, Kind::available, 0, 1800, 60, 50,
         2},
        {"disagreeing same instant breaks",
         {at(0, 80), at(600, 60), at(600, 61), at(1200, 70), at(1800, 65)},
         Kind::available, 1200, 1800, 70, 65, 2},
        {"neighbours compared, not the first",
         {at(0, 80), at(0, 80.008), at(0, 80.016), at(600, 70)},
         Kind::available, 0, 600, 80.016, 70, 2},
        {"absent value breaks", {at(0, 80), at(600, std::nullopt), at(1200, 70), at(1800, 65)}, Kind::available,
         1200, 1800, 70, 65, 2},
        {"negative value breaks", {at(0, 80), at(600, -1), at(1200, 70), at(1800, 65)}, Kind::available, 1200, 1800,
         70, 65, 2},
        {"value over 100 breaks", {at(0, 80), at(600, 100.5), at(1200, 70), at(1800, 65)}, Kind::available, 1200,
         1800, 70, 65, 2},
        {"non-finite instant ignored", {at(0, 80), {Date(nan), 10}, {Date(inf), 10}, at(600, 75)}, Kind::available,
         0, 600, 80, 75, 2},
        {"sample 60 s ahead admitted", {at(0, 80), at(1800, 70)}, Kind::available, 0, 1800, 80, 70, 2, 600,
         std::nullopt, 1740},
        {"sample 61 s ahead ignored", {at(0, 80), at(1800, 70)}, Kind::insufficientData, 0, 0, 0, 0, 0, 600,
         std::nullopt, 1739},
        {"samples before start ignored", {at(-1200, 90), at(-600, 85)}, Kind::insufficientData},
        {"cycle start drops earlier points", {at(0, 90), at(600, 85), at(1200, 80)}, Kind::available, 600, 1200, 85,
         80, 2, 600, origin + 600},
        {"cycle start before range", {at(0, 90), at(600, 85), at(1200, 80)}, Kind::available, 0, 1200, 90, 80, 3,
         600, origin - 600},
        {"infinite cycle start", {at(0, 90), at(600, 85), at(1200, 80)}, Kind::available, 0, 1200, 90, 80, 3, 600,
         Date(inf)},
        {"long interval widens gap", {at(0, 80), at(3000, 70)}, Kind::available, 0, 3000, 80, 70, 2, 1000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto result = UsageConsumptionAnalyzer::analyze(c.samples, origin, origin + c.now, c.interval,
                                                              c.cycleStart);
        ASSERT_EQ(result.kind(), c.kind);
        if (c.kind == Kind::insufficientData) {
            EXPECT_FALSE(result.summary());
            continue;
        }
        const auto& s = *result.summary();
        EXPECT_EQ(s.startedAt, origin + c.first);
        EXPECT_EQ(s.endedAt, origin + c.last);
        EXPECT_DOUBLE_EQ(s.observedDuration, c.last - c.first);
        EXPECT_DOUBLE_EQ(s.startingRemainingPercent, c.startPercent);
        EXPECT_DOUBLE_EQ(s.endingRemainingPercent, c.endPercent);
        EXPECT_DOUBLE_EQ(s.consumedPoints, std::max(0.0, c.startPercent - c.endPercent));
        EXPECT_DOUBLE_EQ(s.pointsPerHour, s.consumedPoints / (s.observedDuration / 3600));
        EXPECT_EQ(s.sampleCount, c.count);
    }
}

TEST(UsageConsumptionAnalyzerTest, UnusableInstantsGiveInsufficientData)
{
    const std::vector samples = {at(0, 80), at(600, 70)};
    for (const Date bad : {Date(nan), Date(inf), Date(-inf)}) {
        EXPECT_EQ(UsageConsumptionAnalyzer::analyze(samples, origin, bad, 600, std::nullopt),
                  UsageConsumptionResult::insufficientData());
        EXPECT_EQ(UsageConsumptionAnalyzer::analyze(samples, bad, origin + 3600, 600, std::nullopt),
                  UsageConsumptionResult::insufficientData());
    }
}

TEST(UsageConsumptionAnalyzerTest, MaximumGapFollowsRefreshIntervalWithinBounds)
{
    const std::vector<std::pair<double, double>> cases = {
        {300, 1800}, {600, 1800}, {1000, 3000}, {7200, 21600}, {10000, 21600},
        {0, 1800},   {-5, 1800},  {nan, 1800},  {inf, 1800},   {-inf, 1800},
    };
    for (const auto& [interval, gap] : cases)
        EXPECT_EQ(UsageConsumptionAnalyzer::maximumGap(interval), gap) << interval;
}

} // namespace
} // namespace vantorel
