#include "sync/presentation/UsageWindowPresentation.h"

#include "sync/model/SyncUsageWindow.h"
#include "sync/presentation/MinuteCount.h"

#include <cmath>

namespace vantorel {

using namespace Qt::StringLiterals;

std::optional<double> UsageWindowPresentation::remainingPercent(const SyncUsageWindow& window)
{
    if (window.state != SyncValueState::available && window.state != SyncValueState::fetchFailed)
        return std::nullopt;
    const auto& value = window.remainingPercent;
    if (!value || !std::isfinite(*value) || *value < 0 || *value > 100)
        return std::nullopt;
    return value;
}

QString UsageWindowPresentation::resetCountdown(std::optional<Date> until, Date now)
{
    if (!until)
        return u"リセット予定 未取得"_s;
    const double remaining = *until - now;
    if (!std::isfinite(remaining))
        return u"リセット予定 未取得"_s;
    if (remaining <= 0)
        return u"予定経過・確認待ち"_s;
    const auto minutes = minuteCount::roundedUp(remaining);
    const QString prefix = u"リセットまで"_s;
    if (minutes < 60)
        return prefix + QString::number(minutes) + u"分"_s;
    if (minutes < 1440)
        return prefix + QString::number(minutes / 60) + u"時間"_s + QString::number(minutes % 60) + u"分"_s;
    return prefix + QString::number(minutes / 1440) + u"日"_s + QString::number(minutes % 1440 / 60)
        + u"時間"_s;
}

} // namespace vantorel
