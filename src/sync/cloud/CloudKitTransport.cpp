#include "sync/cloud/CloudKitTransport.h"

#include "core/foundation/CancellationError.h"
#include "sync/cloud/CloudSnapshotStoring.h"
#include "sync/cloud/CloudSyncError.h"

#include <QPointer>

namespace vantorel {

CloudKitTransport::CloudKitTransport(std::shared_ptr<CloudSnapshotStoring> store, QString accountID, QUuid hostID)
    : m_store(std::move(store))
    , m_accountID(std::move(accountID))
    , m_hostID(hostID)
{
}

void CloudKitTransport::cancel()
{
    m_operationID.reset();
    m_store->cancel();
}

QCoro::Task<UsageSyncSnapshot> CloudKitTransport::fetchSnapshot(CancelToken token)
{
    if (m_operationID) {
        m_operationID.reset();
        m_store->cancel();
    }
    const QUuid operation = QUuid::createUuid();
    m_operationID = operation;
    const QPointer<CloudKitTransport> self(this);
    const auto store = m_store;
    const QString accountID = m_accountID;
    const QUuid hostID = m_hostID;

    std::optional<UsageSyncSnapshot> snapshot;
    std::exception_ptr failure;
    try {
        token.throwIfCancelled();
        snapshot = co_await store->fetchSnapshot(accountID, token);
    } catch (...) {
        failure = std::current_exception();
    }
    // Only the latest fetch delivers; a superseded one leaves the newer one's token alone.
    const bool current = self && self->m_operationID == operation;
    if (current)
        self->m_operationID.reset();
    if (!current || token.isCancelled())
        throw CancellationError();
    if (failure)
        std::rethrow_exception(failure);
    if (!snapshot)
        throw CloudSyncError(CloudSyncError::Code::notPublished);
    co_return snapshot->validated(hostID);
}

} // namespace vantorel
