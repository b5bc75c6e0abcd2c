#pragma once

#include "core/rules/NotificationDeliveryContext.h"
#include "core/rules/PendingDiscordNotification.h"

#include <QString>
#include <QTimeZone>

namespace vantorel {

// The text a queued Discord item is posted with. Low balances at 10 % or 0 % and incidents are
// written again from the readings of the moment of sending, observed events are stamped with
// the time they were seen, everything else keeps the text stored when it was queued. Pure.
struct MacNotificationDelivery
{
    // Possibly empty: an incident none of whose services is still affected.
    static QString message(const PendingDiscordNotification& item, const NotificationDeliveryContext& context,
                           const QTimeZone& timeZone);
};

} // namespace vantorel
