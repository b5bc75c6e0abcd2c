#pragma once

#include <QString>

#include <array>
#include <optional>

namespace vantorel {

// The colour band of a gauge: no value, at most 10 %, under 20 %, or more.
enum class UsageGaugeColorBand { unavailable, critical, warning, healthy };

inline constexpr std::array allUsageGaugeColorBands{UsageGaugeColorBand::unavailable, UsageGaugeColorBand::critical, UsageGaugeColorBand::warning, UsageGaugeColorBand::healthy};

QString rawValue(UsageGaugeColorBand value);
std::optional<UsageGaugeColorBand> usageGaugeColorBandFromRaw(const QString& raw);

} // namespace vantorel
