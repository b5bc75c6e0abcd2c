#include "app/viewmodel/AppViewModel.h"
#include "core/foundation/PendingCompletion.h"
#include "core/foundation/TaskUnwinding.h"
#include "support/FakeCodexAppServer.h"
#include "support/ViewModelHarness.h"
#include "support/WaitUntil.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPointer>

#include <gtest/gtest.h>

using namespace vantorel;

// The end of the process comes while a refresh waits on a Codex CLI that never answers. The
// owners going away cancels it; the unwinding that follows must see the killed child reaped and
// every cancelled task finish, or their frames stay behind (and the sanitizer build's leak check
// fails this test as well).
TEST(TerminationUnwind, ARefreshWaitingOnASilentCliUnwindsCompletely)
{
    ViewModelHarness harness;
    FakeCodexAppServer codex({"pid started", "hang"});
    AppSettings settings;
    settings.codexCLIExecutablePath = codex.executablePath();
    harness.storeSettings(settings);
    AppViewModelDependencies dependencies = harness.dependencies();
    dependencies.codexUsageLoader = {};
    AppViewModel& viewModel = harness.makeViewModel(std::move(dependencies));
    const QPointer<AppViewModel> core(&viewModel);
    viewModel.startTask([core] { return core->refreshScheduledItems(); });
    ASSERT_TRUE(waitUntil([&codex] { return codex.pidFrom(QStringLiteral("started")).has_value(); }));
    const qint64 pid = *codex.pidFrom(QStringLiteral("started"));

    harness.destroyViewModel();
    EXPECT_TRUE(unwindSuspendedTasks(std::chrono::seconds(10)));
    EXPECT_EQ(detail::suspendedAwaiterCount(), 0);
    EXPECT_EQ(detail::pendingResumeCount(), 0);
    EXPECT_FALSE(QFile::exists(QStringLiteral("/proc/%1").arg(pid))) << "the silent CLI outlived the process";
}

// Nothing in flight: the unwinding returns at once instead of waiting out its bound.
TEST(TerminationUnwind, ReturnsAtOnceWhenNothingWaits)
{
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_TRUE(unwindSuspendedTasks(std::chrono::seconds(10)));
    EXPECT_LT(elapsed.elapsed(), 1000);
}
