#pragma once

#include "sync/cloud/CloudKitError.h"

#include <exception>
#include <optional>

namespace vantorel {

// Turns what a cloud call threw into the store's vocabulary. Stateless; any thread.
struct CloudKitErrorMapper
{
    // CancellationError, CloudSyncError and UsageSyncError come back unchanged; a CloudKitError
    // becomes the CloudSyncError (or olderSnapshot, or CancellationError) its snapshot-record error
    // calls for; anything else is CloudSyncError unavailable. Never null for a non-null input.
    static std::exception_ptr map(std::exception_ptr error);

    // The CloudKitError that concerns the snapshot record: the error itself, or the snapshot
    // record's entry of a partial failure when that entry is a CloudKitError. Nothing when the
    // error is no CloudKitError.
    static std::optional<CloudKitError> itemError(std::exception_ptr error);
};

} // namespace vantorel
