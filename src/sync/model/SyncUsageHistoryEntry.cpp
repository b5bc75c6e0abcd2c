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
    out.set("fiveHourRemainingPercent", entry.fiveHourRemainingPercent.toOptional());
    out.set("weeklyRemainingPercent", entry.weeklyRemainingPercent.toOptional());
    return out.take();
}

void fromSyncJson(const Json& json, SyncUsageHistoryEntry& entry)
{
    const SyncJsonReader in(json, "SyncUsageHistoryEntry");
    entry.id = in.uuid("id");
    entry.provider = in.enumeration("provider", syncProviderIDFromRaw);
    entry.recordedAt = in.date("recordedAt");
    entry.fiveHourRemainingPercent = CompactPercent::from(in.optionalNumber("fiveHourRemainingPercent"));
    entry.weeklyRemainingPercent = CompactPercent::from(in.optionalNumber("weeklyRemainingPercent"));
}

} // namespace vantorel
