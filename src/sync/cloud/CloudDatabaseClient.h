#pragma once

#include "core/foundation/CancelToken.h"
#include "sync/cloud/CloudRecord.h"

#include <QCoroTask>
#include <QDir>
#include <QString>
#include <QStringList>

#include <optional>

namespace vantorel {

// The store's only way to the cloud: the signed-in account and the one snapshot record.
// Main thread. Failures come as the service reported them (CloudKitError), as CloudSyncError for
// what the client detects itself, or as CancellationError.
class CloudDatabaseClient
{
public:
    virtual ~CloudDatabaseClient() = default;

    // The user record name of the signed-in account.
    virtual QCoro::Task<QString> accountIdentifier(CancelToken token) = 0;
    // The snapshot record with `desiredKeys` (all when absent), or nothing when it does not exist.
    virtual QCoro::Task<std::optional<CloudRecord>> fetchRecord(std::optional<QStringList> desiredKeys,
                                                                CancelToken token) = 0;
    // Saves the record unless the stored copy changed since it was fetched; gives the stored record.
    virtual QCoro::Task<CloudRecord> saveRecord(CloudRecord record, CancelToken token) = 0;
    // Ends every call in flight with CancellationError.
    virtual void cancel() = 0;
    // The folder in which the files attached to saved records are written.
    virtual QString temporaryDirectory() const { return QDir::tempPath(); }
};

} // namespace vantorel
