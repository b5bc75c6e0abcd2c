#pragma once

#include "core/model/CompactOptional.h"

#include <bit>
#include <cmath>
#include <cstdint>

namespace vantorel {

// A percentage kept as a float, with one NaN pattern reserved to mean absent. It reads back as
// the double nearest the float's shortest decimal text, so a value of up to six significant digits
// (12, 87.5, 33.3) stores, compares and publishes exactly as the double it was made from; longer
// values round to the nearest float (about seven significant digits). Finite values beyond the
// float range become the largest float instead of an infinity that no stored form can carry; NaN
// and infinities stay what they are. Two present values compare as floats: NaN equals nothing.
struct CompactPercentCoding
{
    using Value = double;
    using Stored = std::uint32_t;

    // A quiet NaN with a payload no conversion produces: every NaN stored is made the default one.
    static constexpr Stored absent = 0x7fc0'0001;

    static Stored store(double value);
    static double read(Stored stored)
    {
        const float value = std::bit_cast<float>(stored);
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
    static bool same(Stored a, Stored b) { return std::bit_cast<float>(a) == std::bit_cast<float>(b); }

    // The double a reader would get from the float's shortest decimal text: 33.3f reads as 33.3,
    // not as 33.299999237060547, the double the float is exactly.
    static double shortestDecimal(float value);
};

using CompactPercent = CompactOptional<CompactPercentCoding>;

} // namespace vantorel
