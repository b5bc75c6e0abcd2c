#include "core/model/NotificationDeliveryEvidence.h"

#include "core/model/ModelCoding.h"

namespace vantorel {

Json toJson(const NotificationDeliveryEvidence& evidence)
{
    Json object = Json::object();
    object["local"] = json::str(rawValue(evidence.local));
    object["discord"] = json::str(rawValue(evidence.discord));
    object["discordResultWasUnknown"] = evidence.discordResultWasUnknown;
    if (evidence.discordCancellationReason) {
        object["discordCancellationReason"] = json::str(rawValue(*evidence.discordCancellationReason));
    }
    return object;
}

std::optional<NotificationDeliveryEvidence> notificationDeliveryEvidenceFromJson(const Json& value)
{
    FieldReader reader(value);
    NotificationDeliveryEvidence evidence;
    evidence.local = reader.enumeration("local", &notificationDeliveryStatusFromRaw, NotificationDeliveryStatus::notRecorded);
    evidence.discord = reader.enumeration("discord", &notificationDeliveryStatusFromRaw, NotificationDeliveryStatus::notRecorded);
    evidence.discordResultWasUnknown = reader.optionalBoolean("discordResultWasUnknown").value_or(false);
    evidence.discordCancellationReason
        = reader.optionalEnumeration("discordCancellationReason", &notificationCancellationReasonFromRaw);
    if (!reader.ok()) {
        return std::nullopt;
    }
    return evidence;
}

} // namespace vantorel
