#pragma once

#include "core/foundation/CancelToken.h"
#include "sync/net/RegisteredSyncDevice.h"

#include <QCoroTask>

#include <optional>

namespace vantorel {

// Where the Mac keeps its one registered iPhone. GUI thread.
class MacSyncDeviceStorage
{
public:
    virtual ~MacSyncDeviceStorage() = default;

    // The stored device, or none. Throws SecretStoreError(notAvailable) when no secret service
    // answers at all, UsageSyncError(keychainFailure) or the decoder's error when the device
    // cannot be read, and CancellationError at once when `token` is cancelled.
    virtual QCoro::Task<std::optional<RegisteredSyncDevice>> load(CancelToken token) = 0;
    // Replaces whatever was stored. Throws when it cannot be written.
    virtual void save(const RegisteredSyncDevice& device) = 0;
    // Deletes the stored device; none stored counts as done. Throws when it cannot be deleted.
    virtual void remove() = 0;
};

} // namespace vantorel
