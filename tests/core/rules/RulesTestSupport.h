#pragma once

#include "core/foundation/Date.h"
#include "core/foundation/Json.h"
#include "core/rules/PendingDiscordNotification.h"

#include <QString>
#include <QUuid>

#include <ostream>

namespace vantorel {

inline void PrintTo(const Date& date, std::ostream* os)
{
    *os << swiftDoubleDescription(date.timeIntervalSinceReferenceDate()).toStdString();
}

namespace rules_testing {

// 2026-03-01T08:15:00Z
inline const Date now = Date::fromUnixSeconds(1'772'352'900);

inline QString storeText(const Json& value)
{
    return QString::fromUtf8(json::write(value, json::Form::store));
}

// An outbox item created `age` seconds before `now`, due at creation.
inline PendingDiscordNotification item(const QString& id, double age, std::optional<DiscordNotificationEvent> event = std::nullopt,
                                       std::optional<BankedResetExpiryIdentity> expiry = std::nullopt)
{
    return PendingDiscordNotification(id, QStringLiteral("text ") + id, now - age, 0, std::nullopt, std::move(expiry),
                                      std::move(event), QUuid::createUuid());
}

inline DiscordNotificationEvent couponGrant(double age = 0)
{
    return DiscordNotificationEvent::CouponGrant{now - age};
}

} // namespace rules_testing
} // namespace vantorel
