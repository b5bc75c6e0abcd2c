#include "core/model/CompactPercent.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace vantorel {

double CompactPercentCoding::shortestDecimal(float value)
{
    if (!std::isfinite(value)) {
        return value;
    }
    char text[std::numeric_limits<float>::max_digits10 + 8];
    const auto written = std::to_chars(text, text + sizeof text, value);
    double result = value;
    std::from_chars(text, written.ptr, result);
    return result;
}

CompactPercentCoding::Stored CompactPercentCoding::store(double value)
{
    float stored = std::numeric_limits<float>::quiet_NaN();
    if (std::isinf(value)) {
        stored = static_cast<float>(value);
    } else if (!std::isnan(value)) {
        constexpr double largest = std::numeric_limits<float>::max();
        stored = static_cast<float>(std::clamp(value, -largest, largest));
    }
    return std::bit_cast<Stored>(stored);
}

} // namespace vantorel
