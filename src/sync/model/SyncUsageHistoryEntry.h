#pragma once

#include "core/foundation/Date.h"
#include "core/foundation/JsonFwd.h"
#include "sync/model/SyncProviderID.h"

#include <QUuid>

#include <optional>

namespace vantorel {

// One recorded usage point; its identity is `id`.
struct SyncUsageHistoryEntry
{
    QUuid id;
    SyncProviderID provider = SyncProviderID::codex;
    Date recordedAt;
    // Remaining shares of the 5-hour and weekly windows, 0 to 100.
    std::optional<double> fiveHourRemainingPercent;
    std::optional<double> weeklyRemainingPercent;

    bool operator==(const SyncUsageHistoryEntry&) const = default;
};

Json toSyncJson(const SyncUsageHistoryEntry& entry);
void fromSyncJson(const Json& json, SyncUsageHistoryEntry& entry);

} // namespace vantorel
