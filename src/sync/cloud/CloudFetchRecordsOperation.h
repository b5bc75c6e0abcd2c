#pragma once

#include "sync/cloud/CloudDatabaseOperation.h"

#include <QList>
#include <QStringList>

#include <optional>

namespace vantorel {

// Fetches records by identifier, with only `desiredKeys` filled in when given. A record that does
// not exist is reported as CloudKitError unknownItem for its identifier.
class CloudFetchRecordsOperation final : public CloudDatabaseOperation
{
public:
    explicit CloudFetchRecordsOperation(QList<CloudRecordID> recordIDs)
        : recordIDs(std::move(recordIDs))
    {
    }

    void reportRecord(const CloudRecordID& id, const CloudRecordOutcome& outcome) const override
    {
        if (perRecordResultBlock)
            perRecordResultBlock(id, outcome);
    }
    void reportResult(std::exception_ptr error) const override
    {
        if (fetchRecordsResultBlock)
            fetchRecordsResultBlock(error);
    }

    QList<CloudRecordID> recordIDs;
    std::optional<QStringList> desiredKeys;
    std::function<void(const CloudRecordID&, const CloudRecordOutcome&)> perRecordResultBlock;
    // Null on success.
    std::function<void(std::exception_ptr)> fetchRecordsResultBlock;
};

} // namespace vantorel
