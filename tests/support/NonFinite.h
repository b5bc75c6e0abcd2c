#pragma once

#include <limits>

namespace vantorel::test {

// The values the presentation tests feed in where a reading is missing or broken.
inline constexpr double nan = std::numeric_limits<double>::quiet_NaN();
inline constexpr double inf = std::numeric_limits<double>::infinity();

} // namespace vantorel::test
