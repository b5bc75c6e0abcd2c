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
            loaded.complete(SyncKeychain(*store, service).load<RegisteredSyncDevice>(account));
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
