#include "core/rules/ResetNotificationThrottle.h"

namespace vantorel {

double ResetNotificationThrottle::cooldown(const QString& windowName)
{
    return windowName == QStringView(u"週間枠") ? weeklyCooldown : defaultCooldown;
}

bool ResetNotificationThrottle::canSend(std::optional<Date> lastSentAt, Date now, double cooldown)
{
    if (!(cooldown > 0)) {
        return true;
    }
    if (!lastSentAt) {
        return true;
    }
    return now - *lastSentAt >= cooldown;
}

} // namespace vantorel
