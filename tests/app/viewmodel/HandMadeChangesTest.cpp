#include "app/viewmodel/AppViewModel.h"
#include "support/DrainEvents.h"
#include "support/FileStoreViewModel.h"
#include "support/ManualOneShotTimer.h"
#include "support/WaitUntil.h"

#include <QCoroTask>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

// Over the file store whose write-behind delay passes only when the test fires its timer.
class HandMadeChangesTest : public testing::Test, public FileStoreViewModel
{
};

// A switch the user turns is on disk without waiting for the write-behind, so a process killed
// right after the click keeps it; a reading still waits, and costs one write.
TEST_F(HandMadeChangesTest, ASettingTurnedByHandIsWrittenAtOnceAndAReadingWaits)
{
    AppViewModel& vm = harness.viewModel();
    harness.scriptCodexReading(UsageSnapshot{.fiveHourRemainingPercent = 40, .weeklyRemainingPercent = 80,
                                             .planType = "plus", .source = UsageSource::codexCLI,
                                             .updatedAt = harness.clock.now(), .codexPeriodValidationVersion = 1});
    QCoro::waitFor(vm.refreshCodexCLIUsage());
    drainEvents();
    ASSERT_TRUE(vm.usageSnapshot());
    EXPECT_EQ(store->completedWriteCount(), writes);
    ASSERT_TRUE(writeDelay->fire());
    store->flush();
    EXPECT_EQ(store->completedWriteCount(), writes + 1);

    AppSettings settings = vm.settings();
    settings.menuBarCompactMode = !settings.menuBarCompactMode;
    vm.setSettings(settings);
    EXPECT_TRUE(waitUntil([&] { return store->completedWriteCount() == writes + 2; }));
    ASSERT_TRUE(storedSettings());
    EXPECT_EQ(storedSettings()->menuBarCompactMode, settings.menuBarCompactMode);
}

} // namespace
} // namespace vantorel
