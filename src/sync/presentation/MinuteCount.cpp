#include "sync/presentation/MinuteCount.h"

#include <algorithm>
#include <cmath>

namespace vantorel::minuteCount {

std::int64_t truncated(double seconds)
{
    return static_cast<std::int64_t>(std::trunc(std::min(seconds / 60, static_cast<double>(cap))));
}

std::int64_t roundedUp(double seconds)
{
    return static_cast<std::int64_t>(std::ceil(std::min(seconds / 60, static_cast<double>(cap))));
}

} // namespace vantorel::minuteCount
