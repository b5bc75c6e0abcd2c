#include "app/setup/DiscordQueueView.h"

#include "app/setup/NotificationDeliveryEvidenceView.h"
#include "app/ui/CaptionLabel.h"
#include "app/ui/DisclosureGroup.h"
#include "app/ui/LineLimitedLabel.h"
#include "app/ui/UiFont.h"
#include "core/model/NotificationCategory.h"

#include <QVBoxLayout>

namespace vantorel {

namespace {

constexpr int itemSpacing = 10;
constexpr int lineSpacing = 4;

} // namespace

DiscordQueueView::DiscordQueueView(QWidget* parent)
    : QWidget(parent)
    , m_group(new DisclosureGroup(groupTitle(0), this))
{
    setObjectName(QStringLiteral("discordQueue"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_group);
    setItems({}, {});
}

void DiscordQueueView::setItems(const QList<PendingDiscordNotification>& notifications,
                                const QList<NotificationHistoryEntry>& history)
{
    if (m_built && notifications == m_notifications && history == m_history)
        return;
    m_built = true;
    m_notifications = notifications;
    m_history = history;
    m_group->setTitle(groupTitle(notifications.size()));
    m_group->setContent(buildContent());
}

QWidget* DiscordQueueView::buildContent() const
{
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(itemSpacing);
    if (m_notifications.isEmpty()) {
        auto* empty = new CaptionLabel(QStringLiteral("送信待ちはありません"));
        empty->setObjectName(QStringLiteral("discordQueue.empty"));
        layout->addWidget(empty);
        return content;
    }
    for (const PendingDiscordNotification& item : m_notifications) {
        auto* row = new QWidget;
        row->setObjectName(QStringLiteral("discordQueue.item"));
        auto* lines = new QVBoxLayout(row);
        lines->setContentsMargins(0, 0, 0, 0);
        lines->setSpacing(lineSpacing);
        auto* title = new LineLimitedLabel(LineLimitedLabel::unlimited, itemTitle(item));
        title->setObjectName(QStringLiteral("discordQueue.title"));
        title->setFont(UiFont::system(11, QFont::DemiBold));
        auto* evidence = new NotificationDeliveryEvidenceView;
        evidence->setEvidence(deliveryRecord(item, m_history), item);
        lines->addWidget(title);
        lines->addWidget(evidence);
        layout->addWidget(row);
    }
    return content;
}

QString DiscordQueueView::groupTitle(qsizetype count)
{
    return QStringLiteral("Discordの送信待ち（%1件）").arg(count);
}

QString DiscordQueueView::itemTitle(const PendingDiscordNotification& item)
{
    if (item.event)
        return displayName(item.event->provider()) + u'・' + label(item.event->category());
    if (item.bankedResetExpiry)
        return QStringLiteral("Codex・リセット券の有効期限");
    return QStringLiteral("旧形式の通知・内容未確認");
}

NotificationDeliveryEvidence DiscordQueueView::deliveryRecord(const PendingDiscordNotification& item,
                                                              const QList<NotificationHistoryEntry>& history)
{
    for (const NotificationHistoryEntry& entry : history) {
        if (entry.id != item.generation)
            continue;
        if (entry.delivery)
            return *entry.delivery;
        break;
    }
    NotificationDeliveryEvidence fallback;
    fallback.local = NotificationDeliveryStatus::notRecorded;
    fallback.discord = item.attemptCount > 0 ? NotificationDeliveryStatus::notRecorded : NotificationDeliveryStatus::waiting;
    return fallback;
}

} // namespace vantorel
