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

DiscordNotificationEvent lowBalance(UsageAlertThreshold threshold)
{
    return DiscordNotificationEvent::LowBalance{MonitoredProvider::codex, UsageNotificationWindow::fiveHour, threshold,
                                                std::nullopt, t0};
}

NotificationDeliveryContext codexAt(double percent)
{
    UsageSnapshot reading;
    reading.fiveHourRemainingPercent = percent;
    reading.updatedAt = t0;
    return {{{MonitoredProvider::codex, reading}}, {}, {}};
}

QString critical(const QString& percent, const QString& level = QStringLiteral("10%以下です"))
{
    return QStringLiteral("Codex通知: 5時間枠の残りが") + level + QStringLiteral("\n残り: ") + percent
        + QStringLiteral("\n次回リセット: 未取得");
}

TEST(MacNotificationDelivery, TextByEventAndReading)
{
    CodexStatusSummary summary = CodexStatusSummary::initial(t0);
    summary.services = {{QStringLiteral("API"), ComponentHealth::partialOutage, t0},
                        {QStringLiteral("Web"), ComponentHealth::underMaintenance, t0},
                        {QStringLiteral("CLI"), ComponentHealth::operational, t0}};
    const DiscordNotificationEvent incident = DiscordNotificationEvent::ServiceIncident{
        MonitoredProvider::codex,
        {{QStringLiteral("Web"), ComponentHealth::underMaintenance, t0},
         {QStringLiteral("API"), ComponentHealth::partialOutage, t0},
         {QStringLiteral("CLI"), ComponentHealth::majorOutage, t0}},
        t0};
    const NotificationDeliveryContext statuses{{}, {{MonitoredProvider::codex, summary}}, {}};
    CodexStatusSummary recovered = summary;
    for (ServiceStatus& service : recovered.services) {
        service.status = ComponentHealth::operational;
    }
    const Date lateNight = Date::fromUnixSeconds(1'772'323'200 + 86'370); // 23:59:30Z

    struct Case
    {
        const char* name;
        PendingDiscordNotification item;
        NotificationDeliveryContext context;
        QString expected;
    };
    const Case cases[] = {
        {"warning keeps the stored text", itemWith(lowBalance(UsageAlertThreshold::warning)), codexAt(5), stored},
        {"exhausted at 0 % is written again", itemWith(lowBalance(UsageAlertThreshold::exhausted)), codexAt(0),
         critical(QStringLiteral("0%"), QStringLiteral("0%になりました"))},
        {"exhausted at 0.4 % keeps", itemWith(lowBalance(UsageAlertThreshold::exhausted)), codexAt(0.4), stored},
        {"critical at 9.5 % rounds to 10%", itemWith(lowBalance(UsageAlertThreshold::critical)), codexAt(9.5),
         critical(QStringLiteral("10%"))},
        {"critical at 10.2 % keeps", itemWith(lowBalance(UsageAlertThreshold::critical)), codexAt(10.2), stored},
        {"critical without a reading keeps", itemWith(lowBalance(UsageAlertThreshold::critical)), {}, stored},
        {"incident lists the services still affected", itemWith(incident), statuses,
         QStringLiteral("Codex Status が悪化しました\nAPI: 一部障害\nWeb: メンテナンス")},
        {"incident whose services recovered is empty", itemWith(incident),
         {{}, {{MonitoredProvider::codex, recovered}}, {}}, QString()},
        {"a reset is stamped in the given zone",
         itemWith(DiscordNotificationEvent::ActualReset{MonitoredProvider::codex, lateNight}), {},
         QStringLiteral("確認日時: 2026/03/02 08:59（確認時点の記録）\nstored text")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MacNotificationDelivery::message(c.item, c.context, QTimeZone(9 * 3600)), c.expected);
    }
}

} // namespace
} // namespace vantorel
