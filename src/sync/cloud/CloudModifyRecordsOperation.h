#pragma once

#include "sync/cloud/CloudDatabaseOperation.h"

#include <QList>

namespace vantorel {

// Saves and deletes records. Under ifServerRecordUnchanged a save is refused (CloudKitError
// serverRecordChanged for the record) when the stored copy changed since the record was fetched;
// an atomic operation changes all of its records or none.
class CloudModifyRecordsOperation final : public CloudDatabaseOperation
{
public:
    enum class SavePolicy : int { ifServerRecordUnchanged = 0, changedKeys = 1, allKeys = 2 };

    CloudModifyRecordsOperation(QList<CloudRecord> recordsToSave, QList<CloudRecordID> recordIDsToDelete)
        : recordsToSave(std::move(recordsToSave))
        , recordIDsToDelete(std::move(recordIDsToDelete))
    {
    }

    void reportRecord(const CloudRecordID& id, const CloudRecordOutcome& outcome) const override
    {
        if (perRecordSaveBlock)
            perRecordSaveBlock(id, outcome);
    }
    void reportResult(std::exception_ptr error) const override
    {
        if (modifyRecordsResultBlock)
            modifyRecordsResultBlock(error);
    }

    QList<CloudRecord> recordsToSave;
    QList<CloudRecordID> recordIDsToDelete;
    SavePolicy savePolicy = SavePolicy::ifServerRecordUnchanged;
    bool isAtomic = true;
    // The record as stored, or the error for it.
    std::function<void(const CloudRecordID&, const CloudRecordOutcome&)> perRecordSaveBlock;
    // Null on success.
    std::function<void(std::exception_ptr)> modifyRecordsResultBlock;
};

} // namespace vantorel
