#pragma once

#include "core/foundation/Date.h"
#include "core/model/UsageResetBaseline.h"
#include "core/rules/UsageResetDetectionReason.h"

#include <optional>

namespace vantorel {

// Decides from successive readings of one usage window whether it was reset, and why.
struct UsageResetDetector
{
    // A new reset date must lie more than this later than the remembered one to count as moved
    // on; providers jitter their reported reset times by a few minutes.
    static constexpr double resetDateAdvanceTolerance = 900;

    // A reset needs a remembered reset date and a clear rise of the remaining share; the reason
    // tells whether the remembered time had passed and, if not, whether the date moved on.
    static std::optional<UsageResetDetectionReason> detect(std::optional<Date> previousResetAt,
                                                           std::optional<Date> currentResetAt,
                                                           std::optional<double> previousRemainingPercent,
                                                           std::optional<double> currentRemainingPercent, Date now);

    // Feeds one reading into the window's baseline and returns the detected reset, if any. A
    // reading without a valid percent changes nothing; one without a reset date keeps the
    // remembered date unless it reports a reset. A detected reset stamps `lastConfirmedResetAt`.
    static std::optional<UsageResetDetectionReason> observe(UsageResetBaseline& baseline, std::optional<Date> resetAt,
                                                            std::optional<double> remainingPercent, Date now);

    // Whether the remaining share rose enough to mean a fresh window.
    static bool remainingRecovered(std::optional<double> previous, std::optional<double> current);
};

} // namespace vantorel
