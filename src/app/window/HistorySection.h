#pragma once

#include <QString>

#include <array>

namespace vantorel {

// The two sections of the history page, in segment order.
enum class HistorySection { usage, notifications };

inline constexpr std::array allHistorySections{HistorySection::usage, HistorySection::notifications};

inline QString segmentLabel(HistorySection section)
{
    return section == HistorySection::usage ? QStringLiteral("使用率") : QStringLiteral("通知");
}

} // namespace vantorel
