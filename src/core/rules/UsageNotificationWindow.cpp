#include "core/rules/UsageNotificationWindow.h"

#include "core/model/EnumNames.h"
#include "core/model/UsageSnapshot.h"
#include "core/rules/RemainingPercent.h"

namespace vantorel {

namespace {
constexpr std::array<QStringView, 2> usageNotificationWindowNames{u"fiveHour", u"weekly"};
}

QString rawValue(UsageNotificationWindow value)
{
    return enumnames::name(usageNotificationWindowNames, value);
}

std::optional<UsageNotificationWindow> usageNotificationWindowFromRaw(const QString& raw)
{
    return enumnames::parse<UsageNotificationWindow>(usageNotificationWindowNames, raw);
}

QString displayName(UsageNotificationWindow window)
{
    return window == UsageNotificationWindow::fiveHour ? QStringLiteral("5時間枠") : QStringLiteral("週間枠");
}

QString key(UsageNotificationWindow window, MonitoredProvider provider)
{
    return displayName(provider) + (window == UsageNotificationWindow::fiveHour ? QStringLiteral("-five") : QStringLiteral("-weekly"));
}

std::optional<double> remainingPercent(UsageNotificationWindow window, const UsageSnapshot& snapshot)
{
    return remainingPercentReading(window == UsageNotificationWindow::fiveHour ? snapshot.fiveHourRemainingPercent
                                                                                 : snapshot.weeklyRemainingPercent);
}

std::optional<Date> resetAt(UsageNotificationWindow window, const UsageSnapshot& snapshot)
{
    const auto own = window == UsageNotificationWindow::fiveHour ? snapshot.fiveHourResetAt : snapshot.weeklyResetAt;
    if (own) {
        return own;
    }
    if (snapshot.source == UsageSource::codexCLI || snapshot.source == UsageSource::claudeOAuth) {
        return std::nullopt;
    }
    return snapshot.resetAt;
}

} // namespace vantorel
