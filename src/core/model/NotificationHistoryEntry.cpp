#include "core/model/NotificationHistoryEntry.h"

#include "core/model/ModelCoding.h"

namespace vantorel {

Json toJson(const NotificationHistoryEntry& entry)
{
    Json object = Json::object();
    object["id"] = json::uuidValue(entry.id);
    object["provider"] = json::str(rawValue(entry.provider));
    object["category"] = json::str(rawValue(entry.category));
    object["title"] = json::str(entry.title);
    object["body"] = json::str(entry.body);
    object["createdAt"] = json::storeDateValue(entry.createdAt);
    if (entry.delivery) {
        object["delivery"] = toJson(*entry.delivery);
    }
    return object;
}

std::optional<NotificationHistoryEntry> notificationHistoryEntryFromJson(const Json& value)
{
    FieldReader reader(value);
    NotificationHistoryEntry entry;
    entry.id = reader.uuid("id");
    entry.provider = reader.enumeration("provider", &monitoredProviderFromRaw, MonitoredProvider::codex);
    entry.category = reader.enumeration("category", &notificationHistoryCategoryFromRaw, NotificationHistoryCategory::status);
    entry.title = reader.string("title");
    entry.body = reader.string("body");
    entry.createdAt = reader.date("createdAt");
    entry.delivery = reader.optionalRecord("delivery", &notificationDeliveryEvidenceFromJson);
    if (!reader.ok()) {
        return std::nullopt;
    }
    return entry;
}

} // namespace vantorel
