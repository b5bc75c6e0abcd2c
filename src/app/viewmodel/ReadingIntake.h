#pragma once

#include "app/platform/LocalNotificationRequest.h"
#include "core/model/MonitoredProvider.h"
#include "core/model/NotificationDeliveryStatus.h"
#include "core/model/NotificationHistoryCategory.h"

#include <QString>
#include <QUuid>

#include <optional>

namespace vantorel {

class AppViewModel;
struct UsageSnapshot;

// Where every Codex reading enters the state: published, stored, sampled into the usage history
// and run through the notification rules. Also keeps the notification history's records and the
// Codex period confirmation that decides which Codex values may be compared.
class ReadingIntake final
{
public:
    explicit ReadingIntake(AppViewModel& viewModel);

    void saveUsageSnapshot(const UsageSnapshot& snapshot);
    // "usage.refresh provider=… fiveHourRemaining=… weeklyRemaining=… bankedReset=… source=…",
    // only when services start automatically.
    void logUsageSnapshot(const UsageSnapshot& snapshot, const QString& providerName);
    void recordUsageHistory(MonitoredProvider provider, const UsageSnapshot& snapshot);
    void clearNotificationHistory(std::optional<MonitoredProvider> provider);
    // Adds the record and, when the local channel is on, posts it with the urgency; the local
    // outcome replaces `submitting` when it arrives.
    void recordObservedNotification(const QUuid& id, MonitoredProvider provider, NotificationHistoryCategory category,
                                    const QString& title, const QString& body, bool localEnabled,
                                    NotificationDeliveryStatus discord,
                                    LocalNotificationRequest::Urgency urgency = LocalNotificationRequest::Urgency::normal);

    // Drops the Codex reset baselines and confirmed reading, optionally re-arms the Codex
    // low-balance levels, and cancels every queued Codex usage message.
    void invalidateCodexPeriodComparisons(bool rearmWarnings);
    // Cancels queued Codex low-balance and reset messages: all of them, or those not stamped
    // with the current validation version.
    void cancelUnconfirmedCodexPeriodNotifications(bool all);

private:
    AppViewModel& m_viewModel;
};

} // namespace vantorel
