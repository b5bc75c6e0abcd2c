#include "sync/presentation/ResetSchedulePresentation.h"

#include "support/NonFinite.h"
#include "support/QtPrinters.h"

#include <QDateTime>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using namespace Qt::StringLiterals;

using test::inf;
using test::nan;

const QTimeZone tokyo("Asia/Tokyo");
const QTimeZone newYork("America/New_York");

Date local(const QTimeZone& zone, int year, int month, int day, int hour, int minute, int second = 0)
{
    return Date::fromQDateTime(QDateTime(QDate(year, month, day), QTime(hour, minute, second), zone));
}

Date jst(int year, int month, int day, int hour, int minute, int second = 0)
{
    return local(tokyo, year, month, day, hour, minute, second);
}

Date nyc(int year, int month, int day, int hour, int minute)
{
    return local(newYork, year, month, day, hour, minute);
}

struct ScheduleCase
{
    const char* name;
    const QTimeZone& zone;
    Date now;
    std::optional<Date> reset;
    ResetScheduleText expected;
};

ResetScheduleText upcoming(const QString& date, const QString& countdown)
{
    return {date + u" リセット予定"_s, countdown, false};
}

ResetScheduleText passed(const QString& date)
{
    return {date + u" 予定"_s, u"予定経過・更新待ち"_s, true};
}

TEST(ResetSchedulePresentationTest, NamesTheDayInTheGivenZoneAndCountsDown)
{
    ASSERT_TRUE(tokyo.isValid());
    ASSERT_TRUE(newYork.isValid());
    const Date tokyoNow = jst(2026, 3, 10, 10, 0);
    const Date yearEnd = jst(2026, 12, 31, 12, 0);
    // New York moves its clocks from 02:00 EST to 03:00 EDT on 2026-03-08.
    const Date eveBeforeChange = nyc(2026, 3, 7, 23, 30);
    const Date nightOfChange = nyc(2026, 3, 8, 0, 30);

    const std::vector<ScheduleCase> cases = {
        {"later today", tokyo, tokyoNow, jst(2026, 3, 10, 14, 5), upcoming(u"今日 14:05"_s, u"あと4時間5分"_s)},
        {"last minute of today", tokyo, tokyoNow, jst(2026, 3, 10, 23, 59, 59),
         upcoming(u"今日 23:59"_s, u"あと14時間"_s)},
        {"tomorrow at midnight", tokyo, tokyoNow, jst(2026, 3, 11, 0, 0), upcoming(u"明日 00:00"_s, u"あと14時間"_s)},
        {"tomorrow", tokyo, tokyoNow, jst(2026, 3, 11, 0, 30), upcoming(u"明日 00:30"_s, u"あと14時間30分"_s)},
        {"end of tomorrow", tokyo, tokyoNow, jst(2026, 3, 11, 23, 59), upcoming(u"明日 23:59"_s, u"あと1日13時間"_s)},
        {"day after tomorrow", tokyo, tokyoNow, jst(2026, 3, 12, 0, 0), upcoming(u"3/12 00:00"_s, u"あと1日14時間"_s)},
        {"this year", tokyo, tokyoNow, jst(2026, 3, 15, 9, 0), upcoming(u"3/15 09:00"_s, u"あと4日23時間"_s)},
        {"another year", tokyo, tokyoNow, jst(2027, 1, 2, 9, 0),
         upcoming(u"2027/1/2 09:00"_s, u"あと297日23時間"_s)},
        {"whole hours", tokyo, tokyoNow, jst(2026, 3, 10, 11, 0), upcoming(u"今日 11:00"_s, u"あと1時間"_s)},
        {"whole days", tokyo, tokyoNow, tokyoNow + 2 * 86400 + 1800, upcoming(u"3/12 10:30"_s, u"あと2日"_s)},
        {"59 s", tokyo, tokyoNow, tokyoNow + 59, upcoming(u"今日 10:00"_s, u"あと1分"_s)},
        {"60 s", tokyo, tokyoNow, tokyoNow + 60, upcoming(u"今日 10:01"_s, u"あと1分"_s)},
        {"61 s", tokyo, tokyoNow, tokyoNow + 61, upcoming(u"今日 10:01"_s, u"あと2分"_s)},
        {"3599 s", tokyo, tokyoNow, tokyoNow + 3599, upcoming(u"今日 10:59"_s, u"あと1時間"_s)},
        {"86400 s", tokyo, tokyoNow, tokyoNow + 86400, upcoming(u"明日 10:00"_s, u"あと1日"_s)},
        {"passed", tokyo, tokyoNow, jst(2026, 3, 10, 9, 59), passed(u"今日 09:59"_s)},
        {"exactly now", tokyo, tokyoNow, tokyoNow, passed(u"今日 10:00"_s)},
        {"passed yesterday", tokyo, tokyoNow, jst(2026, 3, 9, 23, 0), passed(u"3/9 23:00"_s)},
        {"tomorrow across the year", tokyo, yearEnd, jst(2027, 1, 1, 0, 0), upcoming(u"明日 00:00"_s, u"あと12時間"_s)},
        {"next year", tokyo, yearEnd, jst(2027, 1, 2, 0, 0), upcoming(u"2027/1/2 00:00"_s, u"あと1日12時間"_s)},
        {"same instant, other zone", newYork, tokyoNow, jst(2026, 3, 10, 14, 5),
         upcoming(u"明日 01:05"_s, u"あと4時間5分"_s)},
        {"tomorrow is 23 hours away", newYork, eveBeforeChange, nyc(2026, 3, 8, 23, 30),
         upcoming(u"明日 23:30"_s, u"あと23時間"_s)},
        {"after the skipped hour", newYork, nightOfChange, nyc(2026, 3, 8, 3, 0),
         upcoming(u"今日 03:00"_s, u"あと1時間30分"_s)},
        {"end of the short day", newYork, nightOfChange, nyc(2026, 3, 8, 23, 59),
         upcoming(u"今日 23:59"_s, u"あと22時間29分"_s)},
        {"midnight after the short day", newYork, nightOfChange, nyc(2026, 3, 9, 0, 0),
         upcoming(u"明日 00:00"_s, u"あと22時間30分"_s)},
        {"two days after the change", newYork, nightOfChange, nyc(2026, 3, 10, 0, 30),
         upcoming(u"3/10 00:30"_s, u"あと1日23時間"_s)},
        {"passed before the change", newYork, nightOfChange, nyc(2026, 3, 7, 23, 0),
         passed(u"3/7 23:00"_s)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto text = ResetSchedulePresentation::text(c.reset, c.now, c.zone);
        EXPECT_EQ(text.primary, c.expected.primary);
        EXPECT_EQ(text.secondary, c.expected.secondary);
        EXPECT_EQ(text.isElapsed, c.expected.isElapsed);
    }
}

TEST(ResetSchedulePresentationTest, OnlyMissingOrNonFiniteInstantsReadAsMissing)
{
    const Date now = jst(2026, 3, 10, 10, 0);
    const ResetScheduleText missing{u"リセット予定 未取得"_s, std::nullopt, false};
    const std::vector<std::pair<std::optional<Date>, Date>> cases = {
        {std::nullopt, now}, {Date(nan), now}, {Date(inf), now}, {Date(-inf), now}, {now + 60, Date(nan)}, {now + 60, Date(inf)},
    };
    for (const auto& [reset, current] : cases)
        EXPECT_EQ(ResetSchedulePresentation::text(reset, current, tokyo), missing);
}

// Far instants keep their date while the calendar can hold it, and the countdown stays the capped
// one that the usage meters show for the same instant.
TEST(ResetSchedulePresentationTest, FarInstantsKeepADateAndTheCappedCountdown)
{
    const Date now = jst(2026, 3, 10, 10, 0);
    const QString capped = u"あと1491308日2時間"_s;
    const std::vector<std::pair<Date, ResetScheduleText>> cases = {
        {jst(9000, 1, 1, 9, 0), upcoming(u"9000/1/1 09:00"_s, capped)},
        {jst(10000, 1, 1, 9, 0), upcoming(u"10000/1/1 09:00"_s, capped)},
        {Date(1e12), upcoming(u"33689/9/27 10:46"_s, capped)},
        {Date(1e300), {u"リセット予定"_s, capped, false}},
        {Date(-1e300), {u"予定"_s, u"予定経過・更新待ち"_s, true}},
    };
    for (const auto& [reset, expected] : cases)
        EXPECT_EQ(ResetSchedulePresentation::text(reset, now, tokyo), expected) << expected.primary.toStdString();
}

} // namespace
} // namespace vantorel
