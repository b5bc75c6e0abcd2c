#include "core/model/NotificationCategory.h"

#include "core/model/EnumNames.h"

namespace vantorel {

namespace {
constexpr std::array<QStringView, 5> names{u"lowBalance", u"actualReset", u"couponGrant", u"couponExpiry", u"serviceIncidents"};
}

QString rawValue(NotificationCategory value)
{
    return enumnames::name(names, value);
}

std::optional<NotificationCategory> notificationCategoryFromRaw(const QString& raw)
{
    return enumnames::parse<NotificationCategory>(names, raw);
}

QList<NotificationCategory> availableNotificationCategories(MonitoredProvider provider)
{
    if (provider == MonitoredProvider::claude) {
        return {NotificationCategory::lowBalance, NotificationCategory::actualReset, NotificationCategory::serviceIncidents};
    }
    return {allNotificationCategories.begin(), allNotificationCategories.end()};
}

} // namespace vantorel
