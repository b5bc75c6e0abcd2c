#include "ModelTestSupport.h"

#include "core/model/CompactPercent.h"
#include "core/model/CompactVersion.h"
#include "core/model/UsageHistoryEntry.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <limits>

namespace vantorel {
namespace {

using namespace testing_support;

constexpr double infinity = std::numeric_limits<double>::infinity();

// The double a reader makes of std::to_chars(float)'s shortest text.
double viaShortestFloatText(double value)
{
    char text[64];
    const auto written = std::to_chars(text, text + sizeof text, static_cast<float>(value));
    double result = 0;
    std::from_chars(text, written.ptr, result);
    return result;
}

TEST(CompactPercent, KeepsValuesOfAFewDigitsExactlyAndRoundsLongerOnesToAFloat)
{
    const struct
    {
        double given;
        double read;
    } cases[] = {
        {12, 12},
        {87.5, 87.5},
        {33.3, 33.3},
        {0.01, 0.01},
        {99.99, 99.99},
        {-0.0, -0.0},
        {16'777'217, 16'777'216},
        {33.333333333333336, 33.333332},
        {1e39, 3.4028235e38},
        {-1e300, -3.4028235e38},
        {infinity, infinity},
    };
    for (const auto& c : cases) {
        const CompactPercent percent(c.given);
        ASSERT_TRUE(percent.has_value()) << c.given;
        EXPECT_EQ(std::bit_cast<std::uint64_t>(*percent), std::bit_cast<std::uint64_t>(c.read)) << c.given;
    }
    EXPECT_TRUE(std::isnan(*CompactPercent(std::numeric_limits<double>::quiet_NaN())));
    EXPECT_FALSE(CompactPercent(std::optional<double>()).has_value());
    EXPECT_EQ(CompactPercent().value_or(7), 7);

    // Every value of up to two decimals in 0...100 reads as the reader of the float's text does.
    for (int hundredths = 0; hundredths <= 10'000; ++hundredths) {
        const double value = hundredths / 100.0;
        ASSERT_EQ(*CompactPercent(value), value) << value;
        ASSERT_EQ(*CompactPercent(value), viaShortestFloatText(value)) << value;
    }
}

TEST(CompactPercent, ComparesAsAnOptionalDouble)
{
    const double notANumber = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(CompactPercent(), CompactPercent(std::nullopt));
    EXPECT_EQ(CompactPercent(), std::nullopt);
    EXPECT_EQ(CompactPercent(33.3), 33.3);
    EXPECT_EQ(CompactPercent(33.3), std::optional<double>(33.3));
    EXPECT_EQ(CompactPercent(0.0), CompactPercent(-0.0));
    EXPECT_NE(CompactPercent(), CompactPercent(0.0));
    EXPECT_NE(CompactPercent(notANumber), CompactPercent(notANumber));
    EXPECT_NE(CompactPercent(notANumber), CompactPercent());
    EXPECT_NE(CompactPercent(33.3), 33.31);
}

TEST(CompactVersion, KeepsThirtyTwoBitVersionsAndTakesOthersAsAbsent)
{
    EXPECT_EQ(CompactVersion(1), 1);
    EXPECT_EQ(CompactVersion(std::optional<std::int64_t>(-7)), std::optional<std::int64_t>(-7));
    EXPECT_EQ(CompactVersion(std::int64_t(2'147'483'647)), 2'147'483'647);
    for (const std::int64_t outside : {std::int64_t(2'147'483'648), std::int64_t(-2'147'483'648), std::int64_t(-1) << 40}) {
        EXPECT_FALSE(CompactVersion(outside).has_value()) << outside;
    }
    const UsageHistoryEntry huge{QUuid(), MonitoredProvider::codex, referenceTime, 1.0, 2.0, std::int64_t(1) << 32};
    EXPECT_FALSE(huge.periodsAreConfirmed());
    EXPECT_EQ(storeText(toJson(huge)).indexOf(u"codexPeriodValidationVersion"), -1);
}

TEST(CompactPercent, StoredTextIsByteForByteWhatTheDoubleLayoutWrote)
{
    // Written by the layout that held doubles and 64-bit versions: reads and writes back unchanged.
    const QByteArray written[] = {
        R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","provider":"codex","recordedAt":794045700.25,)"
        R"("fiveHourRemainingPercent":33.3,"weeklyRemainingPercent":87.5,"codexPeriodValidationVersion":1})",
        R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","provider":"claude","recordedAt":-1.5e-07,)"
        R"("fiveHourRemainingPercent":12,"weeklyRemainingPercent":0.01})",
        R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","provider":"codex","recordedAt":794045700.1234568,)"
        R"("weeklyRemainingPercent":100,"codexPeriodValidationVersion":0})",
    };
    for (const QByteArray& text : written) {
        const auto entry = usageHistoryEntryFromJson(json::parseOrThrow(text));
        ASSERT_TRUE(entry) << text.toStdString();
        EXPECT_EQ(json::write(toJson(*entry), json::Form::store).toStdString(), text.toStdString());
    }

    const auto longer = usageHistoryEntryFromJson(json::parseOrThrow(
        R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","provider":"codex","recordedAt":1,)"
        R"("fiveHourRemainingPercent":33.333333333333336,"weeklyRemainingPercent":1e39})"));
    ASSERT_TRUE(longer);
    EXPECT_EQ(storeText(toJson(*longer)),
              R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","provider":"codex","recordedAt":1,)"
              R"("fiveHourRemainingPercent":33.333332,"weeklyRemainingPercent":3.4028235e+38})");
}

} // namespace
} // namespace vantorel
