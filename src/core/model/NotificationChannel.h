#pragma once

#include <QString>

#include <array>
#include <optional>

namespace vantorel {

// The delivery channels: the desktop notification and the Discord webhook.
enum class NotificationChannel { local, discord };

inline constexpr std::array allNotificationChannels{NotificationChannel::local, NotificationChannel::discord};

QString rawValue(NotificationChannel value);
std::optional<NotificationChannel> notificationChannelFromRaw(const QString& raw);

} // namespace vantorel
