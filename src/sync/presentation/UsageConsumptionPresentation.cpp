#include "sync/presentation/UsageConsumptionPresentation.h"

#include <cmath>
#include <cstdint>

namespace vantorel {

using namespace Qt::StringLiterals;

namespace {

// Beyond this a double holds no fraction and no longer fits the integer path.
constexpr double largestWholeValue = 9.0e18;

} // namespace

UsageConsumptionText UsageConsumptionPresentation::text(const UsageConsumptionResult& result)
{
    const auto& summary = result.summary();
    switch (result.kind()) {
    case UsageConsumptionResult::Kind::insufficientData:
        break;
    case UsageConsumptionResult::Kind::noConsumption:
        return {u"観測%1・消費なし"_s.arg(duration(summary->observedDuration)),
                u"残り%1% → %2%"_s.arg(number(summary->startingRemainingPercent),
                                        number(summary->endingRemainingPercent))};
    case UsageConsumptionResult::Kind::available:
        return {u"観測%1で%2ポイント消費"_s.arg(duration(summary->observedDuration), number(summary->consumedPoints)),
                u"残り%1% → %2%・1時間あたり%3ポイント"_s.arg(number(summary->startingRemainingPercent),
                                                           number(summary->endingRemainingPercent),
                                                           number(summary->pointsPerHour))};
    }
    return {u"連続した記録が不足"_s, std::nullopt};
}

QString UsageConsumptionPresentation::duration(double seconds)
{
    if (!std::isfinite(seconds) || seconds < 0)
        return u"0分"_s;
    const double rounded = std::round(seconds / 60);
    const auto total = rounded < largestWholeValue ? static_cast<std::int64_t>(rounded)
                                                   : static_cast<std::int64_t>(largestWholeValue);
    const std::int64_t days = total / 1440;
    const std::int64_t rest = total % 1440;
    const std::int64_t hours = rest / 60;
    const std::int64_t minutes = total % 60;
    if (total < 60)
        return QString::number(total) + u"分"_s;
    if (total < 1440) {
        QString text = QString::number(hours) + u"時間"_s;
        if (minutes > 0)
            text += QString::number(minutes) + u"分"_s;
        return text;
    }
    QString text = QString::number(days) + u"日"_s;
    if (rest >= 60)
        text += QString::number(hours) + u"時間"_s;
    return text;
}

QString UsageConsumptionPresentation::number(double value)
{
    const double rounded = std::round(value * 10) / 10;
    if (std::isfinite(rounded) && rounded == std::trunc(rounded)) {
        if (std::fabs(rounded) < largestWholeValue)
            return QString::number(static_cast<std::int64_t>(rounded));
        return QString::number(rounded, 'f', 0);
    }
    return QString::number(rounded, 'f', 1);
}

} // namespace vantorel
