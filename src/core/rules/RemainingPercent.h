#pragma once

#include <optional>

namespace vantorel {

// A remaining percent is a reading only inside 0...100; NaN and values outside (a provider's
// glitch or a damaged store) count as no reading at all.
inline bool isRemainingPercentReading(double percent)
{
    return percent >= 0.0 && percent <= 100.0;
}

inline std::optional<double> remainingPercentReading(std::optional<double> percent)
{
    return percent && isRemainingPercentReading(*percent) ? percent : std::nullopt;
}

} // namespace vantorel
