#pragma once

#include "core/model/NotificationDeliveryStatus.h"

namespace vantorel {

// The result of one Discord send, for the outbox worker; views never see it.
struct DiscordSendOutcome
{
    enum class Kind {
        // Discord confirmed the message.
        delivered,
        // Declined before posting: cancelled, switched off, destination changed, item no longer
        // deliverable or nothing left to say.
        notSent,
        // Not delivered; `status` is what the history records.
        failed,
    };

    Kind kind = Kind::notSent;
    // For `failed` only; never `failed` itself.
    NotificationDeliveryStatus status = NotificationDeliveryStatus::notRecorded;

    static DiscordSendOutcome delivered() { return {Kind::delivered}; }
    static DiscordSendOutcome notSent() { return {Kind::notSent}; }
    static DiscordSendOutcome failed(NotificationDeliveryStatus status) { return {Kind::failed, status}; }

    bool operator==(const DiscordSendOutcome&) const = default;
};

} // namespace vantorel
