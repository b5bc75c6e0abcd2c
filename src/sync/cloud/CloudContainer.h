#pragma once

#include "sync/cloud/CloudAccountStatus.h"
#include "sync/cloud/CloudDatabaseOperation.h"
#include "sync/cloud/CloudRecordID.h"

#include <QDir>
#include <QString>

#include <exception>
#include <functional>
#include <memory>
#include <optional>

namespace vantorel {

// The cloud account and its private database. Every call returns at once; its answer comes once,
// on any thread, possibly before the call returns.
class CloudContainer
{
public:
    // A status, and an error when the status could not be read.
    using StatusCompletion = std::function<void(CloudAccountStatus, std::exception_ptr)>;
    // The signed-in user's record identifier, or an error; both may be missing.
    using UserRecordIDCompletion = std::function<void(std::optional<CloudRecordID>, std::exception_ptr)>;

    virtual ~CloudContainer() = default;

    virtual void accountStatus(StatusCompletion completion) = 0;
    virtual void fetchUserRecordID(UserRecordIDCompletion completion) = 0;
    // Runs the operation on the private database (see CloudDatabaseOperation for how it reports).
    virtual void add(std::shared_ptr<CloudDatabaseOperation> operation) = 0;
    // Where the caller writes the files it attaches to records: beside the database when the
    // database is a local folder, so that an interrupted save leaves nothing elsewhere.
    virtual QString temporaryDirectory() const { return QDir::tempPath(); }
};

} // namespace vantorel
