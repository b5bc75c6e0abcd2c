#pragma once

#include "core/foundation/CancelToken.h"
#include "sync/model/UsageSyncSnapshot.h"

#include <QCoroTask>

namespace vantorel {

// The companion's source of the Mac's snapshot. Main thread only.
class UsageSyncTransport
{
public:
    virtual ~UsageSyncTransport() = default;

    // The Mac's current snapshot, validated for the paired host. Throws UsageSyncError, or
    // CancellationError when `token` is cancelled or the fetch is ended by cancel() or a newer
    // fetch.
    virtual QCoro::Task<UsageSyncSnapshot> fetchSnapshot(CancelToken token = {}) = 0;

    // Ends the fetch in progress, if any.
    virtual void cancel() = 0;
};

} // namespace vantorel
