#include "SyncUiFixtures.h"
#include "../../sync/cloud/CloudTestSupport.h"
#include "../../sync/model/SyncModelFixtures.h"

#include "app/syncui/MacCloudSyncCoordinator.h"
#include "app/syncui/MacSyncCoordinator.h"
#include "core/foundation/InMemorySettingsStore.h"
#include "core/foundation/UuidText.h"
#include "sync/cloud/CloudAccountChangeNotifier.h"
#include "sync/cloud/CloudKitDatabaseClient.h"
#include "sync/cloud/CloudKitSnapshotStore.h"
#include "sync/cloud/LocalCloudFiles.h"
#include "sync/cloud/LocalDirectoryCloudDatabase.h"
#include "support/FakeMacSyncServing.h"
#include "support/ManualSleeper.h"
#include "support/QtPrinters.h"
#include "support/ScriptedCloudSnapshotStore.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace vantorel;
using namespace Qt::Literals::StringLiterals;
using C = MacCloudSyncCoordinator;

namespace {

const Date t0 = test::syncNow;

UsageSyncSnapshot snapshot(quint64 revision, QUuid host = test::hostA)
{
    UsageSyncSnapshot s = test::emptySnapshot();
    s.hostID = host;
    s.revision = revision;
    return s;
}

// A coordinator of host A over the real store on a temporary folder, or over a scripted store.
struct Rig
{
    explicit Rig(bool real = true, double lockWaitSeconds = 60, std::optional<qint64> quota = {})
    {
        if (!real) {
            store = scripted = std::make_shared<ScriptedCloudSnapshotStore>();
            return;
        }
        notifier = std::make_unique<CloudAccountChangeNotifier>(root);
        store = openStore({lockWaitSeconds, quota, [this](const QString& call, const QString&) {
                               reachedLock = reachedLock || call == u"lock"_s;
                               return call == u"write"_s ? injectedErrno.load() : 0;
                           }});
        account = *waitForOutcome(store->accountIdentifier({})).value;
        QDir().mkpath(root + u'/' + account);
    }
    ~Rig() { cloud.reset(); drainEvents(); }
    std::shared_ptr<CloudSnapshotStoring> openStore(LocalDirectoryCloudDatabase::Options options = {})
    {
        auto database = std::make_shared<LocalDirectoryCloudDatabase>(root, options);
        return std::make_shared<CloudKitSnapshotStore>(std::make_shared<CloudKitDatabaseClient>(database, clientSleeper),
                                                       notifier.get());
    }
    C& make()
    {
        cloud.reset();
        cloud = std::make_unique<C>(test::hostA, store, defaults, sleeper->clock().clock(), sleeper, notifier.get());
        return settle();
    }
    // Lets the database's worker thread answer; the scripted store answers on the next turn.
    C& settle()
    {
        EXPECT_TRUE(scripted || waitUntil([this] { return !cloud->isBusy(); }));
        drainEvents();
        return *cloud;
    }
    C& offer(quint64 revision) { cloud->receiveSnapshot(snapshot(revision)); return settle(); }
    C& advance(double seconds) { sleeper->advance(seconds); return settle(); }
    C& uploaded(quint64 revision) { make().setEnabled(true); settle(); return offer(revision); }
    std::optional<QString> revision() const { return defaults->stringValue(C::uploadedRevisionKey()); }
    std::optional<Date> lastAttempt() const { return defaults->dateValue(C::lastAttemptAtKey()); }
    int holdLock() const
    {
        const int fd = ::open(QFile::encodeName(root + u'/' + account + u"/lock"_s).constData(), O_RDWR | O_CREAT, 0600);
        ::flock(fd, LOCK_EX);
        return fd;
    }
    void writeAccount(char c) const { LocalCloudFiles().write(root + u"/account"_s, "_" + QByteArray(32, c)); }

    QTemporaryDir dir;
    const QString root = dir.filePath(u"cloud"_s);
    std::shared_ptr<ManualSleeper> sleeper = std::make_shared<ManualSleeper>(ManualClock(t0));
    ManualSleeper clientSleeper;
    std::shared_ptr<InMemorySettingsStore> defaults = std::make_shared<InMemorySettingsStore>();
    std::unique_ptr<CloudAccountChangeNotifier> notifier;
    std::shared_ptr<CloudSnapshotStoring> store;
    std::shared_ptr<ScriptedCloudSnapshotStore> scripted;
    std::atomic<int> injectedErrno = 0;
    std::atomic<bool> reachedLock = false;
    QString account = u"_"_s + QString(32, u'a');
    std::unique_ptr<C> cloud;
};

} // namespace

TEST(MacCloudSyncCoordinator, PacesUploads)
{
    Rig rig;
    C& cloud = rig.uploaded(5);
    rig.sleeper->advance(10);
    rig.offer(6);
    EXPECT_EQ(cloud.nextUploadAt(), t0 + 60);
    EXPECT_EQ(cloud.statusText(), u"最新データの送信待ち"_s);
    EXPECT_EQ(rig.sleeper->pendingCount(), 1);
    EXPECT_EQ(rig.advance(50).statusText(), u"同期フォルダに保存済み"_s);
    EXPECT_EQ(rig.revision(), u"6"_s);

    // After a restart the same revision goes only on request, without the spacing.
    rig.sleeper->advance(10);
    rig.make();
    rig.offer(6);
    EXPECT_EQ(rig.lastAttempt(), t0 + 60);
    rig.cloud->uploadNow();
    rig.settle();
    EXPECT_EQ(rig.lastAttempt(), t0 + 70);
    rig.cloud->setEnabled(false);
    EXPECT_EQ(rig.sleeper->pendingCount(), 0);

    // A manual upload still waits for the retry time.
    rig.defaults->set(C::enabledKey(), true);
    rig.defaults->set(C::retryNotBeforeKey(), t0 + 100);
    rig.make().receiveSnapshot(snapshot(7));
    rig.cloud->uploadNow();
    EXPECT_EQ(rig.cloud->nextUploadAt(), t0 + 100);
    rig.advance(30);
    EXPECT_EQ(rig.revision(), u"7"_s);
}

TEST(MacCloudSyncCoordinator, AccountChangesResetSync)
{
    Rig rig;
    C& cloud = rig.uploaded(5);
    QSignalSpy enabledChanges(&cloud, &C::enabledChanged);
    cloud.setEnabled(false);
    cloud.setEnabled(true);
    rig.settle();
    // The account changes while an upload waits on a lock another holder keeps.
    const int held = rig.holdLock();
    rig.reachedLock = false;
    cloud.uploadNow();
    ASSERT_TRUE(waitUntil([&] { return rig.reachedLock.load(); }));
    rig.writeAccount('b');
    ASSERT_TRUE(waitUntil([&] { return cloud.requiresReauthorization(); }));
    ::close(held);
    EXPECT_EQ(cloud.statusText(), u"同期フォルダの再確認が必要です"_s);
    EXPECT_EQ(cloud.errorMessage(), u"同期フォルダが別のものに置き換わりました。iCloud同期をもう一度ONにしてください。"_s);
    EXPECT_EQ(enabledChanges.size(), 3);
    for (const QString& key : {C::accountIDKey(), C::lastUploadAtKey(), C::uploadedRevisionKey(), C::lastAttemptAtKey()})
        EXPECT_FALSE(rig.defaults->contains(key)) << key.toStdString();

    // On without an account starts off; another account at launch resets; a change while off
    // forgets the stored account.
    Rig launch;
    launch.defaults->set(C::enabledKey(), true);
    EXPECT_FALSE(launch.make().enabled());
    EXPECT_EQ(launch.defaults->boolValue(C::enabledKey()), false); // written back
    launch.defaults->set(C::enabledKey(), true);
    launch.defaults->set(C::accountIDKey(), u"_"_s + QString(32, u'c'));
    EXPECT_TRUE(launch.make().requiresReauthorization());
    launch.uploaded(1).setEnabled(false);
    launch.writeAccount('d');
    ASSERT_TRUE(waitUntil([&] { return !launch.cloud->accountID(); }));
    EXPECT_TRUE(launch.cloud->requiresReauthorization());
}

TEST(MacCloudSyncCoordinator, FailuresOnTheRealStore)
{
    // This PC's folder and disk are named, not an Apple Account, a Mac or iCloud's storage.
    const QString noSpace = u"ディスクの空き容量が足りないため、同期フォルダに保存できません。"_s;
    const struct { const char* setup; int error; bool deleting; std::string status; QString message; } rows[] = {
        {"quota", 0, false, "同期フォルダに保存できませんでした", noSpace},
        {"", EROFS, false, "同期フォルダに保存できませんでした", u"同期フォルダに書き込めません。フォルダの権限を確認してください。"_s},
        {"", ENOSPC, true, "同期フォルダのデータを削除できませんでした", noSpace},
        {"", 0, true, "同期フォルダのデータを削除しました", {}},
        {"anotherMac", 0, false, "同期フォルダに保存できませんでした",
         u"同期フォルダには、別のPCまたは別のユーザーが保存した同期データがあります。このPCから送るには、先に削除してください。"_s},
        {"newer", 0, false, "同期フォルダのデータを確認してください", UsageSyncError(UsageSyncError::Code::olderSnapshot).message()},
        {"lock", 0, false, "同期フォルダへの再試行待ち", u"同期フォルダを別のプロセスが使用中です。しばらくしてから自動で再試行します。"_s},
    };
    for (const auto& row : rows) {
        const std::string setup = row.setup;
        Rig rig(true, 0.05, setup == "quota" ? std::optional<qint64>(100) : std::nullopt);
        const UsageSyncSnapshot theirs = setup == "anotherMac" ? snapshot(9, test::hostB) : snapshot(100);
        const bool stored = (setup != "anotherMac" && setup != "newer")
            || test::finish(rig.openStore()->saveSnapshot(theirs, rig.account, {})) == "ok";
        ASSERT_TRUE(stored);
        const int held = setup == "lock" ? rig.holdLock() : -1;
        rig.injectedErrno = row.deleting ? 0 : row.error;
        C& cloud = rig.uploaded(3);
        rig.injectedErrno = row.error;
        if (row.deleting) {
            cloud.deleteCloudData(true, cloud.session());
            rig.settle();
        }
        ::close(held);
        EXPECT_EQ(cloud.statusText().toStdString(), row.status) << setup;
        EXPECT_EQ(cloud.errorMessage(), row.message.isEmpty() ? std::nullopt : std::optional(row.message));
        EXPECT_EQ(cloud.nextUploadAt(), setup == "lock" ? std::optional(t0 + 60) : std::nullopt);
        EXPECT_EQ(cloud.accountID(), rig.account);
        // Only a failed delete leaves the uploaded revision.
        EXPECT_EQ(rig.revision().has_value(), row.deleting && !row.message.isEmpty());
        if (row.deleting)
            continue;
        // A manual upload ends a block, not a retry wait.
        rig.sleeper->advance(5);
        cloud.uploadNow();
        rig.settle();
        EXPECT_EQ(rig.lastAttempt(), setup == "lock" ? t0 : t0 + 5) << setup;
    }
}

TEST(MacCloudSyncCoordinator, RetryWaitsDeletesLateResultsAndWakes)
{
    const double rows[][2] = {{5, 60}, {300, 300}, {NAN, 60}, {-1, 60}, {1e12, 86'400}};
    for (const auto& [retryAfter, wait] : rows) {
        Rig rig(false);
        rig.scripted->failures = {std::make_exception_ptr(CloudSyncError::retryLater(retryAfter))};
        EXPECT_EQ(rig.uploaded(1).statusText(), u"同期フォルダへの再試行待ち"_s);
        EXPECT_EQ(rig.defaults->dateValue(C::retryNotBeforeKey()), t0 + wait) << retryAfter;
        EXPECT_EQ(rig.sleeper->pendingCount(), 1);
    }

    // A stored retry time ten years ahead counts as one day; a delete meanwhile is refused, and
    // one with a stale confirmation does nothing.
    Rig rig(false);
    rig.defaults->set(C::accountIDKey(), rig.account);
    rig.defaults->set(C::enabledKey(), true);
    rig.defaults->set(C::retryNotBeforeKey(), t0 + 10 * 365 * 86'400.0);
    C& cloud = rig.make();
    EXPECT_EQ(cloud.nextUploadAt(), t0 + 86'400);
    cloud.deleteCloudData(true, QUuid::createUuid());
    EXPECT_TRUE(cloud.enabled());
    cloud.deleteCloudData(true, cloud.session());
    EXPECT_EQ(cloud.errorMessage(), u"iCloudの待機時間が終わってから、削除を再試行してください。"_s);
    EXPECT_EQ(cloud.statusText(), u"iCloud同期OFF"_s);

    // A save that answers after sync went off changes nothing; switching on during a delete is
    // ignored.
    rig.defaults->remove(C::retryNotBeforeKey());
    rig.scripted->holdWrites = true;
    rig.uploaded(5);
    rig.scripted->waiting.takeFirst().complete();
    rig.cloud->setEnabled(false);
    rig.cloud->deleteCloudData(true);
    rig.settle().setEnabled(true);
    EXPECT_FALSE(rig.cloud->enabled());
    EXPECT_FALSE(rig.revision());
    rig.scripted->waiting.takeFirst().complete();
    EXPECT_EQ(rig.settle().statusText(), u"同期フォルダのデータを削除しました"_s);
    EXPECT_EQ(rig.scripted->calls.filter(u"delete"_s).size(), 1);

    // A wake replans the wait from the clock.
    rig.scripted->holdWrites = false;
    rig.cloud->setEnabled(true);
    rig.settle();
    rig.advance(10);
    EXPECT_EQ(rig.offer(6).nextUploadAt(), t0 + 60);
    rig.sleeper->clock().advance(3'600);
    rig.cloud->resumeAfterWake();
    rig.settle();
    EXPECT_EQ(rig.revision(), u"6"_s);
}

TEST(MacCloudSyncCoordinator, ObservingASourceWithASnapshotUploadsIt)
{
    Rig rig(false);
    rig.defaults->set(MacSyncCoordinator::hostIDKey(), uuidText(test::hostA));
    FakeMacSyncServers servers;
    MacSyncCoordinator local(rig.defaults, std::make_shared<FakeMacSyncDeviceStorage>(), u"Studio"_s,
                             rig.sleeper->clock().clock(), rig.sleeper, servers.factory());
    rig.make().setEnabled(true);
    // Any object with changed() serves as the display.
    local.observe<C>(rig.cloud.get(), [](const C&) { return test::displayInput(); });
    rig.settle().observe(local);
    rig.settle();
    EXPECT_TRUE(local.displayMaintenanceEnabled());
    EXPECT_EQ(rig.scripted->calls.filter(u"save"_s).size(), 1);
}
