#pragma once

#include "app/window/UsageHistoryRange.h"
#include "core/foundation/Date.h"
#include "core/model/MonitoredProvider.h"
#include "core/model/UsageHistoryEntry.h"
#include "core/rules/UsageNotificationWindow.h"
#include "sync/presentation/UsageConsumptionResult.h"
#include "sync/presentation/UsageConsumptionSample.h"

#include <QList>
#include <QPointF>
#include <QString>
#include <QTimeZone>

#include <optional>

namespace vantorel {

struct AppSettings;
struct UsageSnapshot;

// The three figures above the usage chart, from the newest sample of the period.
struct UsageFigures
{
    QString fiveHour;
    QString weekly;
    QString count;

    bool operator==(const UsageFigures&) const = default;
};

// What the chart draws: one line per window (x from chartX, y the percent), the newest drawn
// sample's points, and the horizontal range, never empty.
struct UsageChartData
{
    QList<QPointF> fiveHour;
    QList<QPointF> weekly;
    std::optional<QPointF> latestFiveHour;
    std::optional<QPointF> latestWeekly;
    double minimumX = 0;
    double maximumX = 0;

    bool operator==(const UsageChartData&) const = default;
};

// Everything the consumption analysis of one window is told.
struct UsageConsumptionInputs
{
    QList<UsageConsumptionSample> samples;
    Date rangeStart;
    Date now;
    double expectedRefreshInterval = 0;
    std::optional<Date> cycleStart;

    bool operator==(const UsageConsumptionInputs&) const = default;
};

// The rules of the usage section of the history page. Pure; `now` is always passed in.
namespace usagehistory {

// Above this many samples of the period the chart draws every k-th one.
inline constexpr qsizetype maximumUnthinnedSamples = 360;
// A shorter span of samples is labelled with times of day, a longer one with dates.
inline constexpr double timeAxisSpanLimit = 129'600;
// One sample, or samples at one instant, still get a valid axis with the point inside.
inline constexpr double singleInstantPadding = 1'800;

// The confirmed samples of `provider` recorded at or after now minus the range's look-back,
// in stored order.
QList<UsageHistoryEntry> filteredUsageEntries(const QList<UsageHistoryEntry>& confirmed, MonitoredProvider provider,
                                              UsageHistoryRange range, Date now);
// At most 361 samples: every k-th one (k = n / 360 rounded up) and always the newest.
QList<UsageHistoryEntry> downsampledUsageEntries(const QList<UsageHistoryEntry>& filtered);
// True for an empty list and for a span below 36 hours.
bool usageHistoryUsesTimeAxis(const QList<UsageHistoryEntry>& filtered);

// "--" when absent, else the whole percent rounded half away from zero with "%".
QString percentText(std::optional<double> percent);
UsageFigures usageFigures(const QList<UsageHistoryEntry>& filtered, bool fiveHourPaused);
// The note on left-out samples: Codex only, when any stored Codex sample is unconfirmed.
bool showsUnconfirmedNote(MonitoredProvider selected, const QList<UsageHistoryEntry>& usageHistory);

// The displayed reading's reset time of that window minus the window's length, when the reset
// is finite and still ahead.
std::optional<Date> cycleStart(UsageNotificationWindow window, const std::optional<UsageSnapshot>& displayed, Date now);
// Every confirmed sample of the provider, without the period cut-off.
UsageConsumptionInputs consumptionInputs(UsageNotificationWindow window, MonitoredProvider provider,
                                         const QList<UsageHistoryEntry>& confirmed, const AppSettings& settings,
                                         const std::optional<UsageSnapshot>& displayed, UsageHistoryRange range,
                                         Date now);
UsageConsumptionResult consumptionResult(const UsageConsumptionInputs& inputs);

// Milliseconds since the Unix epoch, the x value of a chart point.
double chartX(Date date);
UsageChartData usageChartData(const QList<UsageHistoryEntry>& drawn);

// The horizontal range the chart shows: whole milliseconds holding both ends of the data (the
// axis keeps no fractions), widened on the right so that the newest sample's mark is drawn whole.
struct ChartXRange
{
    double from = 0;
    double to = 0;

    bool operator==(const ChartXRange&) const = default;
};
ChartXRange chartXRange(const UsageChartData& data);

// A labelled mark of the horizontal axis at `x` (milliseconds, as chartX).
struct ChartAxisTick
{
    double x = 0;
    QString label;

    bool operator==(const ChartAxisTick&) const = default;
};
// Marks inside `range` at round times in `zone`: whole minutes or hours labelled "H:mm" on a time
// axis, local midnights labelled "M月d日" on a date axis, at most five, always Japanese whatever
// the system locale.
QList<ChartAxisTick> chartAxisTicks(ChartXRange range, bool timeAxis,
                                    const QTimeZone& zone = QTimeZone::systemTimeZone());

} // namespace usagehistory

} // namespace vantorel
