#include "app/setup/NotificationDeliveryEvidenceView.h"

#include "app/ui/TextColor.h"
#include "app/ui/UiFont.h"
#include "core/foundation/DateTexts.h"

namespace vantorel {

NotificationDeliveryEvidenceView::NotificationDeliveryEvidenceView(QWidget* parent)
    : LineLimitedLabel(unlimited, QString(), parent)
{
    setObjectName(QStringLiteral("deliveryEvidence"));
    setFont(UiFont::caption());
    setTextColor(this, colors::secondary);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    setEvidence(std::nullopt, std::nullopt);
}

void NotificationDeliveryEvidenceView::setEvidence(const std::optional<NotificationDeliveryEvidence>& evidence,
                                                   const std::optional<PendingDiscordNotification>& pending)
{
    if (m_shown && evidence == m_evidence && pending == m_pending)
        return;
    m_shown = true;
    m_evidence = evidence;
    m_pending = pending;
    const QStringList lines = evidenceLines(evidence, pending, QTimeZone::systemTimeZone());
    setText(lines.join(u'\n'));
    setAccessibleName(lines.join(u'\n'));
}

QStringList NotificationDeliveryEvidenceView::evidenceLines(const std::optional<NotificationDeliveryEvidence>& evidence,
                                                            const std::optional<PendingDiscordNotification>& pending,
                                                            const QTimeZone& timeZone)
{
    const NotificationDeliveryEvidence shown = evidence.value_or(NotificationDeliveryEvidence{});
    QStringList lines;
    lines.append(QStringLiteral("デスクトップ通知: %1").arg(label(shown.local, NotificationChannel::local)));
    lines.append(u"Discord: " + label(shown.discord, NotificationChannel::discord));
    if (evidence && evidence->discord == NotificationDeliveryStatus::invalidContent)
        lines.append(QStringLiteral("今後の通知のため、サービス名を短くしてください。"));
    if (evidence && evidence->discordCancellationReason)
        lines.append(u"取消理由: " + label(*evidence->discordCancellationReason));
    if (pending) {
        const auto& wait = pending->bankedResetExpiryWait;
        if (pending->observationWaitUntil || (wait && wait->kind == BankedResetExpiryWait::Kind::observation))
            lines.append(QStringLiteral("最新の取得結果を確認してから再送します。"));
        else if (wait && wait->kind == BankedResetExpiryWait::Kind::threshold)
            lines.append(QStringLiteral("設定した通知日の到来待ち"));
        lines.append(u"次の試行予定: " + DateTexts::abbreviatedDateTimeText(pending->scheduledAttemptAt(), timeZone));
        lines.append(u"失敗・保留回数: " + QString::number(pending->attemptCount));
    }
    if (evidence && evidence->discordResultWasUnknown)
        lines.append(QStringLiteral("前回の結果は確認できません。同じ通知が届く可能性があります。"));
    return lines;
}

} // namespace vantorel
