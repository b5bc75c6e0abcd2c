#pragma once

#include "core/foundation/CancelToken.h"
#include "sync/model/UsageSyncSnapshot.h"

#include <QCoroTask>
#include <QString>
#include <QUuid>

#include <optional>

namespace vantorel {

// The one snapshot record in the user's private cloud database, bound to an expected account.
// Main thread. Failures are CancellationError, CloudSyncError or UsageSyncError only.
class CloudSnapshotStoring
{
public:
    virtual ~CloudSnapshotStoring() = default;

    // The signed-in account's user record name; never empty.
    virtual QCoro::Task<QString> accountIdentifier(CancelToken token) = 0;
    // The stored snapshot, fully checked, or nothing when none is published (no record, or a
    // tombstone).
    virtual QCoro::Task<std::optional<UsageSyncSnapshot>> fetchSnapshot(QString expectedAccountID, CancelToken token) = 0;
    // Returns when the snapshot is stored, also when the same one already was.
    virtual QCoro::Task<> saveSnapshot(UsageSyncSnapshot snapshot, QString expectedAccountID, CancelToken token) = 0;
    // Replaces this host's snapshot by a tombstone; returns also when there was nothing to delete.
    virtual QCoro::Task<> deleteSnapshot(QUuid hostID, QString expectedAccountID, CancelToken token) = 0;
    // Ends every operation in flight with CancellationError.
    virtual void cancel() = 0;
};

} // namespace vantorel
