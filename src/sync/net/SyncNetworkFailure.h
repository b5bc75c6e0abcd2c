#pragma once

#include "sync/model/UsageSyncError.h"
#include "sync/net/NetworkError.h"

namespace vantorel {

namespace SyncNetworkFailure {

// What a network failure means to the user. `localNetworkDenied` is the caller's observation
// that the platform refused local-network access for this path (never true on Linux, which has
// no such permission); it wins over the error itself.
UsageSyncError classify(const NetworkError& error, bool localNetworkDenied);

} // namespace SyncNetworkFailure
} // namespace vantorel
