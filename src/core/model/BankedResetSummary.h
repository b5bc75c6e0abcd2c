#pragma once

#include "core/foundation/Date.h"
#include "core/foundation/Json.h"
#include "core/model/BankedResetCredit.h"

#include <QList>

#include <cstdint>
#include <optional>

namespace vantorel {

// The banked reset credits of a Codex reading. The two pending fields belong to the remembered
// baseline only (a reading leaves them absent): a changed available count is trusted once it has
// been seen on enough successive readings, and these fields count those sightings.
struct BankedResetSummary
{
    std::int64_t availableCount = 0;
    std::optional<QList<BankedResetCredit>> credits;
    std::optional<std::int64_t> pendingAvailableCount;
    std::optional<std::int64_t> pendingAvailableCountObservations;

    // The earliest expiry strictly after `date` among the available credits; none without a
    // credit list or without such a credit.
    std::optional<Date> nearestExpiration(Date date) const;

    bool operator==(const BankedResetSummary&) const = default;
};

Json toJson(const BankedResetSummary& summary);
std::optional<BankedResetSummary> bankedResetSummaryFromJson(const Json& value);

} // namespace vantorel
