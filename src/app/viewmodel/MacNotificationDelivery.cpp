#include "app/viewmodel/MacNotificationDelivery.h"

#include "core/model/NotificationMessageBuilder.h"
#include "core/rules/DiscordNotificationOutbox.h"
#include "core/rules/StatusChangeDetector.h"
#include "core/rules/UsageNotificationWindow.h"

#include <QStringList>

namespace vantorel {

namespace {

QString healthText(ComponentHealth health)
{
    switch (health) {
    case ComponentHealth::operational: return QStringLiteral("正常");
    case ComponentHealth::unknown: return QStringLiteral("不明");
    default: return StatusChangeDetector::label(health);
    }
}

// Bound of the level a low-balance alert reports: the reading must still be at or below it.
double levelBound(UsageAlertThreshold threshold)
{
    return threshold == UsageAlertThreshold::exhausted ? 0.0 : 10.0;
}

std::optional<QString> lowBalanceText(const DiscordNotificationEvent::LowBalance& event,
                                      const NotificationDeliveryContext& context, const QTimeZone& timeZone)
{
    if (event.threshold == UsageAlertThreshold::warning) {
        return std::nullopt;
    }
    const auto reading = context.usage.constFind(event.provider);
    if (reading == context.usage.constEnd()) {
        return std::nullopt;
    }
    const std::optional<double> percent = remainingPercent(event.window, *reading);
    if (!percent || !(*percent >= 0.0 && *percent <= levelBound(event.threshold))) {
        return std::nullopt;
    }
    const std::optional<Date> reset = resetAt(event.window, *reading);
    const QString resetText = reset ? NotificationMessageBuilder::dateText(*reset, timeZone) : QStringLiteral("未取得");
    std::optional<std::int64_t> bankedResetCount;
    if (event.provider == MonitoredProvider::codex && reading->bankedReset) {
        bankedResetCount = reading->bankedReset->availableCount;
    }
    return NotificationMessageBuilder::criticalUsage(displayName(event.provider), displayName(event.window),
                                                     NotificationMessageBuilder::percentText(*percent), resetText,
                                                     bankedResetCount, event.threshold);
}

QString incidentText(const DiscordNotificationEvent& event, const DiscordNotificationEvent::ServiceIncident& incident,
                     const NotificationDeliveryContext& context)
{
    const QList<ServiceStatus> services = DiscordNotificationOutbox::matchingIncidentServices(event, context);
    if (services.isEmpty()) {
        return QString();
    }
    QStringList lines{displayName(incident.provider) + QStringLiteral(" Status が悪化しました")};
    for (const ServiceStatus& service : services) {
        lines.append(service.componentName + QStringLiteral(": ") + healthText(service.status));
    }
    return lines.join(u'\n');
}

QString stamped(Date observedAt, const QString& content, const QTimeZone& timeZone)
{
    return QStringLiteral("確認日時: %1（確認時点の記録）\n%2")
        .arg(NotificationMessageBuilder::dateText(observedAt, timeZone), content);
}

} // namespace

QString MacNotificationDelivery::message(const PendingDiscordNotification& item, const NotificationDeliveryContext& context,
                                         const QTimeZone& timeZone)
{
    if (!item.event) {
        return item.content;
    }
    const DiscordNotificationEvent& event = *item.event;
    if (const auto* lowBalance = event.as<DiscordNotificationEvent::LowBalance>()) {
        return lowBalanceText(*lowBalance, context, timeZone).value_or(item.content);
    }
    if (const auto* incident = event.as<DiscordNotificationEvent::ServiceIncident>()) {
        return incidentText(event, *incident, context);
    }
    return stamped(event.observedAt(), item.content, timeZone);
}

} // namespace vantorel
