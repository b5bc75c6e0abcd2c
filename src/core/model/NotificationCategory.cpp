#include "core/model/NotificationCategory.h"

#include "core/model/EnumNames.h"

namespace vantorel {

namespace {
constexpr std::array<QStringView, 5> notificationCategoryNames{u"lowBalance", u"actualReset", u"couponGrant", u"couponExpiry", u"serviceIncidents"};
}

QString rawValue(NotificationCategory value)
{
    return enumnames::name(notificationCategoryNames, value);
}

std::optional<NotificationCategory> notificationCategoryFromRaw(const QString& raw)
{
    return enumnames::parse<NotificationCategory>(notificationCategoryNames, raw);
}

QList<NotificationCategory> availableNotificationCategories(MonitoredProvider provider)
{
    if (provider == MonitoredProvider::claude) {
        return {NotificationCategory::lowBalance, NotificationCategory::actualReset, NotificationCategory::serviceIncidents};
    }
    return {allNotificationCategories.begin(), allNotificationCategories.end()};
}

QString label(NotificationCategory category)
{
    switch (category) {
    case NotificationCategory::lowBalance: return QStringLiteral("残量低下");
    case NotificationCategory::actualReset: return QStringLiteral("リセット完了");
    case NotificationCategory::couponGrant: return QStringLiteral("リセット券の付与");
    case NotificationCategory::couponExpiry: return QStringLiteral("リセット券の有効期限");
    case NotificationCategory::serviceIncidents: return QStringLiteral("サービス障害");
    }
    return QString();
}

} // namespace vantorel
