#pragma once

#include "core/foundation/Date.h"
#include "core/model/MonitoredProvider.h"

#include <QList>

#include <map>
#include <optional>

namespace vantorel {

struct AppSettings;

// When each monitored provider is next refreshed automatically. A plain value without a timer or
// clock of its own: every operation takes the current time. Not persisted, so every launch starts
// a fresh countdown.
struct ProviderRefreshSchedule
{
    // Used by takeDue for a provider that has a date but lost its interval.
    static constexpr double fallbackInterval = 300;

    // A provider without an entry is not scheduled.
    std::map<MonitoredProvider, Date> nextDates;
    // Whole seconds within 60...86,400; present exactly for the active providers.
    std::map<MonitoredProvider, double> intervals;
    // Reference for telling that the clock went back.
    std::optional<Date> lastEvaluation;

    // Whether the settings schedule the provider at all.
    static bool isActive(const AppSettings& settings, MonitoredProvider provider);

    // Brings the scheduled providers and intervals in line with the settings. An unchanged
    // interval keeps its pending date; a new or changed one counts down from `now`.
    void configure(const AppSettings& settings, Date now);
    // Restarts every scheduled provider's countdown from `now`.
    void markRequested(Date now);
    // The due providers (codex first), each rescheduled one interval after `now`; missed turns
    // are not caught up. A clock that went back restarts every countdown and returns nothing.
    QList<MonitoredProvider> takeDue(Date now);
    // The minimum of nextDates, or none when nothing is scheduled.
    std::optional<Date> earliestDate() const;
};

} // namespace vantorel
