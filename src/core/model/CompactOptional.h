#pragma once

#include <optional>

namespace vantorel {

// An optional value in four bytes, for records kept by the thousand: one stored pattern is
// reserved to mean absent. Storing may lose precision or range, so a value goes in only through
// from() and comes out as the full-width std::optional through toOptional(); nothing converts
// implicitly. Records hold this form; everything that computes with the value uses toOptional().
//
// Coding describes the stored form:
//   using Value = ...; using Stored = ...; static constexpr Stored absent;
//   static Stored store(Value);          absent only for a value the stored form cannot hold
//   static Value read(Stored);           never given absent
//   static bool same(Stored, Stored);    both present
template <typename Coding>
class CompactOptional
{
public:
    using Value = typename Coding::Value;

    constexpr CompactOptional() = default;
    constexpr CompactOptional(std::nullopt_t) {}

    static constexpr CompactOptional from(Value value) { return CompactOptional(Coded{}, Coding::store(value)); }
    static constexpr CompactOptional from(const std::optional<Value>& value)
    {
        return value ? from(*value) : CompactOptional();
    }

    constexpr bool has_value() const { return m_stored != Coding::absent; }
    constexpr explicit operator bool() const { return has_value(); }
    // Only when has_value().
    constexpr Value operator*() const { return Coding::read(m_stored); }
    constexpr Value value_or(Value fallback) const { return has_value() ? **this : fallback; }
    constexpr std::optional<Value> toOptional() const
    {
        return has_value() ? std::optional<Value>(**this) : std::nullopt;
    }
    constexpr void reset() { m_stored = Coding::absent; }

    // Absent equals only absent; two present values compare as Coding says.
    constexpr bool operator==(const CompactOptional& other) const
    {
        if (!has_value() || !other.has_value()) {
            return has_value() == other.has_value();
        }
        return Coding::same(m_stored, other.m_stored);
    }
    constexpr bool operator==(std::nullopt_t) const { return !has_value(); }
    // These compare the value read back, never a narrowed copy of `value`. The second also keeps
    // std::optional's own operator, which finds the first and calls an absent pair unequal, away.
    constexpr bool operator==(Value value) const { return has_value() && **this == value; }
    constexpr bool operator==(const std::optional<Value>& value) const { return toOptional() == value; }

private:
    // Tagged, so that no value converts to the stored form without from().
    struct Coded
    {
    };
    constexpr CompactOptional(Coded, typename Coding::Stored stored)
        : m_stored(stored)
    {
    }

    typename Coding::Stored m_stored = Coding::absent;
};

} // namespace vantorel
