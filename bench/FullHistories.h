#pragma once

#include "app/viewmodel/AppViewModel.h"
#include "core/model/HistoryRetention.h"
#include "core/rules/DiscordNotificationOutbox.h"

namespace vantorel {

// Fills every history of the view model to its cap and stores them: 2,500 Codex usage samples
// `spacing` seconds apart up to `now`, 120 notification records and 128 queued Discord items.
inline void fillHistories(AppViewModel& viewModel, Date now, double spacing)
{
    QList<UsageHistoryEntry> samples;
    for (int i = HistoryRetention::maximumUsageEntries; i > 0; --i) {
        samples.append(UsageHistoryEntry{QUuid::createUuid(), MonitoredProvider::codex, now - i * spacing, 60, 80, 1});
    }
    viewModel.setUsageHistory(samples);
    AppState& full = viewModel.mutableState();
    full.settings.discordResetNotificationsEnabled = true;
    for (int i = 0; i < HistoryRetention::maximumNotificationEntries; ++i) {
        full.notificationHistory.append(NotificationHistoryEntry{QUuid::createUuid(), MonitoredProvider::codex,
                                                                 NotificationHistoryCategory::usage, QString(40, u'題'),
                                                                 QString(80, u'文'), now - i, NotificationDeliveryEvidence{}});
    }
    for (int i = 0; i < DiscordNotificationOutbox::capacity; ++i) {
        full.pendingDiscordResetNotifications.append(PendingDiscordNotification(
            QStringLiteral("banked-reset-%1").arg(i), QString(120, u'券'), now - i, 0, std::nullopt, std::nullopt,
            DiscordNotificationEvent::CouponGrant{now - i}, QUuid::createUuid()));
    }
    viewModel.persistUsageHistory();
    viewModel.persistNotificationHistory();
    viewModel.persistPendingDiscordResetNotifications();
}

} // namespace vantorel
