#pragma once

#include "core/foundation/Json.h"
#include "core/model/NotificationCancellationReason.h"
#include "core/model/NotificationDeliveryStatus.h"

#include <optional>

namespace vantorel {

// What happened to one notification on each channel.
struct NotificationDeliveryEvidence
{
    NotificationDeliveryStatus local = NotificationDeliveryStatus::notRecorded;
    NotificationDeliveryStatus discord = NotificationDeliveryStatus::notRecorded;
    // The last Discord attempt ended without an answer, so the message may arrive twice.
    bool discordResultWasUnknown = false;
    std::optional<NotificationCancellationReason> discordCancellationReason;

    bool operator==(const NotificationDeliveryEvidence&) const = default;
};

Json toJson(const NotificationDeliveryEvidence& evidence);
// "discordResultWasUnknown" may be absent (false).
std::optional<NotificationDeliveryEvidence> notificationDeliveryEvidenceFromJson(const Json& value);

} // namespace vantorel
