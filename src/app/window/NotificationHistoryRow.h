#pragma once

#include "core/model/NotificationHistoryEntry.h"
#include "core/rules/PendingDiscordNotification.h"

#include <QWidget>

#include <optional>

namespace vantorel {

// One recorded notification: its category badge, title and date, body (two lines at most),
// provider and category, and what happened to its delivery. Titles and bodies may quote
// status-page component names, so every text is plain.
class NotificationHistoryRow : public QWidget
{
    Q_OBJECT

public:
    NotificationHistoryRow(const NotificationHistoryEntry& entry, const std::optional<PendingDiscordNotification>& pending,
                           QWidget* parent = nullptr);

    const QUuid& entryID() const { return m_entryID; }

private:
    QUuid m_entryID;
};

} // namespace vantorel
