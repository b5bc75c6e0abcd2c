#include "core/model/NotificationChannel.h"

#include "core/model/EnumNames.h"

namespace vantorel {

namespace {
constexpr std::array<QStringView, 2> names{u"local", u"discord"};
}

QString rawValue(NotificationChannel value)
{
    return enumnames::name(names, value);
}

std::optional<NotificationChannel> notificationChannelFromRaw(const QString& raw)
{
    return enumnames::parse<NotificationChannel>(names, raw);
}

} // namespace vantorel
