#pragma once

#include "sync/presentation/UsageConsumptionResult.h"
#include "sync/presentation/UsageConsumptionSample.h"

#include <optional>
#include <span>

namespace vantorel {

// How fast one usage window's remaining share is being used up, judged from the latest
// unbroken run of trustworthy history points. Pure: reads no clock, keeps no state.
struct UsageConsumptionAnalyzer
{
    static constexpr double defaultMaximumGap = 1800;
    static constexpr double gapFactor = 3;
    static constexpr double maximumGapUpperBound = 21600;
    // Samples slightly ahead of `now` (a clock a little fast) are still admitted.
    static constexpr double admissionHorizon = 60;
    // Percentage points; absorbs rounding noise in the recorded values.
    static constexpr double tolerance = 0.01;
    static constexpr double hour = 3600;

    // `samples` in any order. The analysis starts at `cycleStart` when it is finite and not
    // before `rangeStart`, otherwise at `rangeStart`. Points further apart than three refresh
    // intervals (bounded to 1800...21600 s) break the run, as does a rise or an unusable value.
    static UsageConsumptionResult analyze(std::span<const UsageConsumptionSample> samples, Date rangeStart,
                                          Date now, double expectedRefreshInterval,
                                          std::optional<Date> cycleStart);

    // The longest gap between two points of one run.
    static double maximumGap(double expectedRefreshInterval);
};

} // namespace vantorel
