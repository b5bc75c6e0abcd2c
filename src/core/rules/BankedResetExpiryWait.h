#pragma once

#include "core/foundation/Date.h"
#include "core/foundation/Json.h"

#include <optional>

namespace vantorel {

// Why a queued expiry warning is held back: until a fresh banked-reset reading exists
// (observation), or until the warning date the settings ask for (threshold).
struct BankedResetExpiryWait
{
    enum class Kind { observation, threshold };

    Kind kind = Kind::observation;
    Date until;
    // Threshold waits only: when the item began waiting for its warning date; kept while the
    // wait lasts, even when the date moves with the settings.
    Date since;

    static BankedResetExpiryWait observation(Date until) { return {Kind::observation, until, Date()}; }
    static BankedResetExpiryWait threshold(Date until, Date since) { return {Kind::threshold, until, since}; }

    bool operator==(const BankedResetExpiryWait&) const = default;
};

// {"observation":{"until":...}} or {"threshold":{"until":...,"since":...}}.
Json toJson(const BankedResetExpiryWait& wait);
std::optional<BankedResetExpiryWait> bankedResetExpiryWaitFromJson(const Json& value);

} // namespace vantorel
