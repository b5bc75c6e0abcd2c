#include "core/foundation/DateTexts.h"

#include <gtest/gtest.h>

#include <limits>

using namespace vantorel;

namespace {

const QTimeZone tokyo("Asia/Tokyo");
// 2026-12-05 09:05 in Tokyo.
const Date morning = Date::fromUnixSeconds(1'796'429'100);
const Date notANumber(std::numeric_limits<double>::quiet_NaN());

} // namespace

TEST(DateTexts, FixedPatternsAndAbsentDates)
{
    EXPECT_EQ(DateTexts::shortTimeText(morning, tokyo), "9:05");
    EXPECT_EQ(DateTexts::shortTimeText(morning + 14 * 3600 + 35 * 60, tokyo), "23:40");
    EXPECT_EQ(DateTexts::shortTimeText(morning - 9 * 3600 - 5 * 60, tokyo), "0:00");
    EXPECT_EQ(DateTexts::dateText(morning, tokyo), "2026/12/05 9:05");
    EXPECT_EQ(DateTexts::historyDateText(morning, tokyo), "12/5 9:05");
    EXPECT_EQ(DateTexts::abbreviatedDateTimeText(morning, tokyo), "2026年12月5日 9:05");
    EXPECT_EQ(DateTexts::abbreviatedDateStandardTimeText(morning + 7, tokyo), "2026年12月5日 9:05:07");
    for (const std::optional<Date> absent : {std::optional<Date>(), std::optional<Date>(notANumber)}) {
        EXPECT_EQ(DateTexts::shortTimeText(absent, tokyo), "--:--");
        EXPECT_EQ(DateTexts::dateText(absent, tokyo), "未取得");
    }
}

TEST(DateTexts, DurationsTruncateToWholeMinutes)
{
    const std::pair<double, const char*> cases[] = {
        {59, "0m"},       {-30, "0m"},        {2520, "42m"},
        {3700, "1h 1m"},  {86'399, "23h 59m"}, {86'400, "1d 0h"},
        {90'000, "1d 1h"}, {std::numeric_limits<double>::quiet_NaN(), "0m"},
        {std::numeric_limits<double>::infinity(), "0m"}, {1e300, "6250000000000d 0h"},
    };
    for (const auto& [seconds, expected] : cases)
        EXPECT_EQ(DateTexts::durationText(seconds), expected) << seconds;
}
