#pragma once

#include "core/foundation/Date.h"
#include "core/foundation/Json.h"
#include "core/rules/BankedResetExpiryIdentity.h"
#include "core/rules/BankedResetExpiryWait.h"
#include "core/rules/DiscordNotificationEvent.h"

#include <QList>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <optional>

namespace vantorel {

// One persistent Discord outbox item. `id` and `generation` together identify it; the
// generation is the id of the notification-history record of the same notification.
struct PendingDiscordNotification
{
    QString id;
    QUuid generation;
    QString content;
    Date createdAt;
    std::int64_t attemptCount = 0;
    Date nextAttemptAt;
    // Not attempted before this: the item waits for a reading fresher than the one it failed on.
    std::optional<Date> observationWaitUntil;
    // The server's rate-limit hold, copied in when the item was queued.
    std::optional<Date> serverRetryNotBefore;
    // Present on expiry warnings, which carry no event.
    std::optional<BankedResetExpiryIdentity> bankedResetExpiry;
    std::optional<BankedResetExpiryWait> bankedResetExpiryWait;
    // Expiry warnings live until their credit expires; this bounds how long one may keep
    // failing.
    std::optional<Date> bankedResetExpiryFailureStartedAt;
    std::optional<DiscordNotificationEvent> event;
    // Set to the current version when the text reports confirmed Codex usage values.
    std::optional<std::int64_t> codexPeriodValidationVersion;

    PendingDiscordNotification() = default;
    // An absent next attempt date means the creation time.
    PendingDiscordNotification(QString id, QString content, Date createdAt, std::int64_t attemptCount,
                               std::optional<Date> nextAttemptAt, std::optional<BankedResetExpiryIdentity> bankedResetExpiry,
                               std::optional<DiscordNotificationEvent> event, QUuid generation);

    // The latest of the next attempt date and every wait that holds the item back (the expiry
    // wait counts only on an expiry warning).
    Date scheduledAttemptAt() const;
    // Low-balance and reset items of Codex: their text reports Codex usage values.
    bool requiresCodexPeriodValidation() const;
    // The same item: equal id and generation.
    bool isSameItem(const PendingDiscordNotification& other) const
    {
        return id == other.id && generation == other.generation;
    }

    bool operator==(const PendingDiscordNotification&) const = default;
};

Json toJson(const PendingDiscordNotification& item);
// "event" reads leniently: a present value that does not decode leaves the item without an
// event (the delivery decision then cancels it) instead of failing the item.
std::optional<PendingDiscordNotification> pendingDiscordNotificationFromJson(const Json& value);
// The stored outbox list. An element that does not decode is left out, so that one damaged item
// does not lose the whole queue; nullopt only when the value is not an array.
std::optional<QList<PendingDiscordNotification>> pendingDiscordNotificationsFromJson(const Json& value);

} // namespace vantorel
