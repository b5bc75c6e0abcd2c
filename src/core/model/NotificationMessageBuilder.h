#pragma once

#include "core/foundation/Date.h"
#include "core/model/UsageAlertThreshold.h"

#include <QString>
#include <QTimeZone>

#include <cstdint>
#include <optional>

namespace vantorel {

// The fixed Japanese notification texts shared by the local and the Discord channel.
struct NotificationMessageBuilder
{
    // The application's display name, as it ends Discord messages.
    static QString applicationDisplayName();

    // "<provider>通知: <window>の残りが10%以下です" (or "0%になりました" when exhausted), then
    // "残り: ", "次回リセット: " and, with a count, "リセット券: 残り<n>回", one per line.
    static QString criticalUsage(const QString& providerName, const QString& windowName,
                                 const QString& remainingPercentText, const QString& nextResetText,
                                 std::optional<std::int64_t> bankedResetCount, UsageAlertThreshold threshold);

    static QString bankedResetGrantTitle();
    // "新規付与: <n>回", "残り: <n>回" and, with an expiration text, "有効期限: <text>".
    static QString bankedResetGrantBody(std::int64_t grantedCount, std::int64_t availableCount,
                                        const std::optional<QString>& expirationText);
    // The grant title followed by the grant body.
    static QString bankedResetGrant(std::int64_t grantedCount, std::int64_t availableCount,
                                    const std::optional<QString>& expirationText);

    static QString bankedResetExpiryTitle();
    // "対象: リセット券1回分" and "有効期限: yyyy/MM/dd HH:mm" in the given zone.
    static QString bankedResetExpiryBody(Date expiresAt, const QTimeZone& timeZone);
    // The expiry title, a line feed, then the body.
    static QString bankedResetExpiry(Date expiresAt, const QTimeZone& timeZone);

    // The text, two line feeds, the display name, ": " and the version text.
    static QString appendingAppVersion(const QString& text, const QString& versionText);

    // The remaining percent rounded half away from zero, with "%" ("38%" for 37.5); "--" when
    // not finite.
    static QString percentText(double remainingPercent);
    // "<provider> 利用枠が0%になりました" when exhausted, else "<provider> 使用量が少なくなっています".
    static QString lowBalanceTitle(const QString& providerName, UsageAlertThreshold threshold);
    // "<window>の残りが <percent> です。"
    static QString lowBalanceBody(const QString& windowName, const QString& percentText);
    // "<provider>通知: <window>がリセットされました"
    static QString resetTitle(const QString& providerName, const QString& windowName);
    // "確認時点の次回リセット: " with the date text or the placeholder for a missing date, after
    // the line "予定より早くリセットされました。" when the reset came early.
    static QString resetBody(bool early, const std::optional<QString>& nextResetDateText);

    // "yyyy/MM/dd HH:mm" (24-hour, zero-padded) in the given zone; empty for a non-finite date.
    static QString dateText(Date date, const QTimeZone& timeZone);
    // Japanese short date and time ("2026/03/07 9:05") in the given zone; empty when not finite.
    static QString shortDateTimeText(Date date, const QTimeZone& timeZone);
};

} // namespace vantorel
