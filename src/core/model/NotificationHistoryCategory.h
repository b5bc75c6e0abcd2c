#pragma once

#include <QString>

#include <array>
#include <optional>

namespace vantorel {

// The grouping of the notification history.
enum class NotificationHistoryCategory { status, usage, reset, authentication };

inline constexpr std::array allNotificationHistoryCategories{NotificationHistoryCategory::status, NotificationHistoryCategory::usage, NotificationHistoryCategory::reset, NotificationHistoryCategory::authentication};

QString rawValue(NotificationHistoryCategory value);
std::optional<NotificationHistoryCategory> notificationHistoryCategoryFromRaw(const QString& raw);

} // namespace vantorel
