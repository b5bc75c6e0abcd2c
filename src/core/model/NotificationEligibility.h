#pragma once

#include "core/model/AppSettings.h"

#include <QString>

namespace vantorel {

// Why a notification category does or does not go out on one channel, as the settings grid
// shows it.
struct NotificationEligibility
{
    // The first that applies: "サービスOFF", "通知OFF", "Status取得OFF", "期限通知OFF", "対象",
    // otherwise "項目OFF".
    static QString reason(const AppSettings& settings, MonitoredProvider provider, NotificationCategory category,
                          NotificationChannel channel);
};

} // namespace vantorel
