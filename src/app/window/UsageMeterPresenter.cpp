#include "app/window/UsageMeterPresenter.h"

#include "core/foundation/DateTexts.h"
#include "core/model/NotificationMessageBuilder.h"
#include "core/model/UsageGaugeStyle.h"
#include "sync/presentation/ResetSchedulePresentation.h"
#include "sync/presentation/UsageWindowPresentation.h"

#include <algorithm>
#include <cmath>

namespace vantorel {

namespace {

std::optional<double> finite(std::optional<double> percent)
{
    return percent && std::isfinite(*percent) ? percent : std::nullopt;
}

DashboardTint bandTint(std::optional<double> percent, DashboardTint plenty)
{
    switch (UsageGaugeStyle::colorBand(finite(percent))) {
    case UsageGaugeColorBand::unavailable:
        return DashboardTint::secondary;
    case UsageGaugeColorBand::critical:
        return DashboardTint::red;
    case UsageGaugeColorBand::warning:
        return DashboardTint::orange;
    case UsageGaugeColorBand::healthy:
        return plenty;
    }
    return DashboardTint::secondary;
}

} // namespace

QString UsageMeterPresenter::compactLeftText(std::optional<double> percent, bool temporarilyUnavailable,
                                             bool formatUnconfirmed)
{
    if (formatUnconfirmed)
        return QStringLiteral("未確認");
    if (temporarilyUnavailable)
        return QStringLiteral("一時停止中");
    if (!finite(percent))
        return QStringLiteral("未取得");
    return u"残り" + NotificationMessageBuilder::percentText(*percent);
}

ResetScheduleText UsageMeterPresenter::compactResetSchedule(std::optional<double> percent, std::optional<Date> resetAt,
                                                            bool temporarilyUnavailable, Date now,
                                                            const QTimeZone& zone)
{
    if (temporarilyUnavailable)
        return {QStringLiteral("自動復帰"), std::nullopt, false};
    if (!finite(percent) && !resetAt)
        return {};
    return ResetSchedulePresentation::text(resetAt, now, zone);
}

QString UsageMeterPresenter::rowLeftText(std::optional<double> percent)
{
    return finite(percent) ? u"残り " + NotificationMessageBuilder::percentText(*percent) : QStringLiteral("未取得");
}

QString UsageMeterPresenter::rowResetText(std::optional<Date> resetAt, std::optional<double> resetSeconds, Date now)
{
    if (resetAt)
        return UsageWindowPresentation::resetCountdown(resetAt, now);
    if (resetSeconds)
        return u"リセットまで " + DateTexts::durationText(*resetSeconds);
    return QStringLiteral("リセット不明");
}

double UsageMeterPresenter::fillFraction(std::optional<double> percent)
{
    if (!finite(percent))
        return 0;
    return std::clamp(*percent / 100, 0.0, 1.0);
}

DashboardTint UsageMeterPresenter::fillTint(std::optional<double> percent)
{
    return bandTint(percent, DashboardTint::ink);
}

DashboardTint UsageMeterPresenter::dotTint(std::optional<double> percent)
{
    return bandTint(percent, DashboardTint::green);
}

StatusBadgeLook UsageMeterPresenter::statusBadge(OverallCodexState state, const std::optional<QString>& errorMessage)
{
    DashboardTint tint = DashboardTint::secondary;
    QString word;
    switch (state) {
    case OverallCodexState::normal:
        tint = DashboardTint::green;
        word = QStringLiteral("正常");
        break;
    case OverallCodexState::degraded:
        tint = DashboardTint::orange;
        word = QStringLiteral("不安定");
        break;
    case OverallCodexState::outage:
        tint = DashboardTint::red;
        word = QStringLiteral("障害あり");
        break;
    case OverallCodexState::fetchFailed:
        word = QStringLiteral("取得失敗");
        break;
    }
    // Any status error, even an empty text, makes the reading doubtful.
    if (errorMessage)
        word = QStringLiteral("要確認");
    return {u"稼働: " + word, tint, errorMessage.has_value()};
}

} // namespace vantorel
