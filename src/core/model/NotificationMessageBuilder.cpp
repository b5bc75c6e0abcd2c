#include "core/model/NotificationMessageBuilder.h"

#include "core/foundation/DateTexts.h"

#include <QDateTime>
#include <QLocale>
#include <QStringList>

#include <cmath>

namespace vantorel {

QString NotificationMessageBuilder::applicationDisplayName()
{
    return QStringLiteral("Vantorel");
}

QString NotificationMessageBuilder::criticalUsage(const QString& providerName, const QString& windowName,
                                                  const QString& remainingPercentText, const QString& nextResetText,
                                                  std::optional<std::int64_t> bankedResetCount,
                                                  UsageAlertThreshold threshold)
{
    const QString title = threshold == UsageAlertThreshold::exhausted
        ? QStringLiteral("%1通知: %2の残りが0%になりました")
        : QStringLiteral("%1通知: %2の残りが10%以下です");
    QStringList lines{
        title.arg(providerName, windowName),
        u"残り: " + remainingPercentText,
        u"次回リセット: " + nextResetText,
    };
    if (bankedResetCount) {
        lines.append(QStringLiteral("リセット券: 残り%1回").arg(*bankedResetCount));
    }
    return lines.join(u'\n');
}

QString NotificationMessageBuilder::bankedResetGrantTitle()
{
    return QStringLiteral("Codex通知: リセット券が付与されました");
}

QString NotificationMessageBuilder::bankedResetGrantBody(std::int64_t grantedCount, std::int64_t availableCount,
                                                         const std::optional<QString>& expirationText)
{
    QStringList lines{
        QStringLiteral("新規付与: %1回").arg(grantedCount),
        QStringLiteral("残り: %1回").arg(availableCount),
    };
    if (expirationText) {
        lines.append(u"有効期限: " + *expirationText);
    }
    return lines.join(u'\n');
}

QString NotificationMessageBuilder::bankedResetGrant(std::int64_t grantedCount, std::int64_t availableCount,
                                                     const std::optional<QString>& expirationText)
{
    return bankedResetGrantTitle() + u'\n' + bankedResetGrantBody(grantedCount, availableCount, expirationText);
}

QString NotificationMessageBuilder::bankedResetExpiryTitle()
{
    return QStringLiteral("Codex通知: リセット券の有効期限が近づいています");
}

QString NotificationMessageBuilder::bankedResetExpiryBody(Date expiresAt, const QTimeZone& timeZone)
{
    return u"対象: リセット券1回分\n有効期限: " + dateText(expiresAt, timeZone);
}

QString NotificationMessageBuilder::bankedResetExpiry(Date expiresAt, const QTimeZone& timeZone)
{
    return bankedResetExpiryTitle() + u'\n' + bankedResetExpiryBody(expiresAt, timeZone);
}

QString NotificationMessageBuilder::appendingAppVersion(const QString& text, const QString& versionText)
{
    return QStringLiteral("%1\n\n%2: %3").arg(text, applicationDisplayName(), versionText);
}

QString NotificationMessageBuilder::percentText(double remainingPercent)
{
    if (!std::isfinite(remainingPercent)) {
        return QStringLiteral("--");
    }
    // Formatted as a real so that a stray huge reading cannot overflow an integer conversion;
    // adding zero turns a rounded -0 into 0.
    return QString::number(std::round(remainingPercent) + 0.0, 'f', 0) + u'%';
}

QString NotificationMessageBuilder::lowBalanceTitle(const QString& providerName, UsageAlertThreshold threshold)
{
    if (threshold == UsageAlertThreshold::exhausted) {
        return providerName + u" 利用枠が0%になりました";
    }
    return providerName + u" 使用量が少なくなっています";
}

QString NotificationMessageBuilder::lowBalanceBody(const QString& windowName, const QString& percentText)
{
    return QStringLiteral("%1の残りが %2 です。").arg(windowName, percentText);
}

QString NotificationMessageBuilder::resetTitle(const QString& providerName, const QString& windowName)
{
    return QStringLiteral("%1通知: %2がリセットされました").arg(providerName, windowName);
}

QString NotificationMessageBuilder::resetBody(bool early, const std::optional<QString>& nextResetDateText)
{
    const QString nextReset = u"確認時点の次回リセット: "
        + nextResetDateText.value_or(QStringLiteral("未取得（次に利用すると再表示されます）"));
    if (!early) {
        return nextReset;
    }
    return u"予定より早くリセットされました。\n" + nextReset;
}

QString NotificationMessageBuilder::dateText(Date date, const QTimeZone& timeZone)
{
    if (!date.isFinite()) {
        return QString();
    }
    return QLocale::c().toString(date.toQDateTime().toTimeZone(timeZone), u"yyyy/MM/dd HH:mm");
}

QString NotificationMessageBuilder::shortDateTimeText(Date date, const QTimeZone& timeZone)
{
    if (!date.isFinite()) {
        return QString();
    }
    return DateTexts::dateText(date, timeZone);
}

} // namespace vantorel
