#include "core/rules/UsageResetDetector.h"

#include "core/rules/RemainingPercent.h"

namespace vantorel {

bool UsageResetDetector::remainingRecovered(std::optional<double> previous, std::optional<double> current)
{
    if (!previous || !current || !isRemainingPercentReading(*previous) || !isRemainingPercentReading(*current)) {
        return false;
    }
    const double rise = *current - *previous;
    if (rise < 1.0) {
        return false;
    }
    if (*current >= 95.0) {
        return true;
    }
    return rise >= 50.0 || (rise >= 20.0 && *current >= 80.0);
}

std::optional<UsageResetDetectionReason> UsageResetDetector::detect(std::optional<Date> previousResetAt,
                                                                    std::optional<Date> currentResetAt,
                                                                    std::optional<double> previousRemainingPercent,
                                                                    std::optional<double> currentRemainingPercent, Date now)
{
    if (!previousResetAt) {
        return std::nullopt;
    }
    auto early = UsageResetDetectionReason::earlyRemainingRecovered;
    if (currentResetAt && *currentResetAt - *previousResetAt > resetDateAdvanceTolerance) {
        early = UsageResetDetectionReason::earlyResetDateAdvanced;
    }
    if (!remainingRecovered(previousRemainingPercent, currentRemainingPercent)) {
        return std::nullopt;
    }
    if (*previousResetAt <= now) {
        return UsageResetDetectionReason::scheduledTimePassed;
    }
    return early;
}

std::optional<UsageResetDetectionReason> UsageResetDetector::observe(UsageResetBaseline& baseline,
                                                                     std::optional<Date> resetAt,
                                                                     std::optional<double> remainingPercent, Date now)
{
    if (!remainingPercent || !isRemainingPercentReading(*remainingPercent)) {
        return std::nullopt;
    }
    if (resetAt && !resetAt->isFinite()) {
        resetAt.reset();
    }
    const auto reason = detect(baseline.resetAt, resetAt, baseline.remainingPercent, remainingPercent, now);
    if (resetAt || reason) {
        baseline.resetAt = resetAt;
    }
    baseline.remainingPercent = remainingPercent;
    if (reason) {
        baseline.lastConfirmedResetAt = now;
    }
    return reason;
}

} // namespace vantorel
