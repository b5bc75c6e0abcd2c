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
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MenuBarGaugeSelection::values(37.2, std::nullopt, c.showsFiveHour, c.showsWeekly, c.unavailable), c.expected);
    }
}

TEST(UsageGaugeStyle, TokenBandAndLabelAgreeAtTheBandEdges)
{
    using B = UsageGaugeColorBand;
    const std::tuple<std::optional<double>, const char*, UsageGaugeColorBand, const char*> cases[] = {
        {std::nullopt, "nil-unavailable", B::unavailable, "--"},
        {10.0, "10-critical", B::critical, "10%"},
        {10.4, "10-warning", B::warning, "10%"},
        {19.99, "20-warning", B::warning, "20%"},
        {20.0, "20-healthy", B::healthy, "20%"},
        {37.5, "38-healthy", B::healthy, "38%"},
        // Out-of-range values: the token and label clamp, the colour compares the raw value.
        {-5.0, "0-critical", B::critical, "0%"},
        {140.0, "100-healthy", B::healthy, "100%"},
        {inf, "100-healthy", B::healthy, "--"},
        {nan, "nil-unavailable", B::unavailable, "--"},
    };
    for (const auto& [value, token, band, adjacent] : cases) {
        SCOPED_TRACE(value.value_or(-1.0));
        EXPECT_EQ(UsageGaugeStyle::cacheToken(value), token);
        EXPECT_EQ(UsageGaugeStyle::colorBand(value), band);
        EXPECT_EQ(MenuBarGaugeLabelFormatter::adjacentPercentageText({MenuBarUsageWindow::weekly, value}), adjacent);
    }
}

} // namespace
} // namespace vantorel
