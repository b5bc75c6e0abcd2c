#pragma once

#include "core/model/NotificationHistoryEntry.h"
#include "core/rules/PendingDiscordNotification.h"

#include <QList>
#include <QWidget>

namespace vantorel {

class DisclosureGroup;

// The Discord outbox as a collapsible list: one title and delivery record per queued item, in
// the order given. Starts collapsed; new contents keep the expanded state.
class DiscordQueueView : public QWidget
{
    Q_OBJECT

public:
    explicit DiscordQueueView(QWidget* parent = nullptr);

    // Rebuilds the rows only when the outbox or the history differ from the last call.
    void setItems(const QList<PendingDiscordNotification>& notifications, const QList<NotificationHistoryEntry>& history);

    DisclosureGroup* group() const { return m_group; }

    // "Discordの送信待ち（N件）".
    static QString groupTitle(qsizetype count);
    // What kind of notification the item is: "<provider>・<category>" from its event, the
    // expiry warning for an expiry identity, else the legacy text.
    static QString itemTitle(const PendingDiscordNotification& item);
    // The delivery record of the history entry whose id is the item's generation; without one
    // (or without a record in it), nothing recorded locally and Discord waiting, or not recorded
    // once an attempt was made.
    static NotificationDeliveryEvidence deliveryRecord(const PendingDiscordNotification& item,
                                                       const QList<NotificationHistoryEntry>& history);

private:
    QWidget* buildContent() const;

    DisclosureGroup* m_group;
    QList<PendingDiscordNotification> m_notifications;
    QList<NotificationHistoryEntry> m_history;
    bool m_built = false;
};

} // namespace vantorel
