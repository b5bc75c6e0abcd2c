#include "core/rules/BankedResetGrantDetector.h"

#include <QSet>
#include <QString>

#include <algorithm>
#include <limits>

namespace vantorel {

namespace {

QSet<QString> creditIDs(const QList<BankedResetCredit>& credits)
{
    QSet<QString> ids;
    for (const BankedResetCredit& credit : credits) {
        ids.insert(credit.id);
    }
    return ids;
}

// Counts are outside input: a difference must not overflow.
std::int64_t riseFrom(std::int64_t previous, std::int64_t current)
{
    std::int64_t rise = 0;
    if (current <= previous) {
        return 0;
    }
    if (__builtin_sub_overflow(current, previous, &rise)) {
        return std::numeric_limits<std::int64_t>::max();
    }
    return rise;
}

} // namespace

BankedResetSummary BankedResetGrantDetector::updatedBaseline(const std::optional<BankedResetSummary>& previous,
                                                             const BankedResetSummary& current,
                                                             qsizetype maximumRememberedCredits)
{
    BankedResetSummary baseline;
    baseline.availableCount = current.availableCount;
    if (previous && current.availableCount < previous->availableCount) {
        const std::int64_t seen = previous->pendingAvailableCount == current.availableCount
            ? std::clamp<std::int64_t>(previous->pendingAvailableCountObservations.value_or(0), 0, countDropConfirmations) + 1
            : 1;
        if (seen < countDropConfirmations) {
            baseline.availableCount = previous->availableCount;
            baseline.pendingAvailableCount = current.availableCount;
            baseline.pendingAvailableCountObservations = seen;
        }
    }

    if (!current.credits) {
        baseline.credits = previous ? previous->credits : std::nullopt;
    } else {
        QList<BankedResetCredit> merged;
        QSet<QString> seenIDs;
        const auto remember = [&](const QList<BankedResetCredit>& credits) {
            for (const BankedResetCredit& credit : credits) {
                if (merged.size() >= maximumRememberedCredits) {
                    return;
                }
                if (!credit.id.isEmpty() && !seenIDs.contains(credit.id)) {
                    seenIDs.insert(credit.id);
                    merged.append(credit);
                }
            }
        };
        remember(*current.credits);
        if (previous && previous->credits) {
            remember(*previous->credits);
        }
        baseline.credits = merged;
    }
    return baseline;
}

std::optional<BankedResetGrant> BankedResetGrantDetector::detect(const std::optional<BankedResetSummary>& previous,
                                                                 const BankedResetSummary& current)
{
    const std::int64_t rise = riseFrom(previous ? previous->availableCount : 0, current.availableCount);

    BankedResetGrant grant;
    const bool idsComparable = !previous || previous->credits;
    if (idsComparable && current.credits) {
        const QSet<QString> remembered = previous ? creditIDs(*previous->credits) : QSet<QString>();
        QSet<QString> added;
        for (const BankedResetCredit& credit : *current.credits) {
            if (credit.isAvailable() && !credit.id.isEmpty() && !remembered.contains(credit.id)
                && !added.contains(credit.id)) {
                added.insert(credit.id);
                grant.newCredits.append(credit);
            }
        }
    }
    if (rise == 0 && grant.newCredits.isEmpty()) {
        return std::nullopt;
    }
    grant.grantedCount = std::max<std::int64_t>(rise, grant.newCredits.size());
    return grant;
}

} // namespace vantorel
