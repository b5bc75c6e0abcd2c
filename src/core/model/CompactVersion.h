#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <type_traits>
#include <utility>

namespace vantorel {

// An optional version stamp in four bytes, for records kept by the thousand. Versions are small
// numbers; one that does not fit 32 bits is taken as absent, which every rule treats as it
// treats any version other than the current one (not confirmed). Used through the same members
// as std::optional<std::int64_t>.
class CompactVersion
{
public:
    constexpr CompactVersion() = default;
    constexpr CompactVersion(std::nullopt_t) {}
    template <typename Integer>
        requires std::is_integral_v<Integer>
    constexpr CompactVersion(Integer value)
    {
        if (std::in_range<std::int32_t>(value) && static_cast<std::int32_t>(value) != absent) {
            m_value = static_cast<std::int32_t>(value);
        }
    }
    constexpr CompactVersion(const std::optional<std::int64_t>& value)
        : CompactVersion(value ? CompactVersion(*value) : CompactVersion())
    {
    }

    constexpr bool has_value() const { return m_value != absent; }
    constexpr explicit operator bool() const { return has_value(); }
    // Only when has_value().
    constexpr std::int64_t operator*() const { return m_value; }
    constexpr std::int64_t value_or(std::int64_t fallback) const { return has_value() ? m_value : fallback; }
    constexpr void reset() { m_value = absent; }
    constexpr operator std::optional<std::int64_t>() const
    {
        return has_value() ? std::optional<std::int64_t>(m_value) : std::nullopt;
    }

    constexpr bool operator==(const CompactVersion&) const = default;
    constexpr bool operator==(std::nullopt_t) const { return !has_value(); }
    template <typename Integer>
        requires std::is_integral_v<Integer>
    constexpr bool operator==(Integer value) const
    {
        return has_value() && std::cmp_equal(m_value, value);
    }
    constexpr bool operator==(const std::optional<std::int64_t>& value) const
    {
        return value ? *this == *value : !has_value();
    }

private:
    static constexpr std::int32_t absent = std::numeric_limits<std::int32_t>::min();

    std::int32_t m_value = absent;
};

} // namespace vantorel
