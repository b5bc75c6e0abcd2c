#include "SyncUiFixtures.h"

#include "app/syncui/MacSyncCoordinator.h"
#include "core/foundation/InMemorySettingsStore.h"
#include "core/foundation/UuidText.h"
#include "sync/model/SyncDisplayName.h"
#include "sync/model/UsageSyncError.h"
#include "app/syncui/MacSyncKeychainStorage.h"
#include "support/DrainEvents.h"
#include "support/FakeSecretStore.h"
#include "support/LoopbackSyncNetworkServices.h"
#include "support/TaskOutcome.h"
#include "sync/net/LocalNetworkTransport.h"
#include "sync/net/LocalSyncServer.h"
#include "support/FakeMacSyncServing.h"
#include "support/ManualSleeper.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QTest>

using namespace vantorel;
using namespace vantorel::test;
using namespace Qt::Literals::StringLiterals;
using Code = UsageSyncError::Code;

namespace {

class DisplaySource : public QObject
{
    Q_OBJECT
signals:
    void changed();

public:
    MacSyncDisplayInput input = displayInput();
};

const RegisteredSyncDevice phone{u"iPhone"_s, SyncCredential{idNumber(77), QByteArray(32, 'k')}, syncNow};

struct Rig
{
    ManualClock clock{syncNow};
    std::shared_ptr<ManualSleeper> sleeper = std::make_shared<ManualSleeper>(clock);
    std::shared_ptr<InMemorySettingsStore> defaults = std::make_shared<InMemorySettingsStore>();
    std::shared_ptr<FakeMacSyncDeviceStorage> storage = std::make_shared<FakeMacSyncDeviceStorage>();
    FakeMacSyncServers servers;
    DisplaySource source;
    std::unique_ptr<MacSyncCoordinator> sync;

    // Cancelled sleeps resume on a later turn; let them end so nothing is left suspended.
    ~Rig()
    {
        sync.reset();
        drainEvents();
    }

    MacSyncCoordinator& make(const QString& hostName = u"Studio"_s)
    {
        sync.reset();
        sync = std::make_unique<MacSyncCoordinator>(defaults, storage, hostName, clock.clock(), sleeper, servers.factory());
        sync->observe<DisplaySource>(&source, [](const DisplaySource& s) { return s.input; });
        drainEvents();
        return *sync;
    }
    // Serving, with a pending request on a displayed invitation.
    MacSyncCoordinator& pairing()
    {
        make().setEnabled(true);
        drainEvents();
        servers.invitation = PairingInvitation(sync->hostID(), u"Studio"_s, SyncCredential{idNumber(1), QByteArray(32, 'p')},
                                               clock.now() + 300);
        sync->beginPairing();
        servers.pairingHandlers.last()(SyncPairingRequest{idNumber(2), u"iPhone"_s, clock.now() + 300});
        return *sync;
    }
};

} // namespace

TEST(MacSyncCoordinator, HostIdentityAndNameAreStoredAndCleaned)
{
    for (const QString& stored : {u"not-a-uuid"_s, uuidText(idNumber(5)).toLower()}) {
        Rig rig;
        rig.defaults->set(MacSyncCoordinator::hostIDKey(), stored);
        const QUuid id = rig.make().hostID();
        EXPECT_EQ(id == idNumber(5), stored != u"not-a-uuid"_s);
        EXPECT_EQ(rig.defaults->stringValue(MacSyncCoordinator::hostIDKey()), uuidText(id));
    }
    for (const auto& [name, expected] : {std::pair{u"Taro's Mac 🍎\u200B"_s, u"Taro's Mac"_s},
                                         {QString(150, u'm'), QString(100, u'm')}}) {
        Rig rig;
        rig.make(name).setEnabled(true);
        drainEvents();
        EXPECT_TRUE(rig.sync->enabled());
        EXPECT_EQ(rig.sync->latestSnapshot()->hostName, expected);
        EXPECT_EQ(rig.servers.created.value(0).second, expected);
    }
}

TEST(MacSyncCoordinator, SwitchingRevocationAndWake)
{
    Rig rig;
    rig.defaults->set(MacSyncCoordinator::enabledKey(), true);
    rig.defaults->set(MacSyncCoordinator::revocationPendingKey(), true);
    rig.make().setEnabled(true);
    EXPECT_FALSE(rig.sync->enabled());
    EXPECT_EQ(rig.defaults->boolValue(MacSyncCoordinator::enabledKey()), false);
    EXPECT_EQ(rig.sync->errorMessage(), u"登録解除が完了していません。解除を再試行してください。"_s);
    EXPECT_TRUE(rig.servers.created.isEmpty());

    rig.defaults->remove(MacSyncCoordinator::revocationPendingKey());
    rig.storage->loadsAtOnce = false;
    rig.make().setEnabled(true);
    rig.sync->setEnabled(true); // during the load: still one start when it finishes
    EXPECT_EQ(rig.storage->waiting.size(), 1);
    rig.storage->completeLoad(phone);
    drainEvents();
    rig.sync->setEnabled(true);
    EXPECT_EQ(rig.servers.created.size(), 1);
    EXPECT_EQ(rig.sync->registeredDevice(), phone);
    EXPECT_EQ(rig.sleeper->pendingCount(), 1);
    EXPECT_LE(rig.sleeper->requestedDurations().last(), 60.0);

    rig.sync->handleSystemWake(); // stop, reload, serve again
    EXPECT_EQ(rig.servers.calls.filter(u"stop"_s).size(), 1);
    rig.storage->completeLoad(phone);
    drainEvents();
    EXPECT_EQ(rig.servers.created.size(), 2);
    // A load still running when serving stops reports nothing.
    rig.sync->handleSystemWake();
    rig.sync->setEnabled(false);
    rig.storage->completeLoad(std::nullopt);
    drainEvents();
    EXPECT_EQ(rig.sync->registeredDevice(), phone);
    rig.sync->handleSystemWake();
    EXPECT_EQ(rig.servers.created.size(), 2);
    EXPECT_EQ(rig.sleeper->pendingCount(), 0);
    EXPECT_EQ(rig.sync->statusText(), u"連携OFF"_s);
}

TEST(MacSyncCoordinator, ApprovalOutcomes)
{
    const auto keychain = std::make_exception_ptr(UsageSyncError(Code::keychainFailure));
    const auto notPaired = std::make_exception_ptr(UsageSyncError(Code::notPaired));
    struct Row {
        const char* name;
        std::function<void(Rig&)> script;
        bool enabled, attention, stored;
        std::optional<QString> error;
    } rows[] = {
        {"success", [](Rig&) {}, true, false, true, std::nullopt},
        {"keychain", [&](Rig& r) { r.storage->saveError = keychain; }, true, true, false,
         u"登録できませんでした。接続期限とキーチェーンの状態を確認してください。"_s},
        {"other", [&](Rig& r) { r.servers.approveError = notPaired; }, true, false, false,
         u"登録できませんでした。接続期限とキーチェーンの状態を確認してください。"_s},
        {"no persist", [](Rig& r) { r.servers.approveSkipsPersist = true; }, true, true, false,
         u"登録できませんでした。接続期限とキーチェーンの状態を確認してください。"_s},
        {"after persist", [&](Rig& r) { r.servers.approveErrorAfterPersist = notPaired; }, false, false, true,
         u"登録情報は保存しましたが、接続を開始できませんでした。連携を入れ直してください。"_s},
    };
    for (const Row& row : rows) {
        Rig rig;
        rig.servers.approvedDevice = phone;
        rig.pairing();
        row.script(rig);
        rig.sync->approvePendingDevice();
        EXPECT_EQ(rig.sync->enabled(), row.enabled) << row.name;
        EXPECT_EQ(rig.sync->registrationNeedsAttention(), row.attention) << row.name;
        EXPECT_EQ(rig.sync->registeredDevice().has_value(), row.stored) << row.name;
        EXPECT_EQ(rig.sync->errorMessage(), row.error) << row.name;
        EXPECT_EQ(rig.sync->pendingRequest().has_value(), row.enabled && row.error.has_value()) << row.name;
    }

    Rig rig;
    rig.pairing().rejectPendingDevice();
    EXPECT_EQ(rig.servers.calls.last(), u"reject"_s);
    EXPECT_EQ(rig.sync->statusText(), u"接続を承認しませんでした"_s);
    EXPECT_FALSE(rig.sync->invitation());
}

TEST(MacSyncCoordinator, RevocationFailureSurvivesARestart)
{
    Rig rig;
    rig.storage->stored = phone;
    rig.storage->removeError = std::make_exception_ptr(UsageSyncError(Code::keychainFailure));
    rig.make().revokeDevice();
    EXPECT_TRUE(rig.sync->revocationPending() && rig.sync->registrationNeedsAttention());
    rig.storage->removeError = nullptr;
    rig.make();
    EXPECT_TRUE(rig.sync->revocationPending());
    rig.sync->revokeDevice();
    EXPECT_FALSE(rig.sync->revocationPending() || rig.storage->stored);
    EXPECT_FALSE(rig.defaults->contains(MacSyncCoordinator::revocationPendingKey()));
    EXPECT_EQ(rig.sync->statusText(), u"登録を解除しました"_s);
}

TEST(MacSyncCoordinator, InvitationWindowAndCountdown)
{
    for (const auto& [lifetime, accepted] : {std::pair{301.0, true}, {301.001, false}, {0.0, false}}) {
        Rig rig;
        rig.make().setEnabled(true);
        drainEvents();
        rig.servers.invitation = PairingInvitation(rig.sync->hostID(), u"Studio"_s,
                                                   SyncCredential{idNumber(1), QByteArray(32, 'p')}, syncNow + lifetime);
        rig.sync->beginPairing();
        EXPECT_EQ(rig.sync->connectionString().has_value(), accepted) << lifetime;
        EXPECT_EQ(rig.servers.calls.last() == u"cancelPairing"_s, !accepted) << lifetime;
        if (accepted) {
            for (const auto& [ahead, seconds] : {std::pair{301.0 - 0.2, 1}, {1.8, 300}, {-149.0, 300}, {302.0, 0}})
                EXPECT_EQ(rig.sync->remainingPairingSeconds(syncNow + ahead), seconds) << ahead;
            rig.sleeper->advance(301); // the loop wakes at the expiry
            EXPECT_FALSE(rig.sync->invitation());
            EXPECT_EQ(rig.sync->statusText(), u"接続コードの有効期限が切れました"_s);
        }
    }
}

TEST(MacSyncCoordinator, RebuildSpacingAndServerReports)
{
    Rig rig;
    rig.make().setEnabled(true);
    drainEvents();
    rig.sync->maintain(syncNow);
    const auto rebuiltAfter = [&](double seconds) {
        rig.source.input.usageHistory.append({QUuid::createUuid(), MonitoredProvider::codex, syncNow - 2'592'000.0 + 100, 1.0, 1.0, 1});
        const std::uint64_t before = rig.sync->latestSnapshot()->revision;
        rig.sync->maintain(syncNow + seconds);
        return rig.sync->latestSnapshot()->revision != before;
    };
    EXPECT_FALSE(rebuiltAfter(59));
    EXPECT_TRUE(rebuiltAfter(60));
    EXPECT_TRUE(rebuiltAfter(-3'600)); // the clock was set back

    rig.servers.statusHandlers.last()(QString(300, u'x'));
    EXPECT_EQ(rig.sync->statusText(), QString(256, u'x'));
    rig.sync->handleSystemWake(); // replaced: the old server's reports are ignored
    rig.servers.statusHandlers.first()(u"old"_s);
    rig.servers.pairingHandlers.first()(SyncPairingRequest{idNumber(3), u"x"_s, syncNow + 60});
    EXPECT_EQ(rig.sync->statusText(), u"接続を開始しています"_s);
    EXPECT_FALSE(rig.sync->pendingRequest());
}

TEST(MacSyncCoordinatorIntegration, ThePairedIPhoneReadsTheLatestSnapshotUntilRevoked)
{
    auto sleeper = std::make_shared<ManualSleeper>();
    const ManualClock clock = sleeper->clock();
    ManualSleeper clientSleeper(clock);
    LoopbackSyncNetworkServices services;
    auto secrets = std::make_shared<FakeSecretStore>();
    auto factory = [&](const QUuid& hostID, const QString& hostName) -> std::unique_ptr<MacSyncServing> {
        return std::make_unique<LocalSyncServer>(hostID, hostName, services, *sleeper, clock.clock(), false);
    };
    DisplaySource source;
    MacSyncCoordinator sync(std::make_shared<InMemorySettingsStore>(), std::make_shared<MacSyncKeychainStorage>(secrets),
                            u"Studio"_s, clock.clock(), sleeper, factory);
    sync.observe<DisplaySource>(&source, [](const DisplaySource& s) { return s.input; });
    sync.setEnabled(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sync.server() != nullptr; }, 10'000));
    sync.beginPairing();
    ASSERT_TRUE(sync.invitation());
    const auto iPhone = startTask(LocalNetworkTransport::pair(*sync.invitation(), u"Phone"_s, services, clientSleeper,
                                                              clock.clock(), services.lastListener()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return sync.pendingRequest().has_value(); }, 10'000));
    sync.approvePendingDevice();
    ASSERT_TRUE(QTest::qWaitFor([&] { return iPhone->finished; }, 10'000));
    ASSERT_TRUE(iPhone->value);
    EXPECT_EQ(sync.registeredDevice()->credential, iPhone->value->credential);

    LocalNetworkTransport transport(*iPhone->value, services, clientSleeper, services.lastListener());
    EXPECT_EQ(waitForOutcome(transport.fetchSnapshot()).value, sync.latestSnapshot());
    sync.revokeDevice();
    EXPECT_TRUE(waitForOutcome(transport.fetchSnapshot()).error);
    EXPECT_FALSE(secrets->stored(MacSyncKeychainStorage::defaultService(), MacSyncKeychainStorage::defaultAccount()));
}

#include "MacSyncCoordinatorTest.moc"
