#include "app/window/NotificationHistoryRules.h"

#include "app/ui/SystemColors.h"

namespace vantorel::notificationhistory {

QList<NotificationHistoryEntry> filteredNotificationEntries(const QList<NotificationHistoryEntry>& history,
                                                            NotificationProviderFilter filter)
{
    const std::optional<MonitoredProvider> selected = provider(filter);
    if (!selected)
        return history;
    QList<NotificationHistoryEntry> kept;
    for (const NotificationHistoryEntry& entry : history) {
        if (entry.provider == *selected)
            kept.append(entry);
    }
    return kept;
}

QString notificationClearButtonTitle(NotificationProviderFilter filter)
{
    const std::optional<MonitoredProvider> selected = provider(filter);
    return selected ? displayName(*selected) + QStringLiteral("の通知履歴を削除") : QStringLiteral("すべての通知履歴を削除");
}

std::optional<PendingDiscordNotification> pendingItem(const NotificationHistoryEntry& entry,
                                                      const QList<PendingDiscordNotification>& outbox)
{
    for (const PendingDiscordNotification& item : outbox) {
        if (item.generation == entry.id)
            return item;
    }
    return std::nullopt;
}

NotificationCategoryAppearance appearance(NotificationHistoryCategory category)
{
    switch (category) {
    case NotificationHistoryCategory::status:
        return {QStringLiteral("waveform.path.ecg"), [](const SystemColors& c) { return c.systemRed; },
                QStringLiteral("状態")};
    case NotificationHistoryCategory::usage:
        return {QStringLiteral("battery.25"), [](const SystemColors& c) { return c.systemOrange; },
                QStringLiteral("残量")};
    case NotificationHistoryCategory::reset:
        return {QStringLiteral("arrow.clockwise"), [](const SystemColors& c) { return c.systemGreen; },
                QStringLiteral("リセット")};
    case NotificationHistoryCategory::authentication:
        return {QStringLiteral("person.badge.key"), [](const SystemColors& c) { return c.systemBlue; },
                QStringLiteral("認証")};
    }
    return {};
}

} // namespace vantorel::notificationhistory
