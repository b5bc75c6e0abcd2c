#include "app/syncui/MacSyncKeychainStorage.h"

#include "core/foundation/PendingCompletion.h"
#include "sync/net/SyncKeychain.h"

#include <thread>

namespace vantorel {

namespace {

using Loaded = std::optional<RegisteredSyncDevice>;

// A detached thread rather than a pool: a read stuck on the store must not hold up shutdown. A
// cancelled caller returns at once; the read ends within the store's own time-out and its answer
// is dropped.
QCoro::Task<Loaded> loadOnWorkerThread(std::shared_ptr<SecretStore> store, QString service, QString account,
                                       CancelToken token)
{
    token.throwIfCancelled();
    PendingCompletion<Loaded> loaded;
    const auto registration = token.onCancel([loaded] { loaded.cancel(); });
    std::thread([loaded, store = std::move(store), service = std::move(service), account = std::move(account)] {
        try {
            // One read, so that a secret service that is not there at all is told apart from
            // one that cannot be read now: nothing can have been registered without one.
            const SecretStore::ReadResult result = store->read(service, account);
            switch (result.kind) {
            case SecretStore::ReadResult::Kind::value:
                loaded.complete(SyncCoding::decode<RegisteredSyncDevice>(result.value));
                return;
            case SecretStore::ReadResult::Kind::missing:
                loaded.complete(std::nullopt);
                return;
            case SecretStore::ReadResult::Kind::temporarilyUnavailable:
                if (result.status == SecretStore::Status::notAvailable)
                    throw SecretStoreError(result.status);
                break;
            }
            throw UsageSyncError(UsageSyncError::Code::keychainFailure);
        } catch (...) {
            loaded.fail(std::current_exception());
        }
    }).detach();
    Loaded result = co_await loaded;
    token.throwIfCancelled();
    co_return result;
}

} // namespace

MacSyncKeychainStorage::MacSyncKeychainStorage(std::shared_ptr<SecretStore> store, QString service, QString account)
    : m_store(std::move(store))
    , m_service(std::move(service))
    , m_account(std::move(account))
{
}

QString MacSyncKeychainStorage::defaultService()
{
    return SyncKeychain::defaultService();
}

QString MacSyncKeychainStorage::defaultAccount()
{
    return SyncKeychain::registeredDeviceAccount();
}

QCoro::Task<std::optional<RegisteredSyncDevice>> MacSyncKeychainStorage::load(CancelToken token)
{
    return loadOnWorkerThread(m_store, m_service, m_account, std::move(token));
}

void MacSyncKeychainStorage::save(const RegisteredSyncDevice& device)
{
    SyncKeychain(*m_store, m_service).save(device, m_account);
}

void MacSyncKeychainStorage::remove()
{
    SyncKeychain(*m_store, m_service).remove(m_account);
}

} // namespace vantorel
