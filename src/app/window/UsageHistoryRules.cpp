#include "app/window/UsageHistoryRules.h"

#include "core/foundation/DateTexts.h"
#include "core/model/AppSettings.h"
#include "core/model/NotificationMessageBuilder.h"
#include "core/model/UsageSnapshot.h"
#include "sync/presentation/UsageConsumptionAnalyzer.h"

#include <QDateTime>
#include <QLocale>

#include <cmath>
#include <iterator>
#include <span>

namespace vantorel::usagehistory {

namespace {

constexpr double fiveHourWindowLength = 18'000;
constexpr double weeklyWindowLength = 604'800;

// Room right of the newest sample, as a share of the span: about 8 px of a 400 px plot, more than
// the radius of its mark.
constexpr double latestMarkRoom = 0.02;
constexpr int maximumAxisTicks = 5;
constexpr qint64 minuteMs = 60'000;
// Tick steps that divide a day, and the day steps of a date axis.
constexpr int timeStepMinutes[] = {1, 2, 5, 10, 15, 30, 60, 120, 180, 240, 360, 720, 1440};
constexpr int dateStepDays[] = {1, 2, 3, 7, 14, 28};

QString axisLabel(qint64 msecsSinceEpoch, bool timeAxis, const QTimeZone& zone)
{
    if (timeAxis)
        return DateTexts::shortTimeText(Date::fromUnixSeconds(double(msecsSinceEpoch) / 1000), zone);
    // Fixed digits and pattern, as every date text of the window, whatever the system locale.
    return QLocale::c().toString(QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch, zone), u"M月d日");
}

} // namespace

QList<UsageHistoryEntry> filteredUsageEntries(const QList<UsageHistoryEntry>& confirmed, MonitoredProvider provider,
                                              UsageHistoryRange range, Date now)
{
    const Date cutOff = now - lookBack(range);
    QList<UsageHistoryEntry> kept;
    for (const UsageHistoryEntry& entry : confirmed) {
        if (entry.provider == provider && entry.recordedAt >= cutOff)
            kept.append(entry);
    }
    return kept;
}

QList<UsageHistoryEntry> downsampledUsageEntries(const QList<UsageHistoryEntry>& filtered)
{
    const qsizetype count = filtered.size();
    if (count <= maximumUnthinnedSamples)
        return filtered;
    const qsizetype step = (count + maximumUnthinnedSamples - 1) / maximumUnthinnedSamples;
    QList<UsageHistoryEntry> taken;
    taken.reserve(count / step + 2);
    for (qsizetype index = 0; index < count; index += step)
        taken.append(filtered[index]);
    if (taken.last().id != filtered.last().id)
        taken.append(filtered.last());
    return taken;
}

bool usageHistoryUsesTimeAxis(const QList<UsageHistoryEntry>& filtered)
{
    if (filtered.isEmpty())
        return true;
    return filtered.last().recordedAt - filtered.first().recordedAt < timeAxisSpanLimit;
}

QString percentText(std::optional<double> percent)
{
    return percent ? NotificationMessageBuilder::percentText(*percent) : QStringLiteral("--");
}

UsageFigures usageFigures(const QList<UsageHistoryEntry>& filtered, bool fiveHourPaused)
{
    const UsageHistoryEntry* latest = filtered.isEmpty() ? nullptr : &filtered.last();
    UsageFigures figures;
    figures.fiveHour = fiveHourPaused
        ? QStringLiteral("停止中")
        : percentText(latest ? latest->fiveHourRemainingPercent.toOptional() : std::nullopt);
    figures.weekly = percentText(latest ? latest->weeklyRemainingPercent.toOptional() : std::nullopt);
    figures.count = QString::number(filtered.size()) + u'件';
    return figures;
}

bool showsUnconfirmedNote(MonitoredProvider selected, const QList<UsageHistoryEntry>& usageHistory)
{
    if (selected != MonitoredProvider::codex)
        return false;
    for (const UsageHistoryEntry& entry : usageHistory) {
        if (entry.provider == MonitoredProvider::codex && !entry.periodsAreConfirmed())
            return true;
    }
    return false;
}

std::optional<Date> cycleStart(UsageNotificationWindow window, const std::optional<UsageSnapshot>& displayed, Date now)
{
    if (!displayed)
        return std::nullopt;
    const bool fiveHour = window == UsageNotificationWindow::fiveHour;
    const std::optional<Date>& resetAt = fiveHour ? displayed->fiveHourResetAt : displayed->weeklyResetAt;
    if (!resetAt || !resetAt->isFinite() || !(*resetAt > now))
        return std::nullopt;
    return *resetAt - (fiveHour ? fiveHourWindowLength : weeklyWindowLength);
}

UsageConsumptionInputs consumptionInputs(UsageNotificationWindow window, MonitoredProvider provider,
                                         const QList<UsageHistoryEntry>& confirmed, const AppSettings& settings,
                                         const std::optional<UsageSnapshot>& displayed, UsageHistoryRange range,
                                         Date now)
{
    UsageConsumptionInputs inputs;
    for (const UsageHistoryEntry& entry : confirmed) {
        if (entry.provider != provider)
            continue;
        inputs.samples.append({entry.recordedAt,
                               window == UsageNotificationWindow::fiveHour
                                   ? entry.fiveHourRemainingPercent.toOptional()
                                   : entry.weeklyRemainingPercent.toOptional()});
    }
    inputs.now = now;
    inputs.rangeStart = now - lookBack(range);
    inputs.expectedRefreshInterval = double(settings.effectiveRefreshIntervalSeconds(provider));
    inputs.cycleStart = cycleStart(window, displayed, now);
    return inputs;
}

UsageConsumptionResult consumptionResult(const UsageConsumptionInputs& inputs)
{
    const std::span<const UsageConsumptionSample> samples(inputs.samples.constData(), inputs.samples.size());
    return UsageConsumptionAnalyzer::analyze(samples, inputs.rangeStart, inputs.now, inputs.expectedRefreshInterval,
                                             inputs.cycleStart);
}

double chartX(Date date)
{
    return date.timeIntervalSince1970() * 1000.0;
}

UsageChartData usageChartData(const QList<UsageHistoryEntry>& drawn)
{
    UsageChartData data;
    if (drawn.isEmpty())
        return data;
    data.fiveHour.reserve(drawn.size());
    data.weekly.reserve(drawn.size());
    for (const UsageHistoryEntry& entry : drawn) {
        const double x = chartX(entry.recordedAt);
        if (entry.fiveHourRemainingPercent)
            data.fiveHour.append({x, *entry.fiveHourRemainingPercent});
        if (entry.weeklyRemainingPercent)
            data.weekly.append({x, *entry.weeklyRemainingPercent});
    }
    const UsageHistoryEntry& latest = drawn.last();
    if (latest.fiveHourRemainingPercent)
        data.latestFiveHour = data.fiveHour.last();
    if (latest.weeklyRemainingPercent)
        data.latestWeekly = data.weekly.last();
    data.minimumX = chartX(drawn.first().recordedAt);
    data.maximumX = chartX(drawn.last().recordedAt);
    if (!(data.maximumX > data.minimumX)) {
        data.minimumX -= singleInstantPadding * 1000.0;
        data.maximumX += singleInstantPadding * 1000.0;
    }
    return data;
}

ChartXRange chartXRange(const UsageChartData& data)
{
    const double span = data.maximumX - data.minimumX;
    return {std::floor(data.minimumX), std::ceil(data.maximumX + span * latestMarkRoom)};
}

QList<ChartAxisTick> chartAxisTicks(ChartXRange range, bool timeAxis, const QTimeZone& zone)
{
    QList<ChartAxisTick> ticks;
    const double span = range.to - range.from;
    if (!(span > 0) || !std::isfinite(span))
        return ticks;
    const qint64 from = qint64(std::ceil(range.from));
    const qint64 to = qint64(std::floor(range.to));
    const QDateTime start = QDateTime::fromMSecsSinceEpoch(from, zone);
    const QDateTime midnight(start.date(), QTime(0, 0), zone);
    if (timeAxis) {
        qint64 step = qint64(timeStepMinutes[std::size(timeStepMinutes) - 1]) * minuteMs;
        for (const int minutes : timeStepMinutes) {
            if (span / (double(minutes) * minuteMs) <= maximumAxisTicks) {
                step = minutes * minuteMs;
                break;
            }
        }
        // Counted from the local midnight, so the marks fall on round wall-clock times.
        const qint64 base = midnight.toMSecsSinceEpoch();
        for (qint64 x = base + (from - base + step - 1) / step * step; x <= to; x += step)
            ticks.append({double(x), axisLabel(x, true, zone)});
        return ticks;
    }
    int stepDays = dateStepDays[std::size(dateStepDays) - 1];
    for (const int days : dateStepDays) {
        if (span / (double(days) * 24 * 60 * minuteMs) <= maximumAxisTicks) {
            stepDays = days;
            break;
        }
    }
    QDateTime day = midnight.toMSecsSinceEpoch() < from ? midnight.addDays(1) : midnight;
    for (; day.toMSecsSinceEpoch() <= to; day = day.addDays(stepDays))
        ticks.append({double(day.toMSecsSinceEpoch()), axisLabel(day.toMSecsSinceEpoch(), false, zone)});
    return ticks;
}

} // namespace vantorel::usagehistory
