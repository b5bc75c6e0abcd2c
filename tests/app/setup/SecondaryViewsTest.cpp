#include "app/setup/DiscordQueueView.h"
#include "app/setup/NotificationDeliveryEvidenceView.h"
#include "app/setup/UsageConsumptionSummaryView.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using Status = NotificationDeliveryStatus;

NotificationDeliveryEvidence record(Status local, Status discord, bool unknown = false,
                                    std::optional<NotificationCancellationReason> reason = std::nullopt)
{
    return {local, discord, unknown, reason};
}

PendingDiscordNotification queued(std::int64_t attempts)
{
    return PendingDiscordNotification(QStringLiteral("item"), QStringLiteral("本文"), Date(0), attempts, Date(3600),
                                      std::nullopt, std::nullopt, QUuid::createUuid());
}

TEST(SecondaryViewsTest, EvidenceLines)
{
    PendingDiscordNotification bothWaits = queued(2);
    bothWaits.observationWaitUntil = Date(60);
    bothWaits.bankedResetExpiryWait = BankedResetExpiryWait::threshold(Date(7200), Date(0));
    PendingDiscordNotification threshold = queued(0);
    threshold.bankedResetExpiryWait = BankedResetExpiryWait::threshold(Date(7200), Date(0));
    const struct {
        std::optional<NotificationDeliveryEvidence> evidence;
        std::optional<PendingDiscordNotification> pending;
        QStringList expected;
    } cases[] = {
        {std::nullopt, std::nullopt, {"デスクトップ通知: 受付記録なし", "Discord: 受付記録なし"}},
        {record(Status::accepted, Status::accepted), std::nullopt, {"デスクトップ通知: OS登録を確認", "Discord: Discord保存を確認"}},
        {record(Status::disabled, Status::invalidContent), std::nullopt,
         {"デスクトップ通知: 設定による対象外", "Discord: 本文が上限超過・送信停止", "今後の通知のため、サービス名を短くしてください。"}},
        {record(Status::accepted, Status::cancelled, false, NotificationCancellationReason::capacityLimit), std::nullopt,
         {"デスクトップ通知: OS登録を確認", "Discord: 再送を取消", "取消理由: 送信待ちの保存上限を超えました"}},
        {std::nullopt, bothWaits,
         {"デスクトップ通知: 受付記録なし", "Discord: 受付記録なし", "最新の取得結果を確認してから再送します。",
          "次の試行予定: 2001年1月1日 1:00", "失敗・保留回数: 2"}},
        {record(Status::accepted, Status::outcomeUnknown, true), threshold,
         {"デスクトップ通知: OS登録を確認", "Discord: 結果不明・重複の可能性あり", "設定した通知日の到来待ち",
          "次の試行予定: 2001年1月1日 1:00", "失敗・保留回数: 0",
          "前回の結果は確認できません。同じ通知が届く可能性があります。"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NotificationDeliveryEvidenceView::evidenceLines(c.evidence, c.pending, QTimeZone::utc()), c.expected);
}

TEST(SecondaryViewsTest, QueueTitlesAndFallbackRecord)
{
    PendingDiscordNotification incident = queued(0);
    incident.event = DiscordNotificationEvent(DiscordNotificationEvent::ServiceIncident{MonitoredProvider::claude, {}, Date(0)});
    PendingDiscordNotification grant = queued(0);
    grant.event = DiscordNotificationEvent(DiscordNotificationEvent::CouponGrant{Date(0)});
    PendingDiscordNotification expiry = queued(0);
    expiry.bankedResetExpiry = BankedResetExpiryIdentity{QStringLiteral("credit"), Date(0)};
    EXPECT_EQ(DiscordQueueView::itemTitle(incident), "Claude・サービス障害");
    EXPECT_EQ(DiscordQueueView::itemTitle(grant), "Codex・リセット券の付与");
    EXPECT_EQ(DiscordQueueView::itemTitle(expiry), "Codex・リセット券の有効期限");
    EXPECT_EQ(DiscordQueueView::itemTitle(queued(0)), "旧形式の通知・内容未確認");
    EXPECT_EQ(DiscordQueueView::groupTitle(3), "Discordの送信待ち（3件）");

    const PendingDiscordNotification attempted = queued(1);
    NotificationHistoryEntry withoutRecord;
    withoutRecord.id = attempted.generation;
    NotificationHistoryEntry withRecord = withoutRecord;
    withRecord.delivery = record(Status::accepted, Status::retryScheduled);
    EXPECT_EQ(DiscordQueueView::deliveryRecord(queued(0), {}).discord, Status::waiting);
    EXPECT_EQ(DiscordQueueView::deliveryRecord(attempted, {}).discord, Status::notRecorded);
    EXPECT_EQ(DiscordQueueView::deliveryRecord(attempted, {withoutRecord}), record(Status::notRecorded, Status::notRecorded));
    EXPECT_EQ(DiscordQueueView::deliveryRecord(attempted, {withoutRecord, withRecord}),
              record(Status::notRecorded, Status::notRecorded));
    EXPECT_EQ(DiscordQueueView::deliveryRecord(attempted, {withRecord}), *withRecord.delivery);
}

TEST(SecondaryViewsTest, ConsumptionRows)
{
    UsageConsumptionSummary summary;
    summary.observedDuration = 5400;
    summary.startingRemainingPercent = 80;
    summary.endingRemainingPercent = 80;
    const auto row = &UsageConsumptionSummaryView::rowText;
    EXPECT_EQ(row(UsageConsumptionResult::noConsumption(summary), QStringLiteral("一時停止中")),
              (UsageConsumptionRowText{"一時停止中", std::nullopt, "一時停止中"}));
    EXPECT_EQ(row(UsageConsumptionResult::insufficientData(), std::nullopt),
              (UsageConsumptionRowText{"連続した記録が不足", std::nullopt, "連続した記録が不足"}));
    EXPECT_EQ(row(UsageConsumptionResult::noConsumption(summary), std::nullopt),
              (UsageConsumptionRowText{"観測1時間30分・消費なし", "残り80% → 80%", "観測1時間30分・消費なし、残り80% → 80%"}));
}

} // namespace
} // namespace vantorel
