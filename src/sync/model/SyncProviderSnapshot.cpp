#include "sync/model/SyncProviderSnapshot.h"

#include "sync/model/SyncJsonReader.h"
#include "sync/model/SyncJsonWriter.h"
#include "sync/model/SyncText.h"

namespace vantorel {

bool SyncProviderSnapshot::operator==(const SyncProviderSnapshot& other) const
{
    return id == other.id && enabled == other.enabled && SyncText::canonicallyEqual(planName, other.planName)
        && updatedAt == other.updatedAt && SyncText::canonicallyEqual(statusText, other.statusText)
        && SyncText::canonicallyEqual(errorMessage, other.errorMessage) && SyncText::elementsEqual(windows, other.windows)
        && bankedResetCount == other.bankedResetCount && bankedResetExpiresAt == other.bankedResetExpiresAt
        && SyncText::canonicallyEqual(creditsRemaining, other.creditsRemaining);
}

Json toSyncJson(const SyncProviderSnapshot& provider)
{
    SyncJsonWriter out;
    out.set("id", rawValue(provider.id));
    out.set("enabled", provider.enabled);
    out.set("planName", provider.planName);
    out.set("updatedAt", provider.updatedAt);
    out.set("statusText", provider.statusText);
    out.set("errorMessage", provider.errorMessage);
    out.set("windows", provider.windows);
    out.set("bankedResetCount", provider.bankedResetCount);
    out.set("bankedResetExpiresAt", provider.bankedResetExpiresAt);
    out.set("creditsRemaining", provider.creditsRemaining);
    return out.take();
}

void fromSyncJson(const Json& json, SyncProviderSnapshot& provider)
{
    const SyncJsonReader in(json, "SyncProviderSnapshot");
    provider.id = in.enumeration("id", syncProviderIDFromRaw);
    provider.enabled = in.boolean("enabled");
    provider.planName = in.optionalString("planName");
    provider.updatedAt = in.optionalDate("updatedAt");
    provider.statusText = in.string("statusText");
    provider.errorMessage = in.optionalString("errorMessage");
    provider.windows = in.list<SyncUsageWindow>("windows");
    provider.bankedResetCount = in.optionalInteger("bankedResetCount");
    provider.bankedResetExpiresAt = in.optionalDate("bankedResetExpiresAt");
    provider.creditsRemaining = in.optionalString("creditsRemaining");
}

} // namespace vantorel
