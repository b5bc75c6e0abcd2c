#pragma once

namespace vantorel {

// The state of the signed-in cloud account, in the service's numbering; other values may arrive
// and count as unknown.
enum class CloudAccountStatus : int {
    couldNotDetermine = 0,
    available = 1,
    restricted = 2,
    noAccount = 3,
    temporarilyUnavailable = 4,
};

} // namespace vantorel
