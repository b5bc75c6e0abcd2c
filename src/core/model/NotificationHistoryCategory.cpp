#include "core/model/NotificationHistoryCategory.h"

#include "core/model/EnumNames.h"

namespace vantorel {

namespace {
constexpr std::array<QStringView, 4> notificationHistoryCategoryNames{u"status", u"usage", u"reset", u"authentication"};
}

QString rawValue(NotificationHistoryCategory value)
{
    return enumnames::name(notificationHistoryCategoryNames, value);
}

std::optional<NotificationHistoryCategory> notificationHistoryCategoryFromRaw(const QString& raw)
{
    return enumnames::parse<NotificationHistoryCategory>(notificationHistoryCategoryNames, raw);
}

} // namespace vantorel
