#include "../../sync/model/SyncModelFixtures.h"

#include "app/syncui/MacCloudSyncCoordinator.h"
#include "app/viewmodel/AppViewModel.h"
#include "core/foundation/InMemorySettingsStore.h"
#include "core/foundation/PendingCompletion.h"
#include "core/foundation/TaskUnwinding.h"
#include "sync/cloud/CloudKitDatabaseClient.h"
#include "sync/cloud/CloudKitSnapshotStore.h"
#include "sync/cloud/LocalDirectoryCloudDatabase.h"
#include "sync/net/LocalSyncServer.h"
#include "sync/net/SyncChannel.h"
#include "support/DrainEvents.h"
#include "support/FakeCodexAppServer.h"
#include "support/FakeSyncNetworkServices.h"
#include "support/ManualSleeper.h"
#include "support/TaskOutcome.h"
#include "support/ViewModelHarness.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace vantorel;

namespace {

// Starts a scheduled refresh that waits on a Codex CLI that never answers; the CLI's process id.
std::optional<qint64> startSilentRefresh(ViewModelHarness& harness, FakeCodexAppServer& codex)
{
    AppSettings settings;
    settings.codexCLIExecutablePath = codex.executablePath();
    harness.storeSettings(settings);
    AppViewModelDependencies dependencies = harness.dependencies();
    dependencies.codexUsageLoader = {};
    AppViewModel& viewModel = harness.makeViewModel(std::move(dependencies));
    const QPointer<AppViewModel> core(&viewModel);
    viewModel.startTask([core] { return core->refreshScheduledItems(); });
    if (!waitUntil([&codex] { return codex.pidFrom(QStringLiteral("started")).has_value(); }))
        return std::nullopt;
    return codex.pidFrom(QStringLiteral("started"));
}

} // namespace

// The end of the process comes while a refresh waits on a Codex CLI that never answers. The
// owners going away cancels it; the unwinding that follows must see the killed child reaped and
// every cancelled task finish, or their frames stay behind (and the sanitizer build's leak check
// fails this test as well).
TEST(TerminationUnwind, ARefreshWaitingOnASilentCliUnwindsCompletely)
{
    ViewModelHarness harness;
    FakeCodexAppServer codex({"pid started", "hang"});
    const std::optional<qint64> started = startSilentRefresh(harness, codex);
    ASSERT_TRUE(started);
    const qint64 pid = *started;

    harness.destroyViewModel();
    EXPECT_EQ(unwindSuspendedTasks(std::chrono::seconds(10)), 0);
    EXPECT_EQ(detail::suspendedAwaiterCount(), 0);
    EXPECT_EQ(detail::pendingResumeCount(), 0);
    EXPECT_FALSE(QFile::exists(QStringLiteral("/proc/%1").arg(pid))) << "the silent CLI outlived the process";
}

// Nothing in flight: the unwinding returns at once instead of waiting out its bound.
TEST(TerminationUnwind, ReturnsAtOnceWhenNothingWaits)
{
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(unwindSuspendedTasks(std::chrono::seconds(10)), 0);
    EXPECT_LT(elapsed.elapsed(), 1000);
}

// A normal quit while a refresh waits on a silent CLI, the phone's read waits for its answer to go
// out, and a cloud save waits for the folder's lock (another Mac holds it). The owners going away,
// in the application's order, cancel all three, and the unwinding ends with nothing left suspended
// instead of at its bound, which lies far off here.
TEST(TerminationUnwind, AQuitUnderARefreshASyncReadAndACloudSaveLeavesNothingSuspended)
{
    ViewModelHarness harness;
    FakeCodexAppServer codex({"pid started", "hang"});
    ASSERT_TRUE(startSilentRefresh(harness, codex));

    FakeSyncNetworkServices services;
    auto sync = std::make_unique<LocalSyncServer>(test::hostA, QStringLiteral("Mac"), services, *harness.sleeper,
                                                  harness.clock.clock());
    sync->start(RegisteredSyncDevice{QStringLiteral("iPhone"), SyncCredential{test::uuidNumber(9), QByteArray(32, 'k')},
                                     Date()});
    services.listeners.last()->report(PskListener::State::ready);
    const auto phone = services.listeners.last()->connect();
    drainEvents();
    phone->reportState(PskConnection::State::ready);
    drainEvents();
    phone->deliver(SyncChannel::frameOf(SyncMessage::readSnapshot()));
    drainEvents();
    EXPECT_EQ(phone->sent.size(), 1);

    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("cloud"));
    std::atomic<bool> waitsForLock = false;
    LocalDirectoryCloudDatabase::Options options;
    options.lockWaitSeconds = 600;
    options.fault = [&waitsForLock](const QString& call, const QString&) {
        waitsForLock = waitsForLock || call == QStringLiteral("lock");
        return 0;
    };
    ManualSleeper clientSleeper(harness.clock);
    auto store = std::make_shared<CloudKitSnapshotStore>(
        std::make_shared<CloudKitDatabaseClient>(std::make_shared<LocalDirectoryCloudDatabase>(root, options),
                                                 clientSleeper),
        nullptr);
    const std::optional<QString> account = waitForOutcome(store->accountIdentifier({})).value;
    ASSERT_TRUE(account);
    ASSERT_TRUE(QDir().mkpath(root + QLatin1Char('/') + *account));
    const int lock = ::open(QFile::encodeName(root + QLatin1Char('/') + *account + QStringLiteral("/lock")).constData(),
                            O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    auto cloud = std::make_unique<MacCloudSyncCoordinator>(
        test::hostA, store, std::make_shared<InMemorySettingsStore>(), harness.clock.clock(), harness.sleeper, nullptr);
    cloud->setEnabled(true);
    ASSERT_TRUE(waitUntil([&cloud] { return !cloud->isBusy(); }));
    cloud->receiveSnapshot(test::emptySnapshot());
    ASSERT_TRUE(waitUntil([&waitsForLock] { return waitsForLock.load(); }));
    EXPECT_TRUE(cloud->isUploading());

    cloud.reset();
    sync.reset();
    harness.destroyViewModel();
    EXPECT_EQ(unwindSuspendedTasks(std::chrono::seconds(60)), 0);
    EXPECT_EQ(detail::suspendedAwaiterCount(), 0);
    EXPECT_EQ(detail::pendingResumeCount(), 0);
    ::close(lock);
}
