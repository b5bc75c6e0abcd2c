#include "core/model/NotificationCancellationReason.h"

#include "core/model/EnumNames.h"

namespace vantorel {

namespace {
constexpr std::array<QStringView, 9> notificationCancellationReasonNames{u"settingsChanged", u"retentionExpired", u"capacityLimit", u"couponChanged", u"resetConfirmed", u"balanceRecovered", u"cycleChanged", u"incidentChanged", u"unsupportedEvent"};
}

QString rawValue(NotificationCancellationReason value)
{
    return enumnames::name(notificationCancellationReasonNames, value);
}

std::optional<NotificationCancellationReason> notificationCancellationReasonFromRaw(const QString& raw)
{
    return enumnames::parse<NotificationCancellationReason>(notificationCancellationReasonNames, raw);
}

QString label(NotificationCancellationReason reason)
{
    switch (reason) {
    case NotificationCancellationReason::settingsChanged: return QStringLiteral("通知・サービス設定が対象外になりました");
    case NotificationCancellationReason::retentionExpired: return QStringLiteral("保存期間または券の有効期限を過ぎました");
    case NotificationCancellationReason::capacityLimit: return QStringLiteral("送信待ちの保存上限を超えました");
    case NotificationCancellationReason::couponChanged: return QStringLiteral("現在の券情報では通知対象を確認できません");
    case NotificationCancellationReason::resetConfirmed: return QStringLiteral("後の観測でリセットを確認しました");
    case NotificationCancellationReason::balanceRecovered: return QStringLiteral("残量が通知の条件から回復しました");
    case NotificationCancellationReason::cycleChanged: return QStringLiteral("リセット周期が変わりました");
    case NotificationCancellationReason::incidentChanged: return QStringLiteral("サービスの障害状況が変わりました");
    case NotificationCancellationReason::unsupportedEvent: return QStringLiteral("対応する通知情報を確認できません");
    }
    return QString();
}

} // namespace vantorel
