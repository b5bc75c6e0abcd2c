#include "SyncUiFixtures.h"

#include "app/platform/SecretServiceStore.h"
#include "app/syncui/MacSyncCoordinator.h"
#include "app/syncui/MacSyncKeychainStorage.h"
#include "core/foundation/InMemorySettingsStore.h"
#include "sync/model/SyncCoding.h"
#include "support/FakeMacSyncServing.h"
#include "support/FakeSecretStore.h"
#include "support/ManualSleeper.h"
#include "support/TaskOutcome.h"

#include <gtest/gtest.h>

#include <future>

using namespace vantorel;
using namespace vantorel::test;

namespace {

const RegisteredSyncDevice phone{QStringLiteral("iPhone"), SyncCredential{idNumber(7), QByteArray(32, 'k')}, syncNow};

// Reads wait until released, so a load can be cancelled while the worker reads.
class BlockingSecretStore final : public FakeSecretStore
{
public:
    ReadResult read(const QString& service, const QString& account) override
    {
        released.wait();
        return FakeSecretStore::read(service, account);
    }
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
};

} // namespace

TEST(MacSyncKeychainStorage, CancellingTheLoadEndsItAtOnceAndChangesNothing)
{
    auto store = std::make_shared<BlockingSecretStore>();
    store->put(MacSyncKeychainStorage::defaultService(), MacSyncKeychainStorage::defaultAccount(),
               SyncCoding::encode(phone));
    auto storage = std::make_shared<MacSyncKeychainStorage>(store);
    CancelToken token;
    const auto outcome = startTask(storage->load(token));
    token.cancel();
    drainEvents();
    EXPECT_TRUE(outcome->finished && outcome->cancelled());

    // The coordinator's load, cancelled by switching sync off mid-read, reports nothing.
    auto defaults = std::make_shared<InMemorySettingsStore>();
    defaults->set(MacSyncCoordinator::enabledKey(), true);
    FakeMacSyncServers servers;
    MacSyncCoordinator sync(defaults, storage, QStringLiteral("Studio"), [] { return syncNow; },
                            std::make_shared<ManualSleeper>(), servers.factory());
    sync.setEnabled(false);
    store->release.set_value();
    drainEvents();
    EXPECT_FALSE(sync.registeredDevice() || sync.errorMessage() || sync.registrationNeedsAttention());
    EXPECT_TRUE(servers.created.isEmpty());
}

TEST(SecretServiceKeychainStorageIntegration, SaveLoadAndRemoveOnTheKeyring)
{
    if (!std::getenv("VANTOREL_TEST_SECRET_SERVICE"))
        GTEST_SKIP() << "no keyring daemon in this session";
    MacSyncKeychainStorage storage(std::make_shared<SecretServiceStore>(),
                                   u"vantorel.test." + QUuid::createUuid().toString(QUuid::WithoutBraces));
    storage.save(phone);
    EXPECT_EQ(waitForOutcome(storage.load(CancelToken())).value, phone);
    storage.remove();
    EXPECT_EQ(waitForOutcome(storage.load(CancelToken())).value, std::make_optional(std::optional<RegisteredSyncDevice>()));
}
