#pragma once

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
    double operator*() const;
    double value_or(double fallback) const { return has_value() ? **this : fallback; }
    void reset() { m_bits = absentBits; }
    operator std::optional<double>() const;

    // As std::optional<double> compares: absent equals only absent, NaN equals nothing.
    bool operator==(const CompactPercent& other) const;
    bool operator==(std::nullopt_t) const { return !has_value(); }
    bool operator==(double value) const { return has_value() && **this == value; }
    bool operator==(const std::optional<double>& value) const { return *this == CompactPercent(value); }

private:
    // A quiet NaN with a payload no conversion produces: every NaN stored is made the default one.
    static constexpr std::uint32_t absentBits = 0x7fc0'0001;

    std::uint32_t m_bits = absentBits;
};

} // namespace vantorel
