#pragma once

#include "core/model/CompactOptional.h"

#include <cstdint>
#include <limits>
#include <utility>

namespace vantorel {

// A version stamp kept in 32 bits. Versions are small numbers; one that does not fit is stored as
// absent, which every rule treats as it treats any version other than the current one (not
// confirmed). Decoders check fits() first so that such a value is reported, not lost unnoticed.
struct CompactVersionCoding
{
    using Value = std::int64_t;
    using Stored = std::int32_t;

    static constexpr Stored absent = std::numeric_limits<Stored>::min();

    static constexpr bool fits(Value value) { return std::in_range<Stored>(value) && value != absent; }
    static constexpr Stored store(Value value) { return fits(value) ? static_cast<Stored>(value) : absent; }
    static constexpr Value read(Stored stored) { return stored; }
    static constexpr bool same(Stored a, Stored b) { return a == b; }
};

using CompactVersion = CompactOptional<CompactVersionCoding>;

} // namespace vantorel
