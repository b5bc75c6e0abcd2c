#include "sync/model/SyncCoding.h"
#include "sync/net/RegisteredSyncDevice.h"
#include "sync/net/SyncKeychain.h"
#include "support/FakeSecretStore.h"

#include "sync/net/NetTestOutcome.h"

#include <gtest/gtest.h>

#include <QList>

#include <cmath>
#include <functional>

using namespace vantorel;
using Operation = FakeSecretStore::Operation;

namespace {

const QString account = SyncKeychain::registeredDeviceAccount();

RegisteredSyncDevice registeredDevice(const QString& name, double pairedAt = 1'772'323'200.0)
{
    return {name, SyncCredential{QUuid("{5d1e2f3a-4b5c-4d6e-8f70-8192a3b4c5d6}"), QByteArray(32, 'k')},
            Date::fromUnixSeconds(pairedAt)};
}

} // namespace

TEST(SyncKeychainTest, SavesLoadsAndRemovesOneItemPerAccount)
{
    FakeSecretStore store;
    const SyncKeychain keychain(store, SyncKeychain::defaultService());
    EXPECT_EQ(keychain.load<RegisteredSyncDevice>(account), std::nullopt);

    keychain.save(registeredDevice(QStringLiteral("iPhone"), 1'772'323'200.75), account);
    // Stored exactly as the sync coder writes it, at whole-second precision.
    EXPECT_EQ(store.stored(SyncKeychain::defaultService(), account),
              SyncCoding::encode(registeredDevice(QStringLiteral("iPhone"), 1'772'323'200.0)));
    EXPECT_EQ(keychain.load<RegisteredSyncDevice>(account), registeredDevice(QStringLiteral("iPhone")));

    keychain.save(registeredDevice(QStringLiteral("二台目")), account);
    EXPECT_EQ(keychain.load<RegisteredSyncDevice>(account), registeredDevice(QStringLiteral("二台目")));

    // Another service never sees the item, even under the same account.
    const SyncKeychain other(store, QStringLiteral("other.service"));
    EXPECT_EQ(other.load<RegisteredSyncDevice>(account), std::nullopt);
    other.remove(account);
    EXPECT_TRUE(keychain.load<RegisteredSyncDevice>(account).has_value());

    keychain.remove(account);
    EXPECT_EQ(keychain.load<RegisteredSyncDevice>(account), std::nullopt);
    EXPECT_EQ(outcomeOf([&] { keychain.remove(account); }), "ok");
}

TEST(SyncKeychainTest, StoreFailuresBecomeKeychainFailureAndCodingErrorsPassThrough)
{
    const QString service = SyncKeychain::defaultService();
    struct Case
    {
        const char* name;
        std::function<void(FakeSecretStore&)> prepare;
        std::function<void(const SyncKeychain&)> call;
        std::string expected;
    };
    const QList<Case> cases = {
        {"locked store on load", [](FakeSecretStore& s) { s.setLocked(true); },
         [](const SyncKeychain& k) { k.load<RegisteredSyncDevice>(account); }, "keychainFailure"},
        {"failed save", [](FakeSecretStore& s) { s.failNext(Operation::save, SecretStore::Status::interactionNotAllowed); },
         [](const SyncKeychain& k) { k.save(registeredDevice(QStringLiteral("new")), account); }, "keychainFailure"},
        {"failed remove", [](FakeSecretStore& s) { s.failNext(Operation::remove, SecretStore::Status::internalComponent); },
         [](const SyncKeychain& k) { k.remove(account); }, "keychainFailure"},
        {"data that is not JSON", [&](FakeSecretStore& s) { s.put(service, account, "not json"); },
         [](const SyncKeychain& k) { k.load<RegisteredSyncDevice>(account); }, "decode"},
        {"data over the size limit", [&](FakeSecretStore& s) { s.put(service, account, QByteArray(2'097'153, ' ')); },
         [](const SyncKeychain& k) { k.load<RegisteredSyncDevice>(account); }, "invalidData"},
        {"value that cannot be encoded", [](FakeSecretStore& s) { s.failNext(Operation::save, SecretStore::Status::internalComponent); },
         [](const SyncKeychain& k) { k.save(registeredDevice(QStringLiteral("x"), std::nan("")), account); }, "encode"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSecretStore store;
        const SyncKeychain keychain(store, service);
        keychain.save(registeredDevice(QStringLiteral("old")), account);
        c.prepare(store);
        const auto before = store.stored(service, account);
        EXPECT_EQ(outcomeOf([&] { c.call(keychain); }), c.expected);
        EXPECT_EQ(store.stored(service, account), before) << "the item keeps its data";
    }
}
