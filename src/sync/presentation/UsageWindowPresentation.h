#pragma once

#include "core/foundation/Date.h"

#include <QString>

#include <optional>

namespace vantorel {

struct SyncUsageWindow;

// What a usage meter row shows of one window.
struct UsageWindowPresentation
{
    // The remaining percent worth showing: only for an available window or one whose last fetch
    // failed (it keeps its last value), and only when the value lies within 0...100.
    static std::optional<double> remainingPercent(const SyncUsageWindow& window);
    // "リセットまで5分", "リセットまで2時間0分", "リセットまで1日3時間"; minutes rounded up.
    static QString resetCountdown(std::optional<Date> until, Date now);
};

} // namespace vantorel
