#include "sync/model/SyncUsageWindow.h"

#include "sync/model/SyncJsonReader.h"
#include "sync/model/SyncJsonWriter.h"

namespace vantorel {

Json toSyncJson(const SyncUsageWindow& window)
{
    SyncJsonWriter out;
    out.set("kind", rawValue(window.kind));
    out.set("state", rawValue(window.state));
    out.set("remainingPercent", window.remainingPercent);
    out.set("resetAt", window.resetAt);
    return out.take();
}

void fromSyncJson(const Json& json, SyncUsageWindow& window)
{
    const SyncJsonReader in(json, "SyncUsageWindow");
    window.kind = in.enumeration("kind", syncWindowKindFromRaw);
    window.state = in.enumeration("state", syncValueStateFromRaw);
    window.remainingPercent = in.optionalNumber("remainingPercent");
    window.resetAt = in.optionalDate("resetAt");
}

} // namespace vantorel
