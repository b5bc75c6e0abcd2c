#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <type_traits>

namespace vantorel {

// An optional percentage in four bytes, for records kept by the thousand: a float, with one NaN
// pattern reserved to mean absent. It reads back as the double nearest the float's shortest
// decimal text, so a value of up to six significant digits (12, 87.5, 33.3) stores, compares and
// publishes exactly as the double it was made from; longer values round to the nearest float
// (about seven significant digits). Finite values beyond the float range become the largest
// float instead of an infinity that no stored form can carry; NaN and infinities stay what they
// are. Used through the same members as std::optional<double>.
class CompactPercent
{
public:
    constexpr CompactPercent() = default;
    constexpr CompactPercent(std::nullopt_t) {}
    CompactPercent(double value);
    CompactPercent(const std::optional<double>& value);
    template <typename Integer>
        requires std::is_integral_v<Integer>
    CompactPercent(Integer value)
        : CompactPercent(static_cast<double>(value))
    {
    }

    bool has_value() const { return m_bits != absentBits; }
    explicit operator bool() const { return has_value(); }
    // Only when has_value().
    double operator*() const
    {
        const float value = std::bit_cast<float>(m_bits);
        // Below 2^17 a float's steps are under 0.01, so at most one number of two decimals rounds
        // to it, and that one is then its shortest text. A hundredth that does is used directly:
        // nearly every percentage is one.
        constexpr float hundredthsApart = 131'072.0f;
        if (std::fabs(value) < hundredthsApart) {
            const double hundredths = std::nearbyint(double(value) * 100.0) / 100.0;
            if (static_cast<float>(hundredths) == value) {
                return hundredths;
            }
        }
        return shortestDecimal(value);
    }
    double value_or(double fallback) const { return has_value() ? **this : fallback; }
    void reset() { m_bits = absentBits; }
    operator std::optional<double>() const { return has_value() ? std::optional<double>(**this) : std::nullopt; }

    // As std::optional<double> compares: absent equals only absent, NaN equals nothing.
    bool operator==(const CompactPercent& other) const
    {
        if (!has_value() || !other.has_value()) {
            return has_value() == other.has_value();
        }
        return std::bit_cast<float>(m_bits) == std::bit_cast<float>(other.m_bits);
    }
    bool operator==(std::nullopt_t) const { return !has_value(); }
    bool operator==(double value) const { return has_value() && **this == value; }
    bool operator==(const std::optional<double>& value) const { return *this == CompactPercent(value); }

private:
    // The double a reader would get from the float's shortest decimal text: 33.3f reads as 33.3,
    // not as 33.299999237060547, the double the float is exactly.
    static double shortestDecimal(float value);

    // A quiet NaN with a payload no conversion produces: every NaN stored is made the default one.
    static constexpr std::uint32_t absentBits = 0x7fc0'0001;

    std::uint32_t m_bits = absentBits;
};

} // namespace vantorel
