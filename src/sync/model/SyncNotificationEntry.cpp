#include "sync/model/SyncNotificationEntry.h"

#include "sync/model/SyncJsonReader.h"
#include "sync/model/SyncJsonWriter.h"
#include "sync/model/SyncText.h"

namespace vantorel {

bool SyncNotificationEntry::operator==(const SyncNotificationEntry& other) const
{
    return id == other.id && provider == other.provider && SyncText::canonicallyEqual(category, other.category)
        && SyncText::canonicallyEqual(title, other.title) && SyncText::canonicallyEqual(body, other.body)
        && createdAt == other.createdAt;
}

Json toSyncJson(const SyncNotificationEntry& entry)
{
    SyncJsonWriter out;
    out.set("id", entry.id);
    out.set("provider", rawValue(entry.provider));
    out.set("category", entry.category);
    out.set("title", entry.title);
    out.set("body", entry.body);
    out.set("createdAt", entry.createdAt);
    return out.take();
}

void fromSyncJson(const Json& json, SyncNotificationEntry& entry)
{
    const SyncJsonReader in(json, "SyncNotificationEntry");
    entry.id = in.uuid("id");
    entry.provider = in.enumeration("provider", syncProviderIDFromRaw);
    entry.category = in.string("category");
    entry.title = in.string("title");
    entry.body = in.string("body");
    entry.createdAt = in.date("createdAt");
}

} // namespace vantorel
