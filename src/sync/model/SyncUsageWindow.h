#pragma once

#include "core/foundation/Date.h"
#include "core/foundation/JsonFwd.h"
#include "sync/model/SyncValueState.h"
#include "sync/model/SyncWindowKind.h"

#include <optional>

namespace vantorel {

// One usage window of a synced provider; its identity is its kind.
struct SyncUsageWindow
{
    SyncWindowKind kind = SyncWindowKind::fiveHour;
    SyncValueState state = SyncValueState::notFetched;
    // Remaining share of the window, 0 to 100.
    std::optional<double> remainingPercent;
    std::optional<Date> resetAt;

    bool operator==(const SyncUsageWindow&) const = default;
};

Json toSyncJson(const SyncUsageWindow& window);
void fromSyncJson(const Json& json, SyncUsageWindow& window);

} // namespace vantorel
