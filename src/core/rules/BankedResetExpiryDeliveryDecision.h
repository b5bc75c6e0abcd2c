#pragma once

#include "core/foundation/Date.h"

#include <optional>

namespace vantorel {

// What to do with a queued expiry warning now: hold it until the warning date the settings ask
// for, send it, hold it until a fresh banked-reset reading exists, or drop it.
struct BankedResetExpiryDeliveryDecision
{
    enum class Kind { deferUntilThreshold, deliver, deferUntilRefresh, cancel };

    Kind kind = Kind::cancel;
    // The warning date, for deferUntilThreshold only.
    std::optional<Date> thresholdDate;

    static BankedResetExpiryDeliveryDecision deferUntilThreshold(Date date) { return {Kind::deferUntilThreshold, date}; }
    static BankedResetExpiryDeliveryDecision deliver() { return {Kind::deliver, std::nullopt}; }
    static BankedResetExpiryDeliveryDecision deferUntilRefresh() { return {Kind::deferUntilRefresh, std::nullopt}; }
    static BankedResetExpiryDeliveryDecision cancel() { return {Kind::cancel, std::nullopt}; }

    bool operator==(const BankedResetExpiryDeliveryDecision&) const = default;
};

} // namespace vantorel
