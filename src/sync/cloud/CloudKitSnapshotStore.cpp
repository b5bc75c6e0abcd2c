#include "sync/cloud/CloudKitSnapshotStore.h"

#include "core/foundation/CancellationError.h"
#include "sync/cloud/CloudAccountChangeNotifier.h"
#include "sync/cloud/CloudDatabaseClient.h"
#include "sync/cloud/CloudKitErrorMapper.h"
#include "sync/cloud/CloudSnapshotCodec.h"
#include "sync/cloud/CloudSyncError.h"
#include "sync/cloud/CloudTemporaryAsset.h"

#include <QScopeGuard>

namespace vantorel {

// Shared with the operations in flight, so one that ends after the store is gone touches nothing
// freed. Main thread only.
struct CloudStoreState
{
    struct Cached
    {
        QString accountID;
        CloudSnapshotMetadata metadata;
        UsageSyncSnapshot snapshot;
    };

    std::shared_ptr<CloudDatabaseClient> client;
    // Replaced when an operation begins, by cancel() and by an account change.
    QUuid generation = QUuid::createUuid();
    // Replaced only by an account change.
    QUuid accountGeneration = QUuid::createUuid();
    std::optional<Cached> cached;
};

namespace {

using StoreState = CloudStoreState;

struct Request
{
    QUuid id;
    QUuid accountGeneration;
};

Request begin(StoreState& state, const CancelToken& token)
{
    token.throwIfCancelled();
    state.client->cancel();
    state.generation = QUuid::createUuid();
    return Request{state.generation, state.accountGeneration};
}

// An account change outranks being overtaken; the caller's own cancellation outranks both.
void check(const StoreState& state, const Request& request, const CancelToken& token)
{
    token.throwIfCancelled();
    if (state.accountGeneration != request.accountGeneration)
        throw CloudSyncError(CloudSyncError::Code::accountChanged);
    if (state.generation != request.id)
        throw CancellationError();
}

bool losesAccount(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const CloudSyncError& failure) {
        const auto code = failure.code();
        return code == CloudSyncError::Code::notSignedIn || code == CloudSyncError::Code::restricted
            || code == CloudSyncError::Code::accountChanged;
    } catch (...) {
        return false;
    }
}

[[noreturn]] void fail(StoreState& state, const Request& request, const CancelToken& token, std::exception_ptr error)
{
    const auto mapped = CloudKitErrorMapper::map(error);
    if (state.generation == request.id && losesAccount(mapped))
        state.cached.reset();
    check(state, request, token);
    std::rethrow_exception(mapped);
}

QCoro::Task<QString> verifyAccount(std::shared_ptr<StoreState> state, std::optional<QString> expected, Request request,
                                   CancelToken token)
{
    check(*state, request, token);
    if (expected && expected->isEmpty())
        throw CloudSyncError(CloudSyncError::Code::accountChanged);
    const QString account = co_await state->client->accountIdentifier(token);
    check(*state, request, token);
    if (account.isEmpty())
        throw CloudSyncError(CloudSyncError::Code::notSignedIn);
    if (expected && account != *expected)
        throw CloudSyncError(CloudSyncError::Code::accountChanged);
    if (state->cached && state->cached->accountID != account)
        state->cached.reset();
    co_return account;
}

QStringList payloadKeys()
{
    return CloudSnapshotCodec::metadataKeys() + QStringList{CloudSnapshotCodec::payloadKey};
}

QCoro::Task<QString> accountIdentifierTask(std::shared_ptr<StoreState> state, CancelToken token)
{
    const Request request = begin(*state, token);
    try {
        const QString account = co_await verifyAccount(state, std::nullopt, request, token);
        check(*state, request, token);
        co_return account;
    } catch (...) {
        fail(*state, request, token, std::current_exception());
    }
}

QCoro::Task<std::optional<UsageSyncSnapshot>> fetchTask(std::shared_ptr<StoreState> state, QString expected,
                                                        CancelToken token)
{
    const Request request = begin(*state, token);
    try {
        co_await verifyAccount(state, expected, request, token);
        const auto record = co_await state->client->fetchRecord(CloudSnapshotCodec::metadataKeys(), token);
        co_await verifyAccount(state, expected, request, token);
        const auto metadata = record ? CloudSnapshotCodec::metadata(*record) : std::nullopt;
        if (!metadata) {
            state->cached.reset();
            check(*state, request, token);
            co_return std::nullopt;
        }
        const auto& cached = state->cached;
        if (cached && cached->accountID == expected && cached->metadata.hostID == metadata->hostID
            && !CloudSnapshotCodec::shouldSave(*metadata, cached->metadata)) {
            UsageSyncSnapshot snapshot = cached->snapshot;
            check(*state, request, token);
            co_return snapshot;
        }
        const auto full = co_await state->client->fetchRecord(payloadKeys(), token);
        co_await verifyAccount(state, expected, request, token);
        const auto fullMetadata = full ? CloudSnapshotCodec::metadata(*full) : std::nullopt;
        if (!fullMetadata) {
            state->cached.reset();
            check(*state, request, token);
            co_return std::nullopt;
        }
        if (*fullMetadata != *metadata)
            throw CloudSyncError::retryLater(1);
        const auto snapshot = CloudSnapshotCodec::decode(*full, token);
        if (!snapshot)
            throw CloudSyncError(CloudSyncError::Code::invalidData);
        check(*state, request, token);
        state->cached = CloudStoreState::Cached{expected, *metadata, *snapshot};
        co_return snapshot;
    } catch (...) {
        fail(*state, request, token, std::current_exception());
    }
}

QCoro::Task<> saveTask(std::shared_ptr<StoreState> state, UsageSyncSnapshot snapshot, QString expected, CancelToken token)
{
    const Request request = begin(*state, token);
    try {
        const CloudSnapshotPayload payload = CloudSnapshotCodec::encode(snapshot);
        co_await verifyAccount(state, expected, request, token);
        const auto existing = co_await state->client->fetchRecord(CloudSnapshotCodec::metadataKeys(), token);
        co_await verifyAccount(state, expected, request, token);
        const auto stored = existing ? CloudSnapshotCodec::metadata(*existing) : std::nullopt;
        if (CloudSnapshotCodec::shouldSave(payload.metadata, stored)) {
            const CloudTemporaryAsset asset(payload.data, state->client->temporaryDirectory());
            const auto removeAsset = qScopeGuard([&] { asset.remove(); });
            const CloudRecord next = CloudSnapshotCodec::record(payload, asset.url(), existing);
            check(*state, request, token);
            co_await state->client->saveRecord(next, token);
            co_await verifyAccount(state, expected, request, token);
            state->cached.reset();
        }
        check(*state, request, token);
    } catch (...) {
        fail(*state, request, token, std::current_exception());
    }
}

QCoro::Task<> deleteTask(std::shared_ptr<StoreState> state, QUuid hostID, QString expected, CancelToken token)
{
    const Request request = begin(*state, token);
    try {
        co_await verifyAccount(state, expected, request, token);
        const auto existing = co_await state->client->fetchRecord(CloudSnapshotCodec::metadataKeys(), token);
        co_await verifyAccount(state, expected, request, token);
        const auto stored = existing ? CloudSnapshotCodec::metadata(*existing) : std::nullopt;
        if (stored) {
            if (stored->hostID != hostID)
                throw CloudSyncError(CloudSyncError::Code::anotherMac);
            const CloudRecord tombstone = CloudSnapshotCodec::tombstone(*existing);
            check(*state, request, token);
            co_await state->client->saveRecord(tombstone, token);
            co_await verifyAccount(state, expected, request, token);
        }
        state->cached.reset();
        check(*state, request, token);
    } catch (...) {
        fail(*state, request, token, std::current_exception());
    }
}

} // namespace

CloudKitSnapshotStore::CloudKitSnapshotStore(std::shared_ptr<CloudDatabaseClient> client,
                                             CloudAccountChangeNotifier* notifier)
    : m_state(std::make_shared<CloudStoreState>())
{
    m_state->client = std::move(client);
    if (notifier) {
        QObject::connect(notifier, &CloudAccountChangeNotifier::accountChanged, &m_context, [state = m_state] {
            state->accountGeneration = QUuid::createUuid();
            state->generation = QUuid::createUuid();
            state->cached.reset();
            state->client->cancel();
        });
    }
}

CloudKitSnapshotStore::~CloudKitSnapshotStore() = default;

QCoro::Task<QString> CloudKitSnapshotStore::accountIdentifier(CancelToken token)
{
    return accountIdentifierTask(m_state, std::move(token));
}

QCoro::Task<std::optional<UsageSyncSnapshot>> CloudKitSnapshotStore::fetchSnapshot(QString expectedAccountID,
                                                                                   CancelToken token)
{
    return fetchTask(m_state, std::move(expectedAccountID), std::move(token));
}

QCoro::Task<> CloudKitSnapshotStore::saveSnapshot(UsageSyncSnapshot snapshot, QString expectedAccountID,
                                                  CancelToken token)
{
    return saveTask(m_state, std::move(snapshot), std::move(expectedAccountID), std::move(token));
}

QCoro::Task<> CloudKitSnapshotStore::deleteSnapshot(QUuid hostID, QString expectedAccountID, CancelToken token)
{
    return deleteTask(m_state, hostID, std::move(expectedAccountID), std::move(token));
}

void CloudKitSnapshotStore::cancel()
{
    m_state->generation = QUuid::createUuid();
    m_state->cached.reset();
    m_state->client->cancel();
}

} // namespace vantorel
