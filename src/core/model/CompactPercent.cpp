#include "core/model/CompactPercent.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <limits>

namespace vantorel {

namespace {

// The double a reader would get from the float's shortest decimal text: 33.3f reads as 33.3,
// not as 33.299999237060547, the double the float is exactly.
double shortestDecimal(float value)
{
    // Whole numbers below 2^24 are their own shortest text; most percentages are.
    constexpr float wholeNumbersExact = 16'777'216.0f;
    if (!std::isfinite(value) || (std::fabs(value) < wholeNumbersExact && value == std::trunc(value))) {
        return value;
    }
    char text[std::numeric_limits<float>::max_digits10 + 8];
    const auto written = std::to_chars(text, text + sizeof text, value);
    double result = value;
    std::from_chars(text, written.ptr, result);
    return result;
}

} // namespace

CompactPercent::CompactPercent(double value)
{
    float stored = std::numeric_limits<float>::quiet_NaN();
    if (std::isinf(value)) {
        stored = static_cast<float>(value);
    } else if (!std::isnan(value)) {
        constexpr double largest = std::numeric_limits<float>::max();
        stored = static_cast<float>(std::clamp(value, -largest, largest));
    }
    m_bits = std::bit_cast<std::uint32_t>(stored);
}

CompactPercent::CompactPercent(const std::optional<double>& value)
    : CompactPercent(value ? CompactPercent(*value) : CompactPercent())
{
}

double CompactPercent::operator*() const
{
    return shortestDecimal(std::bit_cast<float>(m_bits));
}

CompactPercent::operator std::optional<double>() const
{
    if (!has_value()) {
        return std::nullopt;
    }
    return **this;
}

bool CompactPercent::operator==(const CompactPercent& other) const
{
    if (!has_value() || !other.has_value()) {
        return has_value() == other.has_value();
    }
    return std::bit_cast<float>(m_bits) == std::bit_cast<float>(other.m_bits);
}

} // namespace vantorel
