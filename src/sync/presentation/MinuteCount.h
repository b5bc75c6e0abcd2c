#pragma once

#include <cstdint>

namespace vantorel::minuteCount {

// Largest minute count the age and countdown texts show; far-off instants read as this.
constexpr std::int64_t cap = 2'147'483'647;

// Whole minutes in a finite, non-negative number of seconds: capped, then truncated.
std::int64_t truncated(double seconds);
// Whole minutes in a finite, non-negative number of seconds: capped, then rounded up.
std::int64_t roundedUp(double seconds);

} // namespace vantorel::minuteCount
