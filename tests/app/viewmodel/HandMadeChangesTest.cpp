#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/StoredState.h"
#include "core/foundation/JsonFileSettingsStore.h"
#include "core/model/AppSettings.h"
#include "support/DrainEvents.h"
#include "support/ManualOneShotTimer.h"
#include "support/ViewModelHarness.h"
#include "support/WaitUntil.h"

#include <QCoroTask>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using Keys = StoredState::Keys;

// Over the file store whose write-behind delay passes only when the test fires its timer: what
// reaches the file without that is written at once.
class HandMadeChangesTest : public testing::Test
{
public:
    HandMadeChangesTest()
    {
        auto timer = std::make_unique<ManualOneShotTimer>();
        writeDelay = timer.get();
        store = std::make_shared<JsonFileSettingsStore>(path(), harness.clock.clock(), std::move(timer));
        store->set(Keys::defaultsApplied, true);
        store->flush();
        AppViewModelDependencies dependencies = harness.dependencies();
        dependencies.defaults = store;
        harness.makeViewModel(std::move(dependencies));
        drainEvents();
        // What the load repaired goes out with the first delayed write.
        if (writeDelay->fire())
            store->flush();
        writes = store->completedWriteCount();
    }

    QString path() const { return directory.filePath(QStringLiteral("defaults.json")); }
    // The settings record as the file holds it now.
    std::optional<AppSettings> storedSettings() const
    {
        const auto text = JsonFileSettingsStore(path()).dataValue(Keys::settings);
        const auto document = text ? json::parse(*text) : std::nullopt;
        return document ? appSettingsFromJson(*document) : std::nullopt;
    }

    QTemporaryDir directory;
    ViewModelHarness harness;
    ManualOneShotTimer* writeDelay = nullptr;
    std::shared_ptr<JsonFileSettingsStore> store;
    int writes = 0;
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
