#pragma once

#include "app/ui/TextColor.h"
#include "app/window/NotificationProviderFilter.h"
#include "core/model/NotificationHistoryCategory.h"
#include "core/model/NotificationHistoryEntry.h"
#include "core/rules/PendingDiscordNotification.h"

#include <QList>
#include <QString>

#include <optional>

namespace vantorel {

// How a notification category is drawn in the history.
struct NotificationCategoryAppearance
{
    QString symbol;
    ColorPick color;
    QString label;
};

// The rules of the notification section of the history page. Pure.
namespace notificationhistory {

// The entries of the filter's provider in stored order (newest first); all for `all`.
QList<NotificationHistoryEntry> filteredNotificationEntries(const QList<NotificationHistoryEntry>& history,
                                                            NotificationProviderFilter filter);
// "すべての通知履歴を削除", or "<provider>の通知履歴を削除".
QString notificationClearButtonTitle(NotificationProviderFilter filter);
// The first outbox item whose generation is the entry's id.
std::optional<PendingDiscordNotification> pendingItem(const NotificationHistoryEntry& entry,
                                                      const QList<PendingDiscordNotification>& outbox);
NotificationCategoryAppearance appearance(NotificationHistoryCategory category);

} // namespace notificationhistory

} // namespace vantorel
