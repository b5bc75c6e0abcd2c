#include "sync/presentation/UsageConsumptionAnalyzer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace vantorel {

namespace {

struct ValidSample
{
    Date recordedAt;
    double remainingPercent = 0;
};

bool isAcceptablePercent(const std::optional<double>& value)
{
    return value && std::isfinite(*value) && *value >= 0 && *value <= 100;
}

// Same-instant samples count only when they agree; one unusable or disagreeing sample makes the
// whole instant untrustworthy.
std::optional<double> uniqueValidValue(std::span<const UsageConsumptionSample* const> group)
{
    if (group.empty())
        return std::nullopt;
    for (std::size_t i = 0; i < group.size(); ++i) {
        const auto& value = group[i]->remainingPercent;
        if (!isAcceptablePercent(value))
            return std::nullopt;
        if (i > 0 && std::fabs(*value - *group[i - 1]->remainingPercent) > UsageConsumptionAnalyzer::tolerance)
            return std::nullopt;
    }
    return group.back()->remainingPercent;
}

// Only the ends and the length of a run matter, so the run is held as those three.
struct Run
{
    ValidSample first;
    ValidSample last;
    std::int64_t count = 0;

    void restart(const ValidSample& point)
    {
        first = point;
        last = point;
        count = 1;
    }
};

} // namespace

double UsageConsumptionAnalyzer::maximumGap(double expectedRefreshInterval)
{
    if (!std::isfinite(expectedRefreshInterval) || expectedRefreshInterval <= 0)
        return defaultMaximumGap;
    return std::clamp(gapFactor * expectedRefreshInterval, defaultMaximumGap, maximumGapUpperBound);
}

UsageConsumptionResult UsageConsumptionAnalyzer::analyze(std::span<const UsageConsumptionSample> samples,
                                                         Date rangeStart, Date now,
                                                         double expectedRefreshInterval,
                                                         std::optional<Date> cycleStart)
{
    if (!now.isFinite() || !rangeStart.isFinite())
        return UsageConsumptionResult::insufficientData();

    Date start = rangeStart;
    if (cycleStart && cycleStart->isFinite() && *cycleStart >= rangeStart)
        start = *cycleStart;
    const double gapLimit = maximumGap(expectedRefreshInterval);
    const Date latestAdmitted = now + admissionHorizon;

    std::vector<const UsageConsumptionSample*> admitted;
    admitted.reserve(samples.size());
    for (const auto& sample : samples) {
        if (sample.recordedAt.isFinite() && sample.recordedAt >= start && sample.recordedAt <= latestAdmitted)
            admitted.push_back(&sample);
    }
    std::stable_sort(admitted.begin(), admitted.end(), [](const auto* a, const auto* b) {
        return a->recordedAt < b->recordedAt;
    });

    Run run;
    for (std::size_t begin = 0; begin < admitted.size();) {
        std::size_t end = begin + 1;
        while (end < admitted.size() && admitted[end]->recordedAt == admitted[begin]->recordedAt)
            ++end;
        const std::span<const UsageConsumptionSample* const> group(admitted.data() + begin, end - begin);
        const Date instant = admitted[begin]->recordedAt;
        begin = end;

        const auto value = uniqueValidValue(group);
        if (!value) {
            run.count = 0;
            continue;
        }
        const ValidSample candidate{instant, *value};
        if (run.count == 0) {
            run.restart(candidate);
            continue;
        }
        const double gap = candidate.recordedAt - run.last.recordedAt;
        const bool continues = std::isfinite(gap) && gap > 0 && gap <= gapLimit
            && candidate.remainingPercent <= run.last.remainingPercent + tolerance;
        if (continues) {
            run.last = candidate;
            ++run.count;
        } else {
            run.restart(candidate);
        }
    }

    if (run.count < 2)
        return UsageConsumptionResult::insufficientData();
    const double duration = run.last.recordedAt - run.first.recordedAt;
    if (!std::isfinite(duration) || duration <= 0)
        return UsageConsumptionResult::insufficientData();
    double consumed = run.first.remainingPercent - run.last.remainingPercent;
    if (!(consumed >= 0))
        consumed = 0;

    const UsageConsumptionSummary summary{
        .startedAt = run.first.recordedAt,
        .endedAt = run.last.recordedAt,
        .observedDuration = duration,
        .consumedPoints = consumed,
        .startingRemainingPercent = run.first.remainingPercent,
        .endingRemainingPercent = run.last.remainingPercent,
        .pointsPerHour = consumed / (duration / hour),
        .sampleCount = run.count,
    };
    return consumed <= tolerance ? UsageConsumptionResult::noConsumption(summary)
                                 : UsageConsumptionResult::available(summary);
}

} // namespace vantorel
