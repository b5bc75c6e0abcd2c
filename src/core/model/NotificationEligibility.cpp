#include "core/model/NotificationEligibility.h"

namespace vantorel {

QString NotificationEligibility::reason(const AppSettings& settings, MonitoredProvider provider,
                                        NotificationCategory category, NotificationChannel channel)
{
    const bool providerOn = provider == MonitoredProvider::codex ? settings.codexEnabled : settings.claudeEnabled;
    if (!providerOn) {
        return QStringLiteral("サービスOFF");
    }
    const bool channelOn = channel == NotificationChannel::local ? settings.notificationsEnabled
                                                                  : settings.discordResetNotificationsEnabled;
    if (!channelOn) {
        return QStringLiteral("通知OFF");
    }
    if (!settings.notificationCategoryEnabled(category, provider, channel)) {
        return QStringLiteral("項目OFF");
    }
    if (category == NotificationCategory::serviceIncidents && provider == MonitoredProvider::claude
        && !settings.claudeStatusEnabled) {
        return QStringLiteral("Status取得OFF");
    }
    if (category == NotificationCategory::couponExpiry && !settings.bankedResetExpiryNotificationsEnabled) {
        return QStringLiteral("期限通知OFF");
    }
    return QStringLiteral("対象");
}

} // namespace vantorel
