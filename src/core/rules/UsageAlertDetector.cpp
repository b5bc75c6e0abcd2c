#include "core/rules/UsageAlertDetector.h"

#include "core/rules/RemainingPercent.h"

#include <algorithm>

namespace vantorel {

std::optional<UsageAlertThreshold> UsageAlertDetector::threshold(double remainingPercent)
{
    if (!isRemainingPercentReading(remainingPercent)) {
        return std::nullopt;
    }
    if (remainingPercent == 0.0) {
        return UsageAlertThreshold::exhausted;
    }
    if (remainingPercent <= 10.0) {
        return UsageAlertThreshold::critical;
    }
    if (remainingPercent < noAlertFrom) {
        return UsageAlertThreshold::warning;
    }
    return std::nullopt;
}

std::optional<UsageAlertThreshold> UsageAlertDetector::unsentThreshold(double remainingPercent,
                                                                       const QList<UsageAlertThreshold>& sentThresholds)
{
    const auto current = threshold(remainingPercent);
    if (!current) {
        return std::nullopt;
    }
    const bool alreadyCovered = std::any_of(sentThresholds.cbegin(), sentThresholds.cend(), [&](UsageAlertThreshold sent) {
        return rawValue(sent) <= rawValue(*current);
    });
    return alreadyCovered ? std::nullopt : current;
}

bool UsageAlertDetector::shouldRearm(double remainingPercent)
{
    return remainingPercent >= rearmFrom && remainingPercent <= 100.0;
}

} // namespace vantorel
