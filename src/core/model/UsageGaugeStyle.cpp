#include "core/model/UsageGaugeStyle.h"

#include <algorithm>
#include <cmath>

namespace vantorel {

namespace {

// NaN has no band and no whole number: it is drawn and keyed like a missing value.
bool isUsable(std::optional<double> value)
{
    return value && !std::isnan(*value);
}

UsageGaugeColorBand band(double value)
{
    if (value <= 10.0) {
        return UsageGaugeColorBand::critical;
    }
    if (value < 20.0) {
        return UsageGaugeColorBand::warning;
    }
    return UsageGaugeColorBand::healthy;
}

} // namespace

int UsageGaugeStyle::wholeClampedPercent(double remainingPercent)
{
    if (std::isnan(remainingPercent)) {
        return 0;
    }
    return static_cast<int>(std::round(std::clamp(remainingPercent, 0.0, 100.0)));
}

QString UsageGaugeStyle::cacheToken(std::optional<double> remainingPercent)
{
    if (!isUsable(remainingPercent)) {
        return QStringLiteral("nil-unavailable");
    }
    const double clamped = std::clamp(*remainingPercent, 0.0, 100.0);
    return QString::number(wholeClampedPercent(clamped)) + u'-' + rawValue(band(clamped));
}

UsageGaugeColorBand UsageGaugeStyle::colorBand(std::optional<double> remainingPercent)
{
    return isUsable(remainingPercent) ? band(*remainingPercent) : UsageGaugeColorBand::unavailable;
}

} // namespace vantorel
