#pragma once

#include <cstdint>
#include <optional>

namespace vantorel {

// A low-balance alert level; the raw value is the percentage bound and a lower one is more
// severe. Stored and exchanged as the bare integer (20, 10 or 0).
enum class UsageAlertThreshold { warning = 20, critical = 10, exhausted = 0 };

constexpr int rawValue(UsageAlertThreshold threshold)
{
    return static_cast<int>(threshold);
}

// Exactly 20, 10 and 0; anything else is no level.
constexpr std::optional<UsageAlertThreshold> usageAlertThresholdFromRaw(std::int64_t raw)
{
    switch (raw) {
    case 20: return UsageAlertThreshold::warning;
    case 10: return UsageAlertThreshold::critical;
    case 0: return UsageAlertThreshold::exhausted;
    default: return std::nullopt;
    }
}

} // namespace vantorel
