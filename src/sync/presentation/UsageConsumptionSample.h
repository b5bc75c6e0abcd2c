#pragma once

#include "core/foundation/Date.h"

#include <optional>

namespace vantorel {

// One recorded point of a usage window's remaining share.
struct UsageConsumptionSample
{
    Date recordedAt;
    // Meant to lie within 0...100; absent when the value was not known.
    std::optional<double> remainingPercent;

    bool operator==(const UsageConsumptionSample&) const = default;
};

} // namespace vantorel
