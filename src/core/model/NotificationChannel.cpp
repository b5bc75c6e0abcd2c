#include "core/model/NotificationChannel.h"

#include "core/model/EnumNames.h"

namespace vantorel {

namespace {
constexpr std::array<QStringView, 2> notificationChannelNames{u"local", u"discord"};
}

QString rawValue(NotificationChannel value)
{
    return enumnames::name(notificationChannelNames, value);
}

std::optional<NotificationChannel> notificationChannelFromRaw(const QString& raw)
{
    return enumnames::parse<NotificationChannel>(notificationChannelNames, raw);
}

} // namespace vantorel
