#pragma once

#include "core/foundation/Date.h"
#include "core/model/NotificationDeliveryStatus.h"
#include "core/rules/BankedResetExpiryIdentity.h"
#include "core/rules/DiscordNotificationEvent.h"
#include "core/rules/NotificationDeliveryContext.h"

#include <QString>
#include <QUuid>

#include <optional>

namespace vantorel {

class AppViewModel;

// The queue side of the Discord outbox: decides whether a notification is queued, keeps the
// queue and the Discord low-balance keys stored, and re-decides queued items against the newest
// readings. Delivery is the outbox worker's.
class DiscordOutboxQueue final
{
public:
    // The Discord low-balance keys kept; older ones are forgotten first.
    static constexpr qsizetype maximumDiscordUsageKeys = 20;

    explicit DiscordOutboxQueue(AppViewModel& viewModel);

    // Queues the message unless Discord, its category or its Codex period confirmation stands in
    // the way. True when an item with this id is queued afterwards, also one queued earlier under
    // another history record (see discordStatus).
    bool enqueueDiscordNotification(const QString& id, const QString& message, Date now,
                                    const std::optional<BankedResetExpiryIdentity>& bankedResetExpiry,
                                    const std::optional<DiscordNotificationEvent>& event, const QUuid& historyID);
    // The Discord status a new history record takes after enqueueing `id`: waiting when the
    // queued item carries this record, notApplicable when it carries an earlier record (nothing
    // will ever update this one), disabled when nothing is queued.
    NotificationDeliveryStatus discordStatus(const QString& id, const QUuid& historyID) const;
    void persistDiscordUsageNotificationKeys();
    // Cancels what unconfirmed Codex periods forbid, then decides every item again; removed
    // items get their cancellation in the history.
    void revalidatePendingDiscordNotifications(Date now);
    NotificationDeliveryContext notificationDeliveryContext() const;

private:
    AppViewModel& m_viewModel;
};

} // namespace vantorel
