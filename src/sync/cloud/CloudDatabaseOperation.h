#pragma once

#include "sync/cloud/CloudRecord.h"

#include <atomic>
#include <exception>
#include <functional>
#include <variant>

namespace vantorel {

// What one record operation reports about one record: the record, or the error for it.
using CloudRecordOutcome = std::variant<CloudRecord, std::exception_ptr>;

// A request to the private database. The submitter configures it and sets its blocks before
// handing it over; the database then reports through the blocks, on any thread: once per record,
// once for the whole operation, and finally runs `completionBlock`. A cancelled operation reports
// itself as cancelled (CloudKitError operationCancelled).
class CloudDatabaseOperation
{
public:
    enum class QualityOfService : int {
        userInteractive = 0x21,
        userInitiated = 0x19,
        utility = 0x11,
        background = 0x09,
        standard = -1,
    };

    struct Configuration
    {
        bool isLongLived = false;
        double timeoutIntervalForRequest = 60;
        double timeoutIntervalForResource = 604'800;
    };

    virtual ~CloudDatabaseOperation() = default;

    // For the database: call the block that reports about one record, or the result block of the
    // whole operation (null error: success). Blocks that are not set are skipped.
    virtual void reportRecord(const CloudRecordID& id, const CloudRecordOutcome& outcome) const = 0;
    virtual void reportResult(std::exception_ptr error) const = 0;

    // Safe from any thread.
    void cancel() { m_cancelled.store(true); }
    bool isCancelled() const { return m_cancelled.load(); }

    Configuration configuration;
    QualityOfService qualityOfService = QualityOfService::standard;
    std::function<void()> completionBlock;

private:
    std::atomic<bool> m_cancelled{false};
};

} // namespace vantorel
