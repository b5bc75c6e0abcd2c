#include "sync/cloud/CloudKitErrorMapper.h"

#include "core/foundation/CancellationError.h"
#include "sync/cloud/CloudSnapshotCodec.h"
#include "sync/cloud/CloudSyncError.h"
#include "sync/model/UsageSyncError.h"

#include <cmath>

namespace vantorel {

namespace {

using CloudKitCode = CloudKitError::Code;

template <typename E>
std::optional<E> errorAs(const std::exception_ptr& error)
{
    if (!error)
        return std::nullopt;
    try {
        std::rethrow_exception(error);
    } catch (const E& e) {
        return e;
    } catch (...) {
        return std::nullopt;
    }
}

// Only a finite, non-negative number counts as a retry hint; a text never does.
std::optional<double> retryHint(const CloudKitError& error)
{
    const double* seconds = std::get_if<double>(&error.retryAfter());
    if (!seconds || !std::isfinite(*seconds) || *seconds < 0)
        return std::nullopt;
    return *seconds;
}

std::exception_ptr retryRule(const CloudKitError& item, const CloudKitError& outer)
{
    std::optional<double> best;
    for (const auto hint : {retryHint(item), retryHint(outer)}) {
        if (hint && (!best || *hint > *best))
            best = hint;
    }
    if (!best)
        return std::make_exception_ptr(CloudSyncError(CloudSyncError::Code::unavailable));
    return std::make_exception_ptr(CloudSyncError::retryLater(*best));
}

std::exception_ptr syncFailure(CloudSyncError::Code code)
{
    return std::make_exception_ptr(CloudSyncError(code));
}

} // namespace

std::optional<CloudKitError> CloudKitErrorMapper::itemError(std::exception_ptr error)
{
    auto outer = errorAs<CloudKitError>(error);
    if (!outer || outer->code() != CloudKitCode::partialFailure)
        return outer;
    const auto entry = outer->partialErrorsByItemID().value(CloudSnapshotCodec::recordID());
    if (entry) {
        if (auto item = errorAs<CloudKitError>(entry))
            return item;
    }
    return outer;
}

std::exception_ptr CloudKitErrorMapper::map(std::exception_ptr error)
{
    if (errorAs<CancellationError>(error) || errorAs<CloudSyncError>(error) || errorAs<UsageSyncError>(error))
        return error;
    const auto item = itemError(error);
    if (!item)
        return syncFailure(CloudSyncError::Code::unavailable);
    switch (item->code()) {
    case CloudKitCode::notAuthenticated:
        return syncFailure(CloudSyncError::Code::notSignedIn);
    case CloudKitCode::permissionFailure:
    case CloudKitCode::managedAccountRestricted:
        return syncFailure(CloudSyncError::Code::restricted);
    case CloudKitCode::badContainer:
    case CloudKitCode::missingEntitlement:
    case CloudKitCode::invalidArguments:
    case CloudKitCode::serverRejectedRequest:
    case CloudKitCode::badDatabase:
        return syncFailure(CloudSyncError::Code::invalidConfiguration);
    case CloudKitCode::serverRecordChanged:
        return std::make_exception_ptr(UsageSyncError(UsageSyncError::Code::olderSnapshot));
    case CloudKitCode::assetFileNotFound:
    case CloudKitCode::assetFileModified:
    case CloudKitCode::limitExceeded:
        return syncFailure(CloudSyncError::Code::invalidData);
    case CloudKitCode::operationCancelled:
        return std::make_exception_ptr(CancellationError());
    case CloudKitCode::quotaExceeded:
        return syncFailure(CloudSyncError::Code::quotaExceeded);
    default:
        return retryRule(*item, *errorAs<CloudKitError>(error));
    }
}

} // namespace vantorel
