#include "app/window/NotificationHistoryRules.h"
#include "app/window/UsageHistoryChart.h"
#include "app/window/UsageHistoryRules.h"
#include "core/model/AppSettings.h"
#include "core/model/UsageSnapshot.h"

#include <QDateTime>
#include <QLocale>

#include <gtest/gtest.h>

#include <cmath>

namespace vantorel {
namespace {

using namespace usagehistory;

const Date now = Date(800'000'000);

UsageHistoryEntry sample(Date at, std::optional<double> fiveHour = 50, std::optional<double> weekly = 70,
                         MonitoredProvider provider = MonitoredProvider::codex, std::int64_t version = 1)
{
    return {QUuid::createUuid(), provider, at, fiveHour, weekly, version};
}

QList<UsageHistoryEntry> samples(int count)
{
    QList<UsageHistoryEntry> list;
    for (int index = 0; index < count; ++index)
        list.append(sample(now - 60.0 * (count - index)));
    return list;
}

TEST(UsageHistoryRulesTest, ThinningKeepsAtMost361SamplesAndAlwaysTheNewest)
{
    const struct { int count; qsizetype drawn; } cases[] = {{360, 360}, {361, 181}, {362, 182}, {720, 361}, {2500, 358}};
    for (const auto& c : cases) {
        const QList<UsageHistoryEntry> filtered = samples(c.count);
        const QList<UsageHistoryEntry> drawn = downsampledUsageEntries(filtered);
        EXPECT_EQ(drawn.size(), c.drawn) << c.count;
        EXPECT_EQ(drawn.last().id, filtered.last().id) << c.count;
        EXPECT_EQ(drawn.first().id, filtered.first().id) << c.count;
    }
}

TEST(UsageHistoryRulesTest, FilterTakesTheProvidersConfirmedSamplesOfThePeriod)
{
    const QList<UsageHistoryEntry> stored{sample(now - 604'801), sample(now - 604'800),
                                          sample(now - 10, 1, 1, MonitoredProvider::claude), sample(now - 5)};
    const QList<UsageHistoryEntry> week = filteredUsageEntries(stored, MonitoredProvider::codex,
                                                               UsageHistoryRange::week, now);
    ASSERT_EQ(week.size(), 2);
    EXPECT_EQ(week[0].id, stored[1].id);
    EXPECT_EQ(filteredUsageEntries(stored, MonitoredProvider::codex, UsageHistoryRange::day, now).size(), 1);
}

TEST(UsageHistoryRulesTest, AxisLabelsTimesBelow36HoursAndDatesFromThere)
{
    EXPECT_TRUE(usageHistoryUsesTimeAxis({}));
    EXPECT_TRUE(usageHistoryUsesTimeAxis({sample(now - 35 * 3600 - 59 * 60), sample(now)}));
    EXPECT_FALSE(usageHistoryUsesTimeAxis({sample(now - 36 * 3600), sample(now)}));
}

TEST(UsageHistoryRulesTest, AxisMarksFallOnRoundJapaneseTimesWhateverTheSystemLocale)
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const QTimeZone tokyo(9 * 3600);
    const auto at = [&](int month, int day, int hour, int minute, int second) {
        return double(QDateTime(QDate(2026, month, day), QTime(hour, minute, second), tokyo).toMSecsSinceEpoch());
    };
    const auto labels = [&](ChartXRange range, bool timeAxis) {
        QStringList texts;
        for (const ChartAxisTick& tick : chartAxisTicks(range, timeAxis, tokyo)) {
            EXPECT_GE(tick.x, range.from);
            EXPECT_LE(tick.x, range.to);
            texts.append(tick.label);
        }
        return texts;
    };
    const struct {
        ChartXRange range;
        bool timeAxis;
        QStringList expected;
    } cases[] = {
        {{at(11, 29, 13, 54, 4) + 0.25, at(11, 30, 13, 54, 4)}, true, {"18:00", "0:00", "6:00", "12:00"}},
        {{at(11, 30, 13, 54, 4), at(11, 30, 14, 24, 4)}, true, {"14:00", "14:10", "14:20"}},
        {{at(11, 30, 9, 0, 0), at(11, 30, 9, 3, 0)}, true, {"9:00", "9:01", "9:02", "9:03"}},
        {{at(11, 25, 13, 54, 4), at(12, 2, 13, 54, 4)}, false, {"11月26日", "11月28日", "11月30日", "12月2日"}},
        {{at(11, 1, 0, 0, 0), at(11, 30, 23, 0, 0)}, false, {"11月1日", "11月8日", "11月15日", "11月22日", "11月29日"}},
        {{at(11, 30, 9, 0, 0), at(11, 30, 9, 0, 0)}, true, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(labels(c.range, c.timeAxis), c.expected) << c.expected.join(' ').toStdString();
    QLocale::setDefault(before);
}

TEST(UsageHistoryRulesTest, RangeHoldsTheNewestSampleOnWholeMillisecondsWithRoomForItsMark)
{
    UsageChartData data;
    data.minimumX = 1'000.4;
    data.maximumX = 101'000.6;
    const ChartXRange range = chartXRange(data);
    EXPECT_EQ(range.from, 1'000);
    EXPECT_GE(range.to, data.maximumX + 0.01 * (data.maximumX - data.minimumX));
    EXPECT_EQ(range.to, std::floor(range.to));
}

TEST(UsageHistoryRulesTest, FiguresComeFromTheNewestSample)
{
    const struct {
        QList<UsageHistoryEntry> filtered;
        bool paused;
        UsageFigures expected;
    } cases[] = {
        {{}, false, {"--", "--", "0件"}},
        {{}, true, {"停止中", "--", "0件"}},
        {{sample(now - 60, 10, 20), sample(now, 99.5, 0.49)}, false, {"100%", "0%", "2件"}},
        {{sample(now, std::nullopt, 42.5)}, true, {"停止中", "43%", "1件"}},
        {{sample(now, std::nullopt, std::nullopt)}, false, {"--", "--", "1件"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(usageFigures(c.filtered, c.paused), c.expected) << c.expected.fiveHour.toStdString();
}

TEST(UsageHistoryRulesTest, UnconfirmedNoteReadsTheWholeHistoryForCodexOnly)
{
    const QList<UsageHistoryEntry> history{sample(now - 2'000'000, 1, 1, MonitoredProvider::codex, 0), sample(now)};
    EXPECT_TRUE(showsUnconfirmedNote(MonitoredProvider::codex, history));
    EXPECT_FALSE(showsUnconfirmedNote(MonitoredProvider::claude, history));
    EXPECT_FALSE(showsUnconfirmedNote(MonitoredProvider::codex, {sample(now)}));
}

TEST(UsageHistoryRulesTest, ConsumptionInputs)
{
    AppSettings separate;
    separate.usesSeparateRefreshIntervals = true;
    separate.codexRefreshIntervalSeconds = 30;
    AppSettings common;
    common.refreshIntervalSeconds = 100'000;
    UsageSnapshot reading;
    reading.fiveHourResetAt = now + 600;
    reading.weeklyResetAt = now + 7200;
    UsageSnapshot past = reading;
    past.fiveHourResetAt = now;
    past.weeklyResetAt = now - 1;
    const QList<UsageHistoryEntry> confirmed{sample(now - 5'000'000, 80, std::nullopt),
                                             sample(now - 10, 1, 2, MonitoredProvider::claude), sample(now - 5, 60, 70)};

    const UsageConsumptionInputs fiveHour = consumptionInputs(UsageNotificationWindow::fiveHour, MonitoredProvider::codex,
                                                              confirmed, separate, reading, UsageHistoryRange::day, now);
    EXPECT_EQ(fiveHour.expectedRefreshInterval, 60);
    EXPECT_EQ(fiveHour.rangeStart, now - 86'400);
    EXPECT_EQ(fiveHour.cycleStart, now + 600 - 18'000);
    // No period cut-off: the old sample is handed over too.
    EXPECT_EQ(fiveHour.samples, (QList<UsageConsumptionSample>{{now - 5'000'000, 80}, {now - 5, 60}}));

    const UsageConsumptionInputs weekly = consumptionInputs(UsageNotificationWindow::weekly, MonitoredProvider::codex,
                                                            confirmed, common, reading, UsageHistoryRange::week, now);
    EXPECT_EQ(weekly.expectedRefreshInterval, 86'400);
    EXPECT_EQ(weekly.cycleStart, now + 7200 - 604'800);
    EXPECT_EQ(weekly.samples[0].remainingPercent, std::nullopt);

    for (const auto window : allUsageNotificationWindows) {
        EXPECT_EQ(cycleStart(window, past, now), std::nullopt);
        EXPECT_EQ(cycleStart(window, std::nullopt, now), std::nullopt);
    }
}

TEST(UsageHistoryRulesTest, ChartDataMarksTheNewestSampleAndWidensAZeroSpan)
{
    const UsageChartData one = usageChartData({sample(now, std::nullopt, 70)});
    EXPECT_TRUE(one.fiveHour.isEmpty());
    EXPECT_EQ(one.latestFiveHour, std::nullopt);
    EXPECT_EQ(one.latestWeekly, QPointF(chartX(now), 70));
    EXPECT_EQ(one.maximumX - one.minimumX, 3'600'000);
    EXPECT_EQ(chartX(Date(0)), 978'307'200'000.0);

    const UsageChartData two = usageChartData({sample(now - 60, 10, 20), sample(now, 30, std::nullopt)});
    EXPECT_EQ(two.latestFiveHour, QPointF(chartX(now), 30));
    EXPECT_EQ(two.latestWeekly, std::nullopt);
    EXPECT_EQ(two.weekly.size(), 1);
    EXPECT_EQ(two.maximumX - two.minimumX, 60'000);
}

TEST(UsageHistoryRulesTest, NotificationFilterAndClearTitle)
{
    NotificationHistoryEntry codex;
    codex.id = QUuid::createUuid();
    NotificationHistoryEntry claude = codex;
    claude.id = QUuid::createUuid();
    claude.provider = MonitoredProvider::claude;
    const QList<NotificationHistoryEntry> history{claude, codex};
    EXPECT_EQ(notificationhistory::filteredNotificationEntries(history, NotificationProviderFilter::all), history);
    EXPECT_EQ(notificationhistory::filteredNotificationEntries(history, NotificationProviderFilter::codex),
              QList<NotificationHistoryEntry>{codex});
    EXPECT_EQ(notificationhistory::notificationClearButtonTitle(NotificationProviderFilter::all), "すべての通知履歴を削除");
    EXPECT_EQ(notificationhistory::notificationClearButtonTitle(NotificationProviderFilter::claude),
              "Claudeの通知履歴を削除");
}

} // namespace
} // namespace vantorel
