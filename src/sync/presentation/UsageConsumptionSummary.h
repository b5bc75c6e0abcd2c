#pragma once

#include "core/foundation/Date.h"

#include <cstdint>

namespace vantorel {

// Figures of the latest unbroken run of trustworthy history points.
struct UsageConsumptionSummary
{
    Date startedAt;
    Date endedAt;
    // endedAt - startedAt in seconds; always positive.
    double observedDuration = 0;
    // Starting minus ending remaining percent, never below 0.
    double consumedPoints = 0;
    double startingRemainingPercent = 0;
    double endingRemainingPercent = 0;
    double pointsPerHour = 0;
    // Points of the run; samples sharing one instant count once.
    std::int64_t sampleCount = 0;

    bool operator==(const UsageConsumptionSummary&) const = default;
};

} // namespace vantorel
