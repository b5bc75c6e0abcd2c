#include "ModelTestSupport.h"

#include "core/model/MenuBarGaugeLabelFormatter.h"
#include "core/model/MenuBarGaugeSelection.h"
#include "core/model/UsageGaugeStyle.h"

#include <gtest/gtest.h>

#include <limits>

namespace vantorel {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

TEST(MenuBarGaugeSelection, FiveHourFirstAndOnlyWhenShownAndAvailable)
{
    using W = MenuBarUsageWindow;
    struct Case
    {
        bool showsFiveHour;
        bool showsWeekly;
        bool unavailable;
        QList<MenuBarGaugeValue> expected;
    };
    const Case cases[] = {
        {true, true, false, {{W::fiveHour, 37.2}, {W::weekly, std::nullopt}}},
        {true, false, false, {{W::fiveHour, 37.2}}},
        {false, true, false, {{W::weekly, std::nullopt}}},
        {true, true, true, {{W::weekly, std::nullopt}}},
        {true, false, true, {}},
        {false, false, false, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MenuBarGaugeSelection::values(37.2, std::nullopt, c.showsFiveHour, c.showsWeekly, c.unavailable), c.expected);
    }
}

struct BandCase
{
    const char* name;
    std::optional<double> value;
    const char* token;
    UsageGaugeColorBand band;
    const char* adjacent;
};

class GaugeStyle : public testing::TestWithParam<BandCase>
{
};

TEST_P(GaugeStyle, TokenBandAndLabelAgree)
{
    const BandCase& c = GetParam();
    EXPECT_EQ(UsageGaugeStyle::cacheToken(c.value), c.token);
    EXPECT_EQ(UsageGaugeStyle::colorBand(c.value), c.band);
    EXPECT_EQ(MenuBarGaugeLabelFormatter::adjacentPercentageText({MenuBarUsageWindow::weekly, c.value}), c.adjacent);
}

using B = UsageGaugeColorBand;

INSTANTIATE_TEST_SUITE_P(
    UsageGaugeStyle, GaugeStyle,
    testing::Values(BandCase{"absent", std::nullopt, "nil-unavailable", B::unavailable, "--"},
                    BandCase{"ten", 10.0, "10-critical", B::critical, "10%"},
                    BandCase{"justAboveTen", 10.4, "10-warning", B::warning, "10%"},
                    BandCase{"nineteen99", 19.99, "20-warning", B::warning, "20%"},
                    BandCase{"twenty", 20.0, "20-healthy", B::healthy, "20%"},
                    BandCase{"zero", 0.0, "0-critical", B::critical, "0%"},
                    BandCase{"halfRoundsAway", 37.5, "38-healthy", B::healthy, "38%"},
                    BandCase{"hundred", 100.0, "100-healthy", B::healthy, "100%"},
                    // Out-of-range values: the token and label clamp, the colour compares the raw value.
                    BandCase{"negative", -5.0, "0-critical", B::critical, "0%"},
                    BandCase{"aboveHundred", 140.0, "100-healthy", B::healthy, "100%"},
                    BandCase{"infinite", inf, "100-healthy", B::healthy, "--"},
                    BandCase{"notANumber", nan, "nil-unavailable", B::unavailable, "--"}),
    [](const testing::TestParamInfo<BandCase>& info) { return info.param.name; });

} // namespace
} // namespace vantorel
