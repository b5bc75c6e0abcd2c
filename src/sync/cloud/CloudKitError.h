#pragma once

#include "sync/cloud/CloudRecordID.h"

#include <QHash>
#include <QString>

#include <exception>
#include <string>
#include <variant>

namespace vantorel {

// A failure reported by the cloud record service, in the service's own numbering. Besides its
// code it may carry how long to wait before retrying (absent, a number, or, from a careless
// server, a text) and, for a partial failure, one error per record.
class CloudKitError : public std::exception
{
public:
    // The codes the store tells apart; any other value may arrive.
    enum class Code : int {
        partialFailure = 2,
        badContainer = 5,
        serviceUnavailable = 6,
        requestRateLimited = 7,
        missingEntitlement = 8,
        notAuthenticated = 9,
        permissionFailure = 10,
        unknownItem = 11,
        invalidArguments = 12,
        resultsTruncated = 13,
        serverRecordChanged = 14,
        serverRejectedRequest = 15,
        assetFileNotFound = 16,
        assetFileModified = 17,
        operationCancelled = 20,
        badDatabase = 24,
        quotaExceeded = 25,
        limitExceeded = 27,
        managedAccountRestricted = 32,
    };

    using RetryAfter = std::variant<std::monostate, double, QString>;
    using PartialErrors = QHash<CloudRecordID, std::exception_ptr>;

    explicit CloudKitError(Code code, RetryAfter retryAfter = {}, PartialErrors partialErrorsByItemID = {});

    Code code() const { return m_code; }
    const RetryAfter& retryAfter() const { return m_retryAfter; }
    const PartialErrors& partialErrorsByItemID() const { return m_partialErrors; }

    const char* what() const noexcept override { return m_what.c_str(); }

private:
    Code m_code;
    RetryAfter m_retryAfter;
    PartialErrors m_partialErrors;
    std::string m_what;
};

} // namespace vantorel
