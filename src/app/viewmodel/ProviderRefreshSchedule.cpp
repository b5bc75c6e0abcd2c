#include "app/viewmodel/ProviderRefreshSchedule.h"

#include "core/model/AppSettings.h"

namespace vantorel {

bool ProviderRefreshSchedule::isActive(const AppSettings& settings, MonitoredProvider provider)
{
    if (provider == MonitoredProvider::codex) {
        return settings.codexEnabled;
    }
    return settings.claudeEnabled && (settings.claudeUsageAutoRefreshEnabled || settings.claudeStatusEnabled);
}

void ProviderRefreshSchedule::configure(const AppSettings& settings, Date now)
{
    if (!lastEvaluation) {
        lastEvaluation = now;
    }
    for (const MonitoredProvider provider : allMonitoredProviders) {
        if (!isActive(settings, provider)) {
            intervals.erase(provider);
            nextDates.erase(provider);
            continue;
        }
        const auto interval = static_cast<double>(settings.effectiveRefreshIntervalSeconds(provider));
        const auto known = intervals.find(provider);
        const bool keepDate = known != intervals.end() && known->second == interval && nextDates.contains(provider);
        if (!keepDate) {
            nextDates[provider] = now + interval;
        }
        intervals[provider] = interval;
    }
}

void ProviderRefreshSchedule::markRequested(Date now)
{
    for (const auto& [provider, interval] : intervals) {
        nextDates[provider] = now + interval;
    }
    lastEvaluation = now;
}

QList<MonitoredProvider> ProviderRefreshSchedule::takeDue(Date now)
{
    if (lastEvaluation && now < *lastEvaluation) {
        markRequested(now);
        return {};
    }
    lastEvaluation = now;
    QList<MonitoredProvider> due;
    for (const MonitoredProvider provider : allMonitoredProviders) {
        const auto next = nextDates.find(provider);
        if (next != nextDates.end() && next->second <= now) {
            due.append(provider);
        }
    }
    for (const MonitoredProvider provider : due) {
        const auto interval = intervals.find(provider);
        nextDates[provider] = now + (interval != intervals.end() ? interval->second : fallbackInterval);
    }
    return due;
}

std::optional<Date> ProviderRefreshSchedule::earliestDate() const
{
    std::optional<Date> earliest;
    for (const auto& [provider, date] : nextDates) {
        if (!earliest || date < *earliest) {
            earliest = date;
        }
    }
    return earliest;
}

} // namespace vantorel
