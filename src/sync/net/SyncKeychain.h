#pragma once

#include "core/foundation/SecretStore.h"
#include "core/foundation/SecretStoreError.h"
#include "sync/model/SyncCoding.h"
#include "sync/model/UsageSyncError.h"

#include <QString>

#include <optional>

namespace vantorel {

// Keeps one sync value per account as an item of the user's secret store under one service
// name, coded as sync JSON. Synchronous: each call blocks its thread for the store's own
// bounded time. Store failures become UsageSyncError(keychainFailure); coding errors pass
// through unchanged. Nothing is cached.
class SyncKeychain
{
public:
    // Where the Mac keeps its paired companion (a RegisteredSyncDevice).
    static QString defaultService() { return QStringLiteral("vantorel.monitor.sync"); }
    static QString registeredDeviceAccount() { return QStringLiteral("registeredDevice"); }

    // `store` must outlive the keychain.
    SyncKeychain(SecretStore& store, QString service);

    const QString& service() const { return m_service; }

    // The value stored for `account`, or nothing when there is no item. Throws keychainFailure
    // when the item cannot be read now (a locked store), and the decoder's errors when its data
    // is not a T (JsonDecodeError, or invalidData when over the size limit); the item stays.
    template <typename T>
    std::optional<T> load(const QString& account) const
    {
        const std::optional<QByteArray> data = read(account);
        if (!data)
            return std::nullopt;
        return SyncCoding::decode<T>(*data);
    }

    // Writes the value as the item of `account`, replacing its data or creating it. An encoding
    // error is thrown before the store is touched; a store failure keeps the old data.
    template <typename T>
    void save(const T& value, const QString& account) const
    {
        write(account, SyncCoding::encode(value));
    }

    // Deletes the item; a missing item counts as removed.
    void remove(const QString& account) const;

private:
    std::optional<QByteArray> read(const QString& account) const;
    void write(const QString& account, const QByteArray& data) const;

    SecretStore* m_store;
    QString m_service;
};

} // namespace vantorel
