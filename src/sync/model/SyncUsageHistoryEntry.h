#pragma once

#include "core/foundation/Date.h"
#include "core/foundation/JsonFwd.h"
#include "core/model/CompactPercent.h"
#include "sync/model/SyncProviderID.h"

#include <QUuid>

#include <optional>

namespace vantorel {

// One recorded usage point; its identity is `id`. A full snapshot holds thousands, so the fields
// are laid out to fill 40 bytes; the constructor keeps the order id, provider, time, five-hour,
// weekly, and narrows the figures to their compact forms.
struct SyncUsageHistoryEntry
{
    SyncUsageHistoryEntry() = default;
    SyncUsageHistoryEntry(const QUuid& id, SyncProviderID provider, Date recordedAt,
                          std::optional<double> fiveHourRemainingPercent = {},
                          std::optional<double> weeklyRemainingPercent = {})
        : id(id)
        , recordedAt(recordedAt)
        , fiveHourRemainingPercent(CompactPercent::from(fiveHourRemainingPercent))
        , weeklyRemainingPercent(CompactPercent::from(weeklyRemainingPercent))
        , provider(provider)
    {
    }

    QUuid id;
    Date recordedAt;
    // Remaining shares of the 5-hour and weekly windows, 0 to 100.
    CompactPercent fiveHourRemainingPercent;
    CompactPercent weeklyRemainingPercent;
    SyncProviderID provider = SyncProviderID::codex;

    bool operator==(const SyncUsageHistoryEntry&) const = default;
};

static_assert(sizeof(SyncUsageHistoryEntry) == 40);

Json toSyncJson(const SyncUsageHistoryEntry& entry);
void fromSyncJson(const Json& json, SyncUsageHistoryEntry& entry);

} // namespace vantorel
