#include "sync/presentation/UsageConsumptionPresentation.h"

#include "support/NonFinite.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using namespace Qt::StringLiterals;

using test::inf;
using test::nan;

UsageConsumptionSummary summary(double duration, double start, double end, double consumed, double pace)
{
    return {Date(0), Date(duration), duration, consumed, start, end, pace, 3};
}

TEST(UsageConsumptionPresentationTest, WritesHeadlineAndDetailPerResult)
{
    const std::vector<std::pair<UsageConsumptionResult, UsageConsumptionText>> cases = {
        {UsageConsumptionResult::insufficientData(), {u"連続した記録が不足"_s, std::nullopt}},
        {UsageConsumptionResult::available(summary(5400, 80, 70, 10, 10.0 / 1.5)),
         {u"観測1時間30分で10ポイント消費"_s, u"残り80% → 70%・1時間あたり6.7ポイント"_s}},
        {UsageConsumptionResult::noConsumption(summary(86400, 55.5, 55.5, 0, 0)),
         {u"観測1日・消費なし"_s, u"残り55.5% → 55.5%"_s}},
    };
    for (const auto& [result, expected] : cases)
        EXPECT_EQ(UsageConsumptionPresentation::text(result), expected) << expected.headline.toStdString();
}

TEST(UsageConsumptionPresentationTest, DurationRoundsToMinutesAndDropsSmallerUnits)
{
    const std::vector<std::pair<double, QString>> cases = {
        {0, u"0分"_s},          {29, u"0分"_s},       {30, u"1分"_s},          {89, u"1分"_s},
        {90, u"2分"_s},         {2700, u"45分"_s},    {3570, u"1時間"_s},      {3600, u"1時間"_s},
        {3630, u"1時間1分"_s},  {86369, u"23時間59分"_s}, {86399, u"1日"_s},   {88200, u"1日"_s},
        {90000, u"1日1時間"_s}, {1e7, u"115日17時間"_s}, {-5, u"0分"_s},       {-0.1, u"0分"_s},
        {nan, u"0分"_s},        {inf, u"0分"_s},
    };
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(UsageConsumptionPresentation::duration(seconds), text) << seconds;
}

TEST(UsageConsumptionPresentationTest, NumberKeepsOneDecimalRoundingHalvesAwayFromZero)
{
    const std::vector<std::pair<double, QString>> cases = {
        {42.0, u"42"_s}, {0.04, u"0"_s},    {0.05, u"0.1"_s},  {12.34, u"12.3"_s}, {12.25, u"12.3"_s},
        {99.96, u"100"_s}, {-0.04, u"0"_s}, {-0.05, u"-0.1"_s}, {6.666, u"6.7"_s}, {100, u"100"_s},
        {1e15, u"1000000000000000"_s},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(UsageConsumptionPresentation::number(value), text) << value;
}

} // namespace
} // namespace vantorel
