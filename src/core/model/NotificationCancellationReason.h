#pragma once

#include <QString>

#include <array>
#include <optional>

namespace vantorel {

// Why a queued Discord delivery was cancelled.
enum class NotificationCancellationReason { settingsChanged, retentionExpired, capacityLimit, couponChanged, resetConfirmed, balanceRecovered, cycleChanged, incidentChanged, unsupportedEvent };

inline constexpr std::array allNotificationCancellationReasons{NotificationCancellationReason::settingsChanged, NotificationCancellationReason::retentionExpired, NotificationCancellationReason::capacityLimit, NotificationCancellationReason::couponChanged, NotificationCancellationReason::resetConfirmed, NotificationCancellationReason::balanceRecovered, NotificationCancellationReason::cycleChanged, NotificationCancellationReason::incidentChanged, NotificationCancellationReason::unsupportedEvent};

QString rawValue(NotificationCancellationReason value);
std::optional<NotificationCancellationReason> notificationCancellationReasonFromRaw(const QString& raw);
// The Japanese text shown after "取消理由: " in the delivery evidence.
QString label(NotificationCancellationReason reason);

} // namespace vantorel
