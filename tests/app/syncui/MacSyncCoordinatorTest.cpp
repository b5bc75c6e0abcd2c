#include "SyncUiFixtures.h"

#include "app/platform/SecretServiceStore.h"
#include "app/syncui/MacSyncCoordinator.h"
#include "app/syncui/MacSyncKeychainStorage.h"
#include "core/foundation/InMemorySettingsStore.h"
#include "core/foundation/UuidText.h"
#include "sync/model/SyncCoding.h"
#include "sync/model/UsageSyncError.h"
#include "sync/net/LocalNetworkTransport.h"
#include "sync/net/LocalSyncServer.h"
#include "support/FakeMacSyncServing.h"
#include "support/FakeSecretStore.h"
#include "support/LoopbackSyncNetworkServices.h"
#include "support/ManualSleeper.h"
#include "support/QtPrinters.h"
#include "support/TaskOutcome.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <QWidget>

#include <future>

using namespace vantorel;
using namespace vantorel::test;
using namespace Qt::Literals::StringLiterals;
using SyncCode = UsageSyncError::Code;

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

PairingInvitation invitation(const QUuid& host, Date expiresAt)
{
    return PairingInvitation(host, u"Studio"_s, SyncCredential{idNumber(1), QByteArray(32, 'p')}, expiresAt);
}

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

struct LocalRig
{
    std::shared_ptr<ManualSleeper> sleeper = std::make_shared<ManualSleeper>(ManualClock(syncNow));
    std::shared_ptr<InMemorySettingsStore> defaults = std::make_shared<InMemorySettingsStore>();
    std::shared_ptr<FakeMacSyncDeviceStorage> storage = std::make_shared<FakeMacSyncDeviceStorage>();
    std::shared_ptr<MacSyncDeviceStorage> storageInUse = storage;
    FakeMacSyncServers servers;
    DisplaySource source;
    std::unique_ptr<MacSyncCoordinator> sync;

    ~LocalRig() // cancelled sleeps resume on a later turn: let them end
    {
        sync.reset();
        drainEvents();
    }
    MacSyncCoordinator& make(const QString& hostName = u"Studio"_s, bool enable = false)
    {
        sync.reset();
        sync = std::make_unique<MacSyncCoordinator>(defaults, storageInUse, hostName, sleeper->clock().clock(), sleeper,
                                                    servers.factory());
        sync->observe<DisplaySource>(&source, [](const DisplaySource& s) { return s.input; });
        if (enable)
            sync->setEnabled(true);
        drainEvents();
        return *sync;
    }
    // Serving, with a request pending on a shown invitation.
    MacSyncCoordinator& pairing()
    {
        make(u"Studio"_s, true);
        servers.invitation = invitation(sync->hostID(), syncNow + 300);
        sync->beginPairing();
        servers.pairingHandlers.last()(SyncPairingRequest{idNumber(2), u"iPhone"_s, syncNow + 300});
        return *sync;
    }
};

// Until the rebuilds that changes asked for, built on another thread, are published.
void settleSnapshot(const MacSyncCoordinator& sync)
{
    EXPECT_TRUE(waitUntil([&sync] { return !sync.snapshotRefreshPending(); }));
}

// Delivers a change to the coordinator and the capture it schedules, one posted batch at a time,
// and nothing the build posts when it ends.
void startBuild(DisplaySource& source, MacSyncCoordinator& sync)
{
    emit source.changed();
    QCoreApplication::sendPostedEvents(&sync);
    QCoreApplication::sendPostedEvents(&sync);
    EXPECT_TRUE(sync.snapshotRefreshPending());
}

} // namespace

TEST(MacSyncCoordinator, HostIdentityAndNameAreStoredAndCleaned)
{
    for (const QString& stored : {u"not-a-uuid"_s, uuidText(idNumber(5)).toLower()}) {
        LocalRig rig;
        rig.defaults->set(MacSyncCoordinator::hostIDKey(), stored);
        const QUuid id = rig.make().hostID();
        EXPECT_EQ(id == idNumber(5), stored != u"not-a-uuid"_s);
        EXPECT_EQ(rig.defaults->stringValue(MacSyncCoordinator::hostIDKey()), uuidText(id));
    }
    // Pretty names carry emoji and invisible characters the snapshot refuses.
    for (const auto& [name, expected] :
         {std::pair{u"Taro's Mac 🍎\u200B"_s, u"Taro's Mac"_s}, {QString(150, u'm'), QString(100, u'm')}}) {
        LocalRig rig;
        rig.make(name, true);
        EXPECT_TRUE(rig.sync->enabled());
        EXPECT_EQ(rig.sync->latestSnapshot()->hostName, expected);
        EXPECT_EQ(rig.servers.created.value(0).second, expected);
    }
}

TEST(MacSyncCoordinator, SwitchingRevocationAndWake)
{
    LocalRig rig;
    rig.defaults->set(MacSyncCoordinator::enabledKey(), true);
    rig.defaults->set(MacSyncCoordinator::revocationPendingKey(), true);
    rig.make().setEnabled(true);
    EXPECT_FALSE(rig.sync->enabled() || rig.defaults->boolValue(MacSyncCoordinator::enabledKey()).value());
    EXPECT_EQ(rig.sync->errorMessage(), u"登録解除が完了していません。解除を再試行してください。"_s);
    EXPECT_TRUE(rig.servers.created.isEmpty());

    rig.defaults->remove(MacSyncCoordinator::revocationPendingKey());
    rig.storage->loadsAtOnce = false;
    rig.make().setEnabled(true);
    rig.sync->setEnabled(true); // during the load: still one start, when it finishes
    rig.storage->completeLoad(phone);
    drainEvents();
    rig.sync->setEnabled(true); // serving already
    EXPECT_EQ(rig.servers.created.size(), 1);
    EXPECT_EQ(rig.sync->registeredDevice(), phone);
    EXPECT_EQ(rig.sleeper->pendingCount(), 1);
    EXPECT_LE(rig.sleeper->requestedDurations().last(), 60.0);

    rig.sync->handleSystemWake(); // stop, reload, serve
    rig.storage->completeLoad(phone);
    drainEvents();
    EXPECT_EQ(rig.servers.calls.filter(u"stop"_s).size(), 1);
    EXPECT_EQ(rig.servers.created.size(), 2);
    rig.sync->handleSystemWake();
    rig.sync->setEnabled(false);
    rig.storage->completeLoad(std::nullopt); // after stopServing: dropped
    drainEvents();
    rig.sync->handleSystemWake();
    EXPECT_EQ(rig.sync->registeredDevice(), phone);
    EXPECT_EQ(rig.servers.created.size(), 2);
    EXPECT_EQ(rig.sleeper->pendingCount(), 0);
}

TEST(MacSyncCoordinator, ApprovalRejectionAndRevocation)
{
    const auto notPaired = std::make_exception_ptr(UsageSyncError(SyncCode::notPaired));
    const QString notStored = u"登録できませんでした。接続期限とキーリングの状態を確認してください。"_s;
    struct Row {
        std::function<void(LocalRig&)> script;
        bool enabled, attention, stored;
        std::optional<QString> error;
    } rows[] = {
        {[](LocalRig&) {}, true, false, true, std::nullopt},
        {[](LocalRig& r) { r.storage->saveError = std::make_exception_ptr(UsageSyncError(SyncCode::keychainFailure)); }, true,
         true, false, notStored},
        {[&](LocalRig& r) { r.servers.approveError = notPaired; }, true, false, false, notStored},
        {[](LocalRig& r) { r.servers.approveSkipsPersist = true; }, true, true, false, notStored},
        {[&](LocalRig& r) { r.servers.approveErrorAfterPersist = notPaired; }, false, false, true,
         u"登録情報は保存しましたが、接続を開始できませんでした。連携を入れ直してください。"_s},
    };
    for (const Row& row : rows) {
        LocalRig rig;
        rig.servers.approvedDevice = phone;
        rig.pairing();
        row.script(rig);
        rig.sync->approvePendingDevice();
        EXPECT_EQ(rig.sync->enabled(), row.enabled);
        EXPECT_EQ(rig.sync->registrationNeedsAttention(), row.attention);
        EXPECT_EQ(rig.sync->registeredDevice().has_value(), row.stored);
        EXPECT_EQ(rig.sync->errorMessage(), row.error);
        EXPECT_EQ(rig.sync->pendingRequest().has_value(), row.enabled && row.error.has_value());
    }

    LocalRig rig;
    rig.pairing().rejectPendingDevice();
    EXPECT_EQ(rig.servers.calls.last(), u"reject"_s);
    EXPECT_EQ(rig.sync->statusText(), u"接続を承認しませんでした"_s);
    // A failed revocation holds across a restart until a retry succeeds.
    rig.storage->removeError = std::make_exception_ptr(UsageSyncError(SyncCode::keychainFailure));
    rig.sync->revokeDevice();
    EXPECT_TRUE(rig.sync->registrationNeedsAttention());
    rig.storage->removeError = nullptr;
    EXPECT_TRUE(rig.make().revocationPending());
    rig.sync->revokeDevice();
    EXPECT_FALSE(rig.sync->revocationPending() || rig.defaults->contains(MacSyncCoordinator::revocationPendingKey()));
    EXPECT_EQ(rig.sync->statusText(), u"登録を解除しました"_s);
}

TEST(MacSyncCoordinator, InvitationWindowAndCountdown)
{
    for (const auto& [lifetime, accepted] : {std::pair{301.0, true}, {301.001, false}, {0.0, false}}) {
        LocalRig rig;
        rig.make(u"Studio"_s, true);
        rig.servers.invitation = invitation(rig.sync->hostID(), syncNow + lifetime);
        rig.sync->beginPairing();
        EXPECT_EQ(rig.sync->connectionString().has_value(), accepted) << lifetime;
        EXPECT_EQ(rig.servers.calls.last() == u"cancelPairing"_s, !accepted) << lifetime;
    }
    LocalRig rig;
    rig.pairing();
    for (const auto& [left, seconds] : {std::pair{0.2, 1}, {299.2, 300}, {450.0, 300}, {0.0, 0}, {-1.0, 0}})
        EXPECT_EQ(rig.sync->remainingPairingSeconds(syncNow + 300 - left), seconds) << left;
    rig.sleeper->advance(300); // the loop wakes at the expiry
    EXPECT_FALSE(rig.sync->invitation() || rig.sync->pendingRequest());
    EXPECT_EQ(rig.sync->statusText(), u"接続コードの有効期限が切れました"_s);
}

TEST(MacSyncCoordinator, RebuildSpacingAndServerReports)
{
    LocalRig rig;
    rig.make(u"Studio"_s, true).maintain(syncNow);
    const auto rebuiltAfter = [&](double seconds) {
        rig.source.input.usageHistory.append({QUuid::createUuid(), MonitoredProvider::codex, syncNow - 86'400, 1, 1, 1});
        const std::uint64_t before = rig.sync->latestSnapshot()->revision;
        rig.sync->maintain(syncNow + seconds);
        return rig.sync->latestSnapshot()->revision != before;
    };
    EXPECT_FALSE(rebuiltAfter(59));
    EXPECT_TRUE(rebuiltAfter(60));
    EXPECT_TRUE(rebuiltAfter(-3'600)); // the clock was set back

    // Observing the same source again rebuilds nothing; each change signal rebuilds once, later.
    const std::uint64_t revision = rig.sync->latestSnapshot()->revision;
    rig.source.input.refreshIntervalSeconds = 900;
    rig.sync->observe<DisplaySource>(&rig.source, [](const DisplaySource& s) { return s.input; });
    emit rig.source.changed();
    EXPECT_EQ(rig.sync->latestSnapshot()->revision, revision);
    settleSnapshot(*rig.sync);
    EXPECT_EQ(rig.sync->latestSnapshot()->revision, revision + 1);

    rig.servers.statusHandlers.last()(QString(300, u'x'));
    EXPECT_EQ(rig.sync->statusText(), QString(256, u'x'));
    rig.sync->handleSystemWake(); // the replaced server's reports are ignored
    rig.servers.statusHandlers.first()(u"old"_s);
    rig.servers.pairingHandlers.first()(SyncPairingRequest{idNumber(3), u"x"_s, syncNow + 60});
    EXPECT_EQ(rig.sync->statusText(), u"接続を開始しています"_s);
    EXPECT_FALSE(rig.sync->pendingRequest());
}

// Whether nothing can reach the server is what the server says of its listeners, not what its
// status text reads like.
TEST(MacSyncCoordinator, ListenerDownIsTheServersStateNotItsText)
{
    LocalRig rig;
    rig.pairing();
    rig.servers.report(MacSyncServing::statusCheckNetwork());
    EXPECT_FALSE(rig.sync->listenerDown());
    EXPECT_TRUE(rig.sync->connectionString() && rig.sync->pendingRequest());

    // Down behind another text: the code nobody can reach goes.
    rig.servers.report(u"古い同期データを受け付けませんでした"_s, true);
    EXPECT_TRUE(rig.sync->listenerDown());
    EXPECT_FALSE(rig.sync->connectionString() || rig.sync->invitation() || rig.sync->pendingRequest());
    EXPECT_EQ(rig.servers.calls.last(), u"cancelPairing"_s);
    rig.servers.report(u"iPhoneの接続待ち"_s);
    EXPECT_FALSE(rig.sync->listenerDown());
}

TEST(MacSyncCoordinator, ChangesOfOneTurnAreCapturedOnceAfterTheOtherObservers)
{
    LocalRig rig;
    rig.make();
    QStringList order;
    DisplaySource source;
    rig.sync->observe<DisplaySource>(&source, [&order](const DisplaySource& s) {
        order << u"capture"_s;
        return s.input;
    });
    QObject::connect(&source, &DisplaySource::changed, &source, [&order] { order << u"view"_s; }, Qt::QueuedConnection);
    const std::uint64_t revision = rig.sync->latestSnapshot()->revision;
    source.input.refreshIntervalSeconds = 900;
    for (int i = 0; i < 3; ++i)
        emit source.changed();
    settleSnapshot(*rig.sync);
    EXPECT_EQ(order, (QStringList{u"capture"_s, u"view"_s, u"view"_s, u"view"_s, u"capture"_s}));
    EXPECT_EQ(rig.sync->latestSnapshot()->revision, revision + 1);
}

// A build captured before a later change or a rebuild made on this thread is dropped when it
// ends: the newer content is published once, with the next revision, and never overwritten.
TEST(MacSyncCoordinator, ABuildOvertakenByAChangeOrARebuildHereIsDropped)
{
    LocalRig rig;
    rig.make(u"Studio"_s, true);
    std::uint64_t revision = rig.sync->latestSnapshot()->revision;
    int published = 0;
    QObject::connect(rig.sync.get(), &MacSyncCoordinator::latestSnapshotChanged, [&published] { ++published; });
    const auto publishedOnce = [&](std::int64_t interval, const char* what) {
        EXPECT_EQ(rig.sync->latestSnapshot()->refreshIntervalSeconds, interval) << what;
        EXPECT_EQ(rig.sync->latestSnapshot()->revision, revision + 1) << what;
        EXPECT_EQ(std::exchange(published, 0), 1) << what;
        EXPECT_EQ(rig.servers.calls.filter(u"snapshot"_s).size(), 1) << what;
        revision = rig.sync->latestSnapshot()->revision;
        rig.servers.calls.clear();
    };
    rig.servers.calls.clear();

    rig.source.input.refreshIntervalSeconds = 600;
    startBuild(rig.source, *rig.sync);
    rig.source.input.refreshIntervalSeconds = 900;
    rig.sync->maintain(syncNow + 3'600);
    settleSnapshot(*rig.sync);
    publishedOnce(900, "after a rebuild here");

    rig.source.input.refreshIntervalSeconds = 1'200;
    startBuild(rig.source, *rig.sync);
    rig.source.input.refreshIntervalSeconds = 1'500;
    emit rig.source.changed();
    settleSnapshot(*rig.sync);
    publishedOnce(1'500, "after a change");
}

// The application quits while a build runs: the quit waits for it and drops it, so no thread is
// left and nothing is published afterwards.
TEST(MacSyncCoordinator, AQuitWhileABuildRunsWaitsForItAndPublishesNothing)
{
    LocalRig rig;
    rig.make();
    const UsageSyncSnapshot before = *rig.sync->latestSnapshot();
    rig.source.input.refreshIntervalSeconds = 600;
    startBuild(rig.source, *rig.sync);
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_FALSE(rig.sync->snapshotRefreshPending());
    drainEvents();
    EXPECT_EQ(rig.sync->latestSnapshot(), before);
}

// A view that repaints on a change, as the tray item does with its new picture, is painted before
// the snapshot is rebuilt, whichever observer was connected first.
TEST(MacSyncCoordinator, TheRebuildComesAfterTheRepaintsAChangeAskedFor)
{
    class PaintRecorder final : public QWidget
    {
    public:
        explicit PaintRecorder(QStringList& order) : m_order(order) {}

    protected:
        void paintEvent(QPaintEvent*) override { m_order << u"paint"_s; }

    private:
        QStringList& m_order;
    };
    for (const bool syncFirst : {true, false}) {
        LocalRig rig;
        rig.make();
        QStringList order;
        DisplaySource source;
        PaintRecorder view(order);
        view.resize(20, 20);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        const auto observeSync = [&] {
            rig.sync->observe<DisplaySource>(&source, [&order](const DisplaySource& s) {
                order << u"capture"_s;
                return s.input;
            });
        };
        if (syncFirst)
            observeSync();
        QObject::connect(&source, &DisplaySource::changed, &view, [&view] { view.update(); }, Qt::QueuedConnection);
        if (!syncFirst)
            observeSync();
        drainEvents();
        order.clear();
        emit source.changed();
        drainEvents();
        EXPECT_EQ(order, (QStringList{u"paint"_s, u"capture"_s})) << (syncFirst ? "sync first" : "view first");
    }
}

TEST(MacSyncCoordinator, CancellingTheKeychainLoadEndsItAtOnceAndChangesNothing)
{
    auto store = std::make_shared<BlockingSecretStore>();
    store->put(MacSyncKeychainStorage::defaultService(), MacSyncKeychainStorage::defaultAccount(), SyncCoding::encode(phone));
    auto keychain = std::make_shared<MacSyncKeychainStorage>(store);
    CancelToken token;
    const auto outcome = startTask(keychain->load(token));
    token.cancel();
    drainEvents();
    EXPECT_TRUE(outcome->finished && outcome->cancelled());

    LocalRig rig; // the coordinator's load, cancelled by switching off mid-read, reports nothing
    rig.storageInUse = keychain;
    rig.make(u"Studio"_s, true).setEnabled(false);
    store->release.set_value();
    drainEvents();
    EXPECT_FALSE(rig.sync->registeredDevice() || rig.sync->errorMessage() || rig.sync->registrationNeedsAttention());
    EXPECT_TRUE(rig.servers.created.isEmpty());
}

TEST(MacSyncCoordinator, WithoutASecretServiceNothingCountsAsRegisteredAndTheSwitchSnapsBack)
{
    using Op = FakeSecretStore::Operation;
    auto store = std::make_shared<FakeSecretStore>();
    LocalRig rig;
    rig.storageInUse = std::make_shared<MacSyncKeychainStorage>(store);
    const auto settle = [](const std::function<bool()>& done) { EXPECT_TRUE(QTest::qWaitFor(done, 10'000)); };
    const auto switchOn = [&](std::optional<std::int32_t> failure) {
        if (failure)
            store->failNext(Op::read, *failure);
        rig.sync->setEnabled(true);
        settle([&] { return rig.sync->statusText() != u"接続情報を確認しています"_s; });
    };
    // At start-up and on every try: off, no error to show, nothing to revoke.
    store->failNext(Op::read, SecretStore::Status::notAvailable);
    rig.make();
    settle([&] { return rig.sync->secretStoreMissing(); });
    for (int round = 0; round < 2; ++round) {
        if (round > 0)
            switchOn(SecretStore::Status::notAvailable);
        EXPECT_TRUE(rig.sync->secretStoreMissing()) << round;
        EXPECT_FALSE(rig.sync->enabled() || rig.sync->errorMessage() || rig.sync->registrationNeedsAttention())
            << round;
        EXPECT_EQ(rig.sync->statusText(), u"連携OFF"_s) << round;
    }
    EXPECT_TRUE(rig.servers.created.isEmpty());
    // A locked keyring may hold a registration: that stays an error with revocation offered.
    switchOn(SecretStore::Status::interactionNotAllowed);
    EXPECT_FALSE(rig.sync->secretStoreMissing() || rig.sync->enabled());
    EXPECT_TRUE(rig.sync->registrationNeedsAttention());
    EXPECT_EQ(rig.sync->errorMessage(), u"キーリングから接続情報を確認できませんでした。"_s);
    // A keyring that answers lets the switch turn on.
    switchOn(std::nullopt);
    EXPECT_FALSE(rig.sync->secretStoreMissing() || rig.sync->errorMessage() || rig.sync->registrationNeedsAttention());
    EXPECT_TRUE(rig.sync->enabled());
    EXPECT_EQ(rig.servers.created.size(), 1);
}

TEST(SecretServiceKeychainStorageIntegration, SaveLoadAndRemoveOnTheKeyring)
{
    if (!std::getenv("VANTOREL_TEST_SECRET_SERVICE"))
        GTEST_SKIP() << "no keyring daemon in this session";
    MacSyncKeychainStorage storage(std::make_shared<SecretServiceStore>(), u"vantorel.test."_s + QUuid::createUuid().toString());
    storage.save(phone);
    EXPECT_EQ(waitForOutcome(storage.load(CancelToken())).value, phone);
    storage.remove();
    EXPECT_EQ(waitForOutcome(storage.load(CancelToken())).value, std::make_optional(std::optional<RegisteredSyncDevice>()));
}

TEST(MacSyncCoordinatorIntegration, ThePairedIPhoneReadsTheLatestSnapshotUntilRevoked)
{
    auto sleeper = std::make_shared<ManualSleeper>();
    ManualSleeper clientSleeper(sleeper->clock());
    LoopbackSyncNetworkServices services;
    auto secrets = std::make_shared<FakeSecretStore>();
    auto factory = [&](const QUuid& hostID, const QString& hostName) -> std::unique_ptr<MacSyncServing> {
        return std::make_unique<LocalSyncServer>(hostID, hostName, services, *sleeper, sleeper->clock().clock(), false);
    };
    DisplaySource source;
    MacSyncCoordinator sync(std::make_shared<InMemorySettingsStore>(), std::make_shared<MacSyncKeychainStorage>(secrets),
                            u"Studio"_s, sleeper->clock().clock(), sleeper, factory);
    sync.observe<DisplaySource>(&source, [](const DisplaySource& s) { return s.input; });
    sync.setEnabled(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sync.server() != nullptr; }, 10'000));
    sync.beginPairing();
    const auto iPhone = startTask(LocalNetworkTransport::pair(sync.invitation().value(), u"Phone"_s, services,
                                                              clientSleeper, sleeper->clock().clock(), services.lastListener()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return sync.pendingRequest().has_value(); }, 10'000));
    sync.approvePendingDevice();
    ASSERT_TRUE(QTest::qWaitFor([&] { return iPhone->finished; }, 10'000));
    ASSERT_TRUE(iPhone->value);

    LocalNetworkTransport transport(*iPhone->value, services, clientSleeper, services.lastListener());
    EXPECT_EQ(waitForOutcome(transport.fetchSnapshot()).value, sync.latestSnapshot());
    sync.revokeDevice();
    EXPECT_TRUE(waitForOutcome(transport.fetchSnapshot()).error);
    EXPECT_FALSE(secrets->stored(MacSyncKeychainStorage::defaultService(), MacSyncKeychainStorage::defaultAccount()));
}

#include "MacSyncCoordinatorTest.moc"
