#pragma once

#include "app/syncui/MacSyncDeviceStorage.h"

#include <QString>

#include <memory>

namespace vantorel {

class SecretStore;

// The registered iPhone as one item of the user's secret store. The read runs on a thread of its
// own so that a store waiting to be unlocked never stalls the GUI thread; writes stay on the
// caller's thread because the server's approval needs them done before it confirms.
class MacSyncKeychainStorage final : public MacSyncDeviceStorage
{
public:
    explicit MacSyncKeychainStorage(std::shared_ptr<SecretStore> store, QString service = defaultService(),
                                    QString account = defaultAccount());

    static QString defaultService();
    static QString defaultAccount();

    QCoro::Task<std::optional<RegisteredSyncDevice>> load(CancelToken token) override;
    void save(const RegisteredSyncDevice& device) override;
    void remove() override;

private:
    std::shared_ptr<SecretStore> m_store;
    QString m_service;
    QString m_account;
};

} // namespace vantorel
