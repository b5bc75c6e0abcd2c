#pragma once

#include <QString>

#include <array>

namespace vantorel {

// The period of the usage history, counted back from now, in segment order.
enum class UsageHistoryRange { day, week, month };

inline constexpr std::array allUsageHistoryRanges{UsageHistoryRange::day, UsageHistoryRange::week,
                                                  UsageHistoryRange::month};

inline QString segmentLabel(UsageHistoryRange range)
{
    switch (range) {
    case UsageHistoryRange::day: return QStringLiteral("24時間");
    case UsageHistoryRange::week: return QStringLiteral("7日");
    case UsageHistoryRange::month: return QStringLiteral("30日");
    }
    return {};
}

// Seconds.
inline constexpr double lookBack(UsageHistoryRange range)
{
    switch (range) {
    case UsageHistoryRange::day: return 86'400;
    case UsageHistoryRange::week: return 604'800;
    case UsageHistoryRange::month: return 2'592'000;
    }
    return 0;
}

} // namespace vantorel
