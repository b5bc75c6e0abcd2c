#include "sync/cloud/CloudKitDatabaseClient.h"

#include "core/foundation/Sleeper.h"
#include "sync/cloud/CloudCallback.h"
#include "sync/cloud/CloudContainer.h"
#include "sync/cloud/CloudFetchRecordsOperation.h"
#include "sync/cloud/CloudModifyRecordsOperation.h"
#include "sync/cloud/CloudSnapshotCodec.h"

#include <QHash>
#include <QList>
#include <QScopeGuard>
#include <QUuid>

#include <functional>

namespace vantorel {

// Shared with the calls in flight, so a call that ends after the client is gone touches nothing
// freed. Main thread only.
struct CloudClientState
{
    std::shared_ptr<CloudContainer> container;
    Sleeper* sleeper = nullptr;
    QHash<QUuid, std::function<void()>> operations;
    QHash<QUuid, std::function<void()>> accountCancellations;
};

namespace {

using ClientState = CloudClientState;

template <typename T>
QCoro::Task<> failWhenDue(Sleeper& sleeper, CancelToken timer, CloudCallback<T> callback)
{
    try {
        co_await sleeper.sleep(CloudKitDatabaseClient::accountTimeoutSeconds, timer);
    } catch (const CancellationError&) {
        co_return;
    }
    callback.fail(CloudSyncError(CloudSyncError::Code::unavailable));
}

// Waits for the callback; the cancellation of the caller or of the operation wins over whatever
// arrived.
template <typename T>
QCoro::Task<T> awaitCallback(CloudCallback<T> callback, CancelToken token,
                             std::shared_ptr<CloudDatabaseOperation> operation)
{
    std::optional<T> value;
    std::exception_ptr error;
    try {
        value.emplace(co_await callback);
    } catch (...) {
        error = std::current_exception();
    }
    if (token.isCancelled() || (operation && operation->isCancelled()))
        throw CancellationError();
    if (error)
        std::rethrow_exception(error);
    co_return std::move(*value);
}

// One account request, raced against its time-out, the caller's cancellation and the client's
// cancel(); the first of them decides.
template <typename T>
QCoro::Task<T> accountCall(std::shared_ptr<ClientState> state, std::function<void(CloudCallback<T>)> start,
                           CancelToken token)
{
    token.throwIfCancelled();
    const CloudCallback<T> callback;
    const QUuid key = QUuid::createUuid();
    state->accountCancellations.insert(key, [callback] { callback.fail(CancellationError()); });
    CancelToken timer;
    failWhenDue(*state->sleeper, timer, callback);
    // Lambdas held by this frame go into std::function: GCC rejects a lambda's type in a coroutine
    // frame when this file is part of a unity batch.
    const auto cleanup = qScopeGuard(std::function<void()>([&] {
        timer.cancel();
        state->accountCancellations.remove(key);
    }));
    const auto registration = token.onCancel([callback] { callback.fail(CancellationError()); });
    if (!token.isCancelled())
        start(callback);
    co_return co_await awaitCallback<T>(callback, token, nullptr);
}

// One record operation. Cancelling it also resolves its callback, so a call ends even when the
// service never reports the cancelled operation.
template <typename T>
QCoro::Task<T> run(std::shared_ptr<ClientState> state, std::shared_ptr<CloudDatabaseOperation> operation,
                   CloudCallback<T> callback, CancelToken token)
{
    token.throwIfCancelled();
    const QUuid key = QUuid::createUuid();
    const std::function<void()> cancelOperation = [operation, callback] {
        operation->cancel();
        callback.fail(CancellationError());
    };
    state->operations.insert(key, cancelOperation);
    const auto cleanup = qScopeGuard(std::function<void()>([&] { state->operations.remove(key); }));
    operation->configuration = {false, CloudKitDatabaseClient::requestTimeoutSeconds,
                                CloudKitDatabaseClient::resourceTimeoutSeconds};
    operation->qualityOfService = CloudDatabaseOperation::QualityOfService::utility;
    // Decides only when the operation finished without reporting its result.
    operation->completionBlock = [weak = std::weak_ptr(operation), callback] {
        const auto finished = weak.lock();
        if (finished && finished->isCancelled())
            callback.fail(CancellationError());
        else
            callback.fail(CloudSyncError(CloudSyncError::Code::unavailable));
    };
    const auto registration = token.onCancel(cancelOperation);
    if (!token.isCancelled())
        state->container->add(operation);
    co_return co_await awaitCallback<T>(callback, token, operation);
}

// Per-record reports about another record than the one asked for count as invalid data.
template <typename T>
auto itemReporter(CloudCallback<T> callback, CloudRecordID expected)
{
    return [callback, expected](const CloudRecordID& id, const CloudRecordOutcome& outcome) {
        if (id != expected)
            callback.setItemResult(std::make_exception_ptr(CloudSyncError(CloudSyncError::Code::invalidData)));
        else if (const auto* error = std::get_if<std::exception_ptr>(&outcome))
            callback.setItemResult(*error);
        else
            callback.setItemResult(T(std::get<CloudRecord>(outcome)));
    };
}

QCoro::Task<QString> accountIdentifierTask(std::shared_ptr<ClientState> state, CancelToken token)
{
    token.throwIfCancelled();
    const std::function<void(CloudCallback<CloudAccountStatus>)> askStatus = [container = state->container](auto callback) {
        container->accountStatus([callback](CloudAccountStatus status, std::exception_ptr error) {
            if (error)
                callback.fail(error);
            else
                callback.resolve(status);
        });
    };
    const CloudAccountStatus status = co_await accountCall(state, askStatus, token);
    token.throwIfCancelled();
    switch (status) {
    case CloudAccountStatus::available:
        break;
    case CloudAccountStatus::restricted:
        throw CloudSyncError(CloudSyncError::Code::restricted);
    case CloudAccountStatus::noAccount:
        throw CloudSyncError(CloudSyncError::Code::notSignedIn);
    default:
        throw CloudSyncError(CloudSyncError::Code::unavailable);
    }
    const std::function<void(CloudCallback<CloudRecordID>)> askIdentity = [container = state->container](auto callback) {
        container->fetchUserRecordID([callback](std::optional<CloudRecordID> id, std::exception_ptr error) {
            if (error)
                callback.fail(error);
            else if (id)
                callback.resolve(*id);
            else
                callback.fail(CloudSyncError(CloudSyncError::Code::notSignedIn));
        });
    };
    const CloudRecordID user = co_await accountCall(state, askIdentity, token);
    token.throwIfCancelled();
    if (user.recordName.isEmpty())
        throw CloudSyncError(CloudSyncError::Code::notSignedIn);
    co_return user.recordName;
}

QCoro::Task<std::optional<CloudRecord>> fetchRecordTask(std::shared_ptr<ClientState> state,
                                                       std::optional<QStringList> desiredKeys, CancelToken token)
{
    auto operation = std::make_shared<CloudFetchRecordsOperation>(QList{CloudSnapshotCodec::recordID()});
    operation->desiredKeys = std::move(desiredKeys);
    const CloudCallback<std::optional<CloudRecord>> callback;
    operation->perRecordResultBlock = itemReporter(callback, CloudSnapshotCodec::recordID());
    operation->fetchRecordsResultBlock = [callback](std::exception_ptr error) { callback.finish(error); };
    try {
        co_return co_await run(state, operation, callback, token);
    } catch (...) {
        const auto item = CloudKitErrorMapper::itemError(std::current_exception());
        if (!item || item->code() != CloudKitError::Code::unknownItem)
            throw;
    }
    co_return std::nullopt;
}

QCoro::Task<CloudRecord> saveRecordTask(std::shared_ptr<ClientState> state, CloudRecord record, CancelToken token)
{
    const CloudRecordID id = record.recordID();
    auto operation = std::make_shared<CloudModifyRecordsOperation>(QList{std::move(record)}, QList<CloudRecordID>{});
    operation->savePolicy = CloudModifyRecordsOperation::SavePolicy::ifServerRecordUnchanged;
    operation->isAtomic = true;
    const CloudCallback<CloudRecord> callback;
    operation->perRecordSaveBlock = itemReporter(callback, id);
    operation->modifyRecordsResultBlock = [callback](std::exception_ptr error) { callback.finish(error); };
    co_return co_await run(state, operation, callback, token);
}

} // namespace

CloudKitDatabaseClient::CloudKitDatabaseClient(std::shared_ptr<CloudContainer> container, Sleeper& sleeper)
    : m_state(std::make_shared<CloudClientState>())
{
    m_state->container = std::move(container);
    m_state->sleeper = &sleeper;
}

CloudKitDatabaseClient::~CloudKitDatabaseClient()
{
    cancel();
}

QCoro::Task<QString> CloudKitDatabaseClient::accountIdentifier(CancelToken token)
{
    return accountIdentifierTask(m_state, std::move(token));
}

QCoro::Task<std::optional<CloudRecord>> CloudKitDatabaseClient::fetchRecord(std::optional<QStringList> desiredKeys,
                                                                            CancelToken token)
{
    return fetchRecordTask(m_state, std::move(desiredKeys), std::move(token));
}

QCoro::Task<CloudRecord> CloudKitDatabaseClient::saveRecord(CloudRecord record, CancelToken token)
{
    return saveRecordTask(m_state, std::move(record), std::move(token));
}

void CloudKitDatabaseClient::cancel()
{
    // Copies: a cancel action may end its call, which removes the entry.
    const auto operations = m_state->operations.values();
    for (const auto& cancelOperation : operations)
        cancelOperation();
    const auto accountCalls = m_state->accountCancellations.values();
    for (const auto& cancelCall : accountCalls)
        cancelCall();
}

QString CloudKitDatabaseClient::temporaryDirectory() const
{
    return m_state->container->temporaryDirectory();
}

int CloudKitDatabaseClient::callsInFlight() const
{
    return static_cast<int>(m_state->operations.size() + m_state->accountCancellations.size());
}

} // namespace vantorel
