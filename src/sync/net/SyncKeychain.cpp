#include "sync/net/SyncKeychain.h"

namespace vantorel {

SyncKeychain::SyncKeychain(SecretStore& store, QString service)
    : m_store(&store)
    , m_service(std::move(service))
{
}

std::optional<QByteArray> SyncKeychain::read(const QString& account) const
{
    SecretStore::ReadResult result = m_store->read(m_service, account);
    switch (result.kind) {
    case SecretStore::ReadResult::Kind::value:
        return std::move(result.value);
    case SecretStore::ReadResult::Kind::missing:
        return std::nullopt;
    case SecretStore::ReadResult::Kind::temporarilyUnavailable:
        break;
    }
    throw UsageSyncError(UsageSyncError::Code::keychainFailure);
}

void SyncKeychain::write(const QString& account, const QByteArray& data) const
{
    try {
        m_store->save(m_service, account, data);
    } catch (const SecretStoreError&) {
        throw UsageSyncError(UsageSyncError::Code::keychainFailure);
    }
}

void SyncKeychain::remove(const QString& account) const
{
    try {
        m_store->remove(m_service, account);
    } catch (const SecretStoreError&) {
        throw UsageSyncError(UsageSyncError::Code::keychainFailure);
    }
}

} // namespace vantorel
