#include "core/model/NotificationDeliveryStatus.h"

#include "core/model/EnumNames.h"

namespace vantorel {

namespace {
constexpr std::array<QStringView, 14> notificationDeliveryStatusNames{u"notRecorded", u"disabled", u"notApplicable", u"waiting", u"submitting", u"accepted", u"outcomeUnknown", u"retryScheduled", u"rateLimited", u"credentialUnavailable", u"notAuthorized", u"invalidContent", u"failed", u"cancelled"};
}

QString rawValue(NotificationDeliveryStatus value)
{
    return enumnames::name(notificationDeliveryStatusNames, value);
}

std::optional<NotificationDeliveryStatus> notificationDeliveryStatusFromRaw(const QString& raw)
{
    return enumnames::parse<NotificationDeliveryStatus>(notificationDeliveryStatusNames, raw);
}

QString label(NotificationDeliveryStatus status, NotificationChannel channel)
{
    switch (status) {
    case NotificationDeliveryStatus::notRecorded: return QStringLiteral("受付記録なし");
    case NotificationDeliveryStatus::disabled: return QStringLiteral("設定による対象外");
    case NotificationDeliveryStatus::notApplicable: return QStringLiteral("対象外");
    case NotificationDeliveryStatus::waiting: return QStringLiteral("送信待ち");
    case NotificationDeliveryStatus::submitting: return QStringLiteral("受付確認中");
    case NotificationDeliveryStatus::accepted:
        return channel == NotificationChannel::local ? QStringLiteral("OS登録を確認") : QStringLiteral("Discord保存を確認");
    case NotificationDeliveryStatus::outcomeUnknown: return QStringLiteral("結果不明・重複の可能性あり");
    case NotificationDeliveryStatus::retryScheduled: return QStringLiteral("再試行待ち");
    case NotificationDeliveryStatus::rateLimited: return QStringLiteral("Discordの制限による待機");
    case NotificationDeliveryStatus::credentialUnavailable: return QStringLiteral("Webhook・キーリングの確認待ち");
    case NotificationDeliveryStatus::notAuthorized: return QStringLiteral("通知権限なし");
    case NotificationDeliveryStatus::invalidContent: return QStringLiteral("本文が上限超過・送信停止");
    case NotificationDeliveryStatus::failed: return QStringLiteral("受付を確認できません");
    case NotificationDeliveryStatus::cancelled: return QStringLiteral("再送を取消");
    }
    return QString();
}

} // namespace vantorel
