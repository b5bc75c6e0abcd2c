#include "sync/model/SyncUsageHistoryEntry.h"

#include "sync/model/SyncJsonReader.h"
#include "sync/model/SyncJsonWriter.h"

namespace vantorel {

Json toSyncJson(const SyncUsageHistoryEntry& entry)
{
    SyncJsonWriter out;
    out.set("id", entry.id);
    out.set("provider", rawValue(entry.provider));
    out.set("recordedAt", entry.recordedAt);
    out.set("fiveHourRemainingPercent", std::optional<double>(entry.fiveHourRemainingPercent));
    out.set("weeklyRemainingPercent", std::optional<double>(entry.weeklyRemainingPercent));
    return out.take();
}

void fromSyncJson(const Json& json, SyncUsageHistoryEntry& entry)
{
    const SyncJsonReader in(json, "SyncUsageHistoryEntry");
    entry.id = in.uuid("id");
    entry.provider = in.enumeration("provider", syncProviderIDFromRaw);
    entry.recordedAt = in.date("recordedAt");
    entry.fiveHourRemainingPercent = in.optionalNumber("fiveHourRemainingPercent");
    entry.weeklyRemainingPercent = in.optionalNumber("weeklyRemainingPercent");
}

} // namespace vantorel
