#include "ModelTestSupport.h"

#include "core/model/CodexPeriodValidation.h"
#include "core/model/DiscordTestPreview.h"
#include "core/model/NotificationCancellationReason.h"
#include "core/model/NotificationDeliveryStatus.h"
#include "core/model/NotificationMessageBuilder.h"
#include "core/model/ProviderPlanFormatter.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

TEST(NotificationMessageBuilder, CriticalUsageTexts)
{
    EXPECT_EQ(NotificationMessageBuilder::criticalUsage("Codex", "5時間枠", "8%", "2026/03/07 09:05", 2,
                                                        UsageAlertThreshold::critical),
              "Codex通知: 5時間枠の残りが10%以下です\n残り: 8%\n次回リセット: 2026/03/07 09:05\nリセット券: 残り2回");
    EXPECT_EQ(NotificationMessageBuilder::criticalUsage("Claude", "週間枠", "0%", "未取得", std::nullopt,
                                                        UsageAlertThreshold::exhausted),
              "Claude通知: 週間枠の残りが0%になりました\n残り: 0%\n次回リセット: 未取得");
    EXPECT_EQ(NotificationMessageBuilder::criticalUsage("Codex", "週間枠", "3%", "x", 0, UsageAlertThreshold::critical),
              "Codex通知: 週間枠の残りが10%以下です\n残り: 3%\n次回リセット: x\nリセット券: 残り0回");
}

TEST(NotificationMessageBuilder, BankedResetTexts)
{
    EXPECT_EQ(NotificationMessageBuilder::bankedResetGrant(1, 3, QString("2026/03/08 10:00")),
              "Codex通知: リセット券が付与されました\n新規付与: 1回\n残り: 3回\n有効期限: 2026/03/08 10:00");
    EXPECT_EQ(NotificationMessageBuilder::bankedResetGrant(2, 2, std::nullopt),
              "Codex通知: リセット券が付与されました\n新規付与: 2回\n残り: 2回");

    // 2026-03-06T23:59:30Z is the next morning in Tokyo.
    const Date expiry = Date::fromUnixSeconds(1'772'841'570);
    const QTimeZone tokyo("Asia/Tokyo");
    EXPECT_EQ(NotificationMessageBuilder::bankedResetExpiryBody(expiry, QTimeZone::utc()),
              "対象: リセット券1回分\n有効期限: 2026/03/06 23:59");
    EXPECT_EQ(NotificationMessageBuilder::bankedResetExpiry(expiry, tokyo),
              "Codex通知: リセット券の有効期限が近づいています\n対象: リセット券1回分\n有効期限: 2026/03/07 08:59");
}

TEST(NotificationMessageBuilder, LowBalanceAndResetTexts)
{
    const std::pair<double, const char*> percents[] = {{37.5, "38%"}, {37.49, "37%"}, {9.5, "10%"}, {-0.4, "0%"},
                                                     {-2.5, "-3%"}, {1e20, "100000000000000000000%"}};
    for (const auto& [value, text] : percents)
        EXPECT_EQ(NotificationMessageBuilder::percentText(value), text) << value;
    EXPECT_EQ(NotificationMessageBuilder::lowBalanceTitle("Codex", UsageAlertThreshold::exhausted), "Codex 利用枠が0%になりました");
    EXPECT_EQ(NotificationMessageBuilder::lowBalanceTitle("Claude", UsageAlertThreshold::warning), "Claude 使用量が少なくなっています");
    EXPECT_EQ(NotificationMessageBuilder::lowBalanceBody("5時間枠", "0%"), "5時間枠の残りが 0% です。");
    EXPECT_EQ(NotificationMessageBuilder::resetTitle("Claude", "週間枠"), "Claude通知: 週間枠がリセットされました");
    EXPECT_EQ(NotificationMessageBuilder::resetBody(true, QString("2026/03/07 9:05")),
              "予定より早くリセットされました。\n確認時点の次回リセット: 2026/03/07 9:05");
    EXPECT_EQ(NotificationMessageBuilder::resetBody(false, std::nullopt), "確認時点の次回リセット: 未取得（次に利用すると再表示されます）");
    // 2026-03-07T00:05:00Z
    EXPECT_EQ(NotificationMessageBuilder::shortDateTimeText(Date::fromUnixSeconds(1'772'841'900), QTimeZone::utc()),
              "2026/03/07 0:05");
}

TEST(NotificationMessageBuilder, VersionLineAndDiscordTestPreview)
{
    EXPECT_EQ(NotificationMessageBuilder::appendingAppVersion("本文", "Version 1.2 / Build 34"),
              "本文\n\nVantorel: Version 1.2 / Build 34");
    EXPECT_EQ(DiscordTestPreview::content("Version 0.1.0 / Build 7"),
              "Discord通知テスト（合成データ）\nCodex 週間枠: 残り70%\n実際の使用量・リセット検知ではありません。\n"
              "全員・ユーザー・ロールへのメンションは無効です。\n\nVantorel: Version 0.1.0 / Build 7");
    EXPECT_EQ(CodexPeriodValidation::unconfirmedMessage(),
              "利用枠の形式を確認できません。次の正常な取得まで残量と予定を表示しません。");
}

TEST(NotificationDeliveryStatus, LabelsDifferPerChannelOnlyForAccepted)
{
    const std::pair<NotificationDeliveryStatus, const char*> expected[] = {
        {NotificationDeliveryStatus::notRecorded, "受付記録なし"},
        {NotificationDeliveryStatus::disabled, "設定による対象外"},
        {NotificationDeliveryStatus::notApplicable, "対象外"},
        {NotificationDeliveryStatus::waiting, "送信待ち"},
        {NotificationDeliveryStatus::submitting, "受付確認中"},
        {NotificationDeliveryStatus::outcomeUnknown, "結果不明・重複の可能性あり"},
        {NotificationDeliveryStatus::retryScheduled, "再試行待ち"},
        {NotificationDeliveryStatus::rateLimited, "Discordの制限による待機"},
        {NotificationDeliveryStatus::credentialUnavailable, "Webhook・キーリングの確認待ち"},
        {NotificationDeliveryStatus::notAuthorized, "通知権限なし"},
        {NotificationDeliveryStatus::invalidContent, "本文が上限超過・送信停止"},
        {NotificationDeliveryStatus::failed, "受付を確認できません"},
        {NotificationDeliveryStatus::cancelled, "再送を取消"},
    };
    for (const auto& [status, text] : expected)
        for (const auto channel : {NotificationChannel::local, NotificationChannel::discord})
            EXPECT_EQ(label(status, channel), QString::fromUtf8(text));
    EXPECT_EQ(label(NotificationDeliveryStatus::accepted, NotificationChannel::local), "OS登録を確認");
    EXPECT_EQ(label(NotificationDeliveryStatus::accepted, NotificationChannel::discord), "Discord保存を確認");
}

TEST(NotificationCancellationReason, EveryReasonHasItsOwnText)
{
    EXPECT_EQ(label(NotificationCancellationReason::capacityLimit), "送信待ちの保存上限を超えました");
    EXPECT_EQ(label(NotificationCancellationReason::retentionExpired), "保存期間または券の有効期限を過ぎました");
    EXPECT_EQ(label(NotificationCancellationReason::unsupportedEvent), "対応する通知情報を確認できません");
}

TEST(ProviderPlanFormatter, BadgeTexts)
{
    struct Case
    {
        const char* provider;
        std::optional<QString> plan;
        bool authenticated;
        const char* badge;
    };
    const Case cases[] = {
        {"Codex", std::nullopt, false, "Codex"},
        {"Codex", "  ", false, "Codex"},
        {"Codex", "CODEX", false, "Codex"},
        {"Codex", std::nullopt, true, "Codex ログイン中"},
        {"Codex", "codex", true, "Codex ログイン中"},
        {"Codex", "PRO", true, "Codex Pro"},
        {"Codex", "unknown", false, "Codex"},
        {"Claude", "max", true, "Claude Max"},
        {"Claude", "default_claude_max_20x", true, "Claude Max 20x"},
        {"Claude", "claude_pro", false, "Claude Pro"},
        {"Claude", " Research Preview ", false, "Claude Research Preview"},
        {"Claude", "an-extraordinarily-long-plan-name", false, "Claude an-extraordinarily-long-"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ProviderPlanFormatter::badgeText(c.provider, c.plan, c.authenticated), QString::fromUtf8(c.badge))
            << c.plan.value_or("<none>").toStdString();
}

} // namespace
} // namespace vantorel
