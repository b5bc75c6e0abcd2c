#include "app/window/UsageHistoryRules.h"

#include "core/model/AppSettings.h"
#include "core/model/NotificationMessageBuilder.h"
#include "core/model/UsageSnapshot.h"
#include "sync/presentation/UsageConsumptionAnalyzer.h"

#include <span>

namespace vantorel::usagehistory {

namespace {

constexpr double fiveHourWindowLength = 18'000;
constexpr double weeklyWindowLength = 604'800;

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
    figures.fiveHour = fiveHourPaused ? QStringLiteral("停止中")
                                      : percentText(latest ? latest->fiveHourRemainingPercent : std::nullopt);
    figures.weekly = percentText(latest ? latest->weeklyRemainingPercent : std::nullopt);
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
        inputs.samples.append({entry.recordedAt, window == UsageNotificationWindow::fiveHour
                                                     ? entry.fiveHourRemainingPercent
                                                     : entry.weeklyRemainingPercent});
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

} // namespace vantorel::usagehistory
