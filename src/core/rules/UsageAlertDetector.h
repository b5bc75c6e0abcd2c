#pragma once

#include "core/model/UsageAlertThreshold.h"

#include <QList>

#include <optional>

namespace vantorel {

// The low-balance levels of one remaining-percent value. Stateless: the caller keeps which
// levels it already announced in the current cycle and forgets them when `shouldRearm` holds.
struct UsageAlertDetector
{
    // The first percent that no longer alerts, and the lowest one that ends a cycle; readings in
    // between neither alert nor re-arm, so a value hovering at 20 % cannot re-alert.
    static constexpr double noAlertFrom = 20.0;
    static constexpr double rearmFrom = 25.0;

    // exhausted at exactly 0, critical up to 10, warning below 20; none otherwise or for a value
    // that is no reading.
    static std::optional<UsageAlertThreshold> threshold(double remainingPercent);
    // The current level unless the same or a more severe one was already sent.
    static std::optional<UsageAlertThreshold> unsentThreshold(double remainingPercent,
                                                              const QList<UsageAlertThreshold>& sentThresholds);
    // True for 25...100.
    static bool shouldRearm(double remainingPercent);
};

} // namespace vantorel
