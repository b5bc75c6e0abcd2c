#pragma once

#include "core/foundation/CancellationError.h"
#include "sync/cloud/CloudKitError.h"
#include "sync/cloud/CloudSnapshotCodec.h"
#include "sync/cloud/CloudSyncError.h"
#include "sync/model/UsageSyncError.h"
#include "support/TaskOutcome.h"

#include <array>
#include <functional>
#include <string>

namespace vantorel::test {

// A failure as tables compare it: "invalidData", "retryLater(12.5)", "usage.olderSnapshot",
// "cancelled", "ck14" (a CloudKitError's code), "damaged(<path>)" (a damaged local entry) or
// "other".
inline std::string errorName(const std::exception_ptr& error)
{
    static const std::array<const char*, 10> cases = {"retryLater", "notSignedIn", "restricted", "accountChanged",
        "notPublished", "anotherMac", "unavailable", "invalidConfiguration", "quotaExceeded", "invalidData"};
    try {
        std::rethrow_exception(error);
    } catch (const CloudSyncError& e) {
        if (!e.localEntry().isEmpty())
            return "damaged(" + e.localEntry().toStdString() + ")";
        const auto seconds = e.retryAfterSeconds();
        return cases[static_cast<std::size_t>(e.code())] + (seconds ? "(" + QString::number(*seconds).toStdString() + ")" : "");
    } catch (const UsageSyncError& e) {
        return "usage." + rawValue(e.code()).toStdString();
    } catch (const CancellationError&) {
        return "cancelled";
    } catch (const CloudKitError& e) {
        return "ck" + std::to_string(static_cast<int>(e.code()));
    } catch (...) {
        return "other";
    }
}

inline std::string outcomeOf(const std::function<void()>& call)
{
    try {
        call();
        return "ok";
    } catch (...) {
        return errorName(std::current_exception());
    }
}

// "waiting", the error's name, or the value's text.
inline std::string nameOf(const TaskOutcome<QString>& outcome)
{
    return !outcome.finished ? "waiting" : outcome.error ? errorName(outcome.error) : outcome.value->toStdString();
}

// A task without a value as one that gives "ok", so its outcome can be named.
inline QCoro::Task<QString> named(QCoro::Task<> task)
{
    co_await std::move(task);
    co_return QStringLiteral("ok");
}

// Runs the task to its end (answers may come from other threads) and names how it ended.
inline std::string finish(QCoro::Task<> task)
{
    return nameOf(waitForOutcome(named(std::move(task))));
}

inline std::exception_ptr ck(CloudKitError::Code code, CloudKitError::RetryAfter retryAfter = {})
{
    return std::make_exception_ptr(CloudKitError(code, std::move(retryAfter)));
}

// A partial failure with an entry for another record, and `snapshotEntry` for the snapshot
// record unless it is null.
inline std::exception_ptr partial(std::exception_ptr snapshotEntry, CloudKitError::RetryAfter retryAfter = {})
{
    CloudKitError::PartialErrors entries{{CloudRecordID{"other-record"}, ck(CloudKitError::Code::quotaExceeded)}};
    if (snapshotEntry)
        entries.insert(CloudSnapshotCodec::recordID(), snapshotEntry);
    return std::make_exception_ptr(CloudKitError(CloudKitError::Code::partialFailure, std::move(retryAfter), entries));
}

} // namespace vantorel::test
