#include "app/viewmodel/MacNotificationDelivery.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

const Date t0 = Date::fromUnixSeconds(1'772'323'200); // 2026-03-01 00:00:00Z
const QString stored = QStringLiteral("stored text");

PendingDiscordNotification itemWith(DiscordNotificationEvent event)
{
    return PendingDiscordNotification(QStringLiteral("id"), stored, t0, 0, std::nullopt, std::nullopt, event, QUuid());
}

PendingDiscordNotification lowBalance(UsageAlertThreshold threshold)
{
    return itemWith(DiscordNotificationEvent::LowBalance{MonitoredProvider::codex, UsageNotificationWindow::fiveHour,
                                                         threshold, std::nullopt, t0});
}

NotificationDeliveryContext codexAt(double percent)
{
    UsageSnapshot reading;
    reading.fiveHourRemainingPercent = percent;
    return {{{MonitoredProvider::codex, reading}}, {}, {}};
}

NotificationDeliveryContext statuses(ComponentHealth api, ComponentHealth web)
{
    CodexStatusSummary summary = CodexStatusSummary::initial(t0);
    summary.services = {{QStringLiteral("API"), api, t0}, {QStringLiteral("Web"), web, t0}};
    return {{}, {{MonitoredProvider::codex, summary}}, {}};
}

TEST(MacNotificationDelivery, TextByEventAndReading)
{
    const QString low = QStringLiteral("Codex通知: 5時間枠の残りが%1\n残り: %2\n次回リセット: 未取得");
    const auto incident = itemWith(DiscordNotificationEvent::ServiceIncident{
        MonitoredProvider::codex,
        {{QStringLiteral("Web"), ComponentHealth::underMaintenance, t0}, {QStringLiteral("API"), ComponentHealth::partialOutage, t0}},
        t0});
    const auto lateNight = itemWith(DiscordNotificationEvent::ActualReset{MonitoredProvider::codex, t0 + 86'370});
    struct Case
    {
        const char* name;
        PendingDiscordNotification item;
        NotificationDeliveryContext context;
        QString expected;
    };
    const Case cases[] = {
        {"warning keeps the stored text", lowBalance(UsageAlertThreshold::warning), codexAt(5), stored},
        {"exhausted at 0 %", lowBalance(UsageAlertThreshold::exhausted), codexAt(0), low.arg("0%になりました", "0%")},
        {"exhausted at 0.4 % keeps", lowBalance(UsageAlertThreshold::exhausted), codexAt(0.4), stored},
        {"critical at 9.5 % rounds", lowBalance(UsageAlertThreshold::critical), codexAt(9.5), low.arg("10%以下です", "10%")},
        {"critical at 10.2 % keeps", lowBalance(UsageAlertThreshold::critical), codexAt(10.2), stored},
        {"incident lines by name", incident, statuses(ComponentHealth::partialOutage, ComponentHealth::underMaintenance),
         QStringLiteral("Codex Status が悪化しました\nAPI: 一部障害\nWeb: メンテナンス")},
        {"incident recovered: empty", incident, statuses(ComponentHealth::operational, ComponentHealth::operational), QString()},
        {"reset at 23:59:30Z stamped in UTC+9", lateNight, {},
         QStringLiteral("確認日時: 2026/03/02 08:59（確認時点の記録）\nstored text")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MacNotificationDelivery::message(c.item, c.context, QTimeZone(9 * 3600)), c.expected);
    }
}

} // namespace
} // namespace vantorel
