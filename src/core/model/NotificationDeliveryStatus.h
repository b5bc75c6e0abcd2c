#pragma once

#include "core/model/NotificationChannel.h"

#include <QString>

#include <array>
#include <optional>

namespace vantorel {

// What happened to one notification on one channel; the raw value is the case name.
enum class NotificationDeliveryStatus { notRecorded, disabled, notApplicable, waiting, submitting, accepted, outcomeUnknown, retryScheduled, rateLimited, credentialUnavailable, notAuthorized, invalidContent, failed, cancelled };

inline constexpr std::array allNotificationDeliveryStatuses{NotificationDeliveryStatus::notRecorded, NotificationDeliveryStatus::disabled, NotificationDeliveryStatus::notApplicable, NotificationDeliveryStatus::waiting, NotificationDeliveryStatus::submitting, NotificationDeliveryStatus::accepted, NotificationDeliveryStatus::outcomeUnknown, NotificationDeliveryStatus::retryScheduled, NotificationDeliveryStatus::rateLimited, NotificationDeliveryStatus::credentialUnavailable, NotificationDeliveryStatus::notAuthorized, NotificationDeliveryStatus::invalidContent, NotificationDeliveryStatus::failed, NotificationDeliveryStatus::cancelled};

QString rawValue(NotificationDeliveryStatus value);
std::optional<NotificationDeliveryStatus> notificationDeliveryStatusFromRaw(const QString& raw);
// The Japanese label shown for a status; only `accepted` reads differently per channel.
QString label(NotificationDeliveryStatus status, NotificationChannel channel);

} // namespace vantorel
