#pragma once

#include "core/foundation/Date.h"
#include "core/model/BankedResetSummary.h"

#include <QUuid>

#include <optional>

namespace vantorel {

// The latest completed banked-reset reading, which expiry warnings are checked against just
// before they are sent. Not persisted.
struct BankedResetExpiryObservation
{
    // A reading this old is still taken as current for a delivery decision.
    static constexpr double freshnessWindow = 5;

    std::optional<BankedResetSummary> current;
    QUuid generation = QUuid::createUuid();
    std::optional<Date> completedAt;

    // A summary exists and it completed 0 to 5 s before `date`.
    bool isFreshForDelivery(Date date) const;
    // Forgets the reading: no summary, no completion time, a new generation.
    void reset();

    bool operator==(const BankedResetExpiryObservation&) const = default;
};

} // namespace vantorel
