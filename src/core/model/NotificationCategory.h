#pragma once

#include "core/model/MonitoredProvider.h"

#include <QList>
#include <QString>

#include <array>
#include <optional>

namespace vantorel {

// The kinds of notification that can be switched per provider and channel.
enum class NotificationCategory { lowBalance, actualReset, couponGrant, couponExpiry, serviceIncidents };

inline constexpr std::array allNotificationCategories{NotificationCategory::lowBalance, NotificationCategory::actualReset, NotificationCategory::couponGrant, NotificationCategory::couponExpiry, NotificationCategory::serviceIncidents};

QString rawValue(NotificationCategory value);
std::optional<NotificationCategory> notificationCategoryFromRaw(const QString& raw);
// The categories offered for a provider, in case order; Claude has no banked reset credits.
QList<NotificationCategory> availableNotificationCategories(MonitoredProvider provider);
// The Japanese name of a category ("残量低下" ... "サービス障害").
QString label(NotificationCategory category);

} // namespace vantorel
