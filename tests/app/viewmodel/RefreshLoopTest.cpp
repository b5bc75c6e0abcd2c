#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/StoredState.h"
#include "core/foundation/InMemorySettingsStore.h"
#include "core/foundation/PendingCompletion.h"
#include "support/ManualSleeper.h"
#include "support/QtPrinters.h"
#include "support/TaskOutcome.h"
#include "support/ViewModelHarness.h"
#include "support/WaitUntil.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <functional>

namespace vantorel {
namespace {

AppSettings codexAndClaudeSettings()
{
    AppSettings settings;
    settings.claudeEnabled = true;
    settings.usesSeparateRefreshIntervals = true;
    settings.codexRefreshIntervalSeconds = 300;
    settings.claudeRefreshIntervalSeconds = 600;
    return settings;
}

QCoro::Task<> never(PendingCompletion<> gate)
{
    co_await gate;
}

struct LoopCase
{
    const char* name;
    AppSettings settings;
    // Runs after the start-up refresh; t0 is the start time.
    std::function<void(ViewModelHarness&, AppViewModel&, Date t0)> run;
};

TEST(RefreshLoop, VirtualTime)
{
    AppSettings noProvider;
    noProvider.codexEnabled = false;
    const LoopCase cases[] = {
        {"each sleep lasts until the earliest due date",
         codexAndClaudeSettings(),
         [](ViewModelHarness& h, AppViewModel& vm, Date t0) {
             EXPECT_EQ(h.sleeper->nextDeadline(), t0 + 300);
             h.sleeper->advance(300);
             // The status fetch answers over loopback HTTP.
             EXPECT_TRUE(waitUntil([&] { return vm.tasks().scheduledProviderTasks.empty(); }));
             EXPECT_EQ(vm.lastRefreshCompletedAt(), t0 + 300);
             EXPECT_EQ(vm.nextAutoRefreshAt(), t0 + 600);
             EXPECT_EQ(h.sleeper->nextDeadline(), t0 + 600);
             EXPECT_TRUE(vm.tasks().scheduledProviderTasks.empty());
         }},
        {"a date ten days away is slept towards one day at a time",
         codexAndClaudeSettings(),
         [](ViewModelHarness& h, AppViewModel& vm, Date t0) {
             vm.mutableState().refreshSchedule.nextDates = {{MonitoredProvider::codex, t0 + 864'000},
                                                            {MonitoredProvider::claude, t0 + 864'000}};
             vm.startRefreshTimer();
             EXPECT_EQ(h.sleeper->nextDeadline(), t0 + 86'400);
             h.sleeper->advance(86'400);
             EXPECT_EQ(h.sleeper->nextDeadline(), t0 + 172'800);
             EXPECT_EQ(vm.lastRefreshCompletedAt(), t0);
         }},
        {"a provider still refreshing is skipped and its turn is not made up",
         codexAndClaudeSettings(),
         [](ViewModelHarness& h, AppViewModel& vm, Date t0) {
             PendingCompletion<> gate;
             CancelToken token;
             vm.tasks().scheduledProviderTasks[MonitoredProvider::codex] = TaskHandle(never(gate), token);
             h.sleeper->advance(300);
             EXPECT_TRUE(vm.tasks().scheduledProviderTasks.at(MonitoredProvider::codex).token() == token);
             EXPECT_EQ(vm.state().refreshSchedule.nextDates.at(MonitoredProvider::codex), t0 + 600);
             gate.complete();
         }},
        {"a manual refresh at T moves the next wake to T + interval",
         codexAndClaudeSettings(),
         [](ViewModelHarness& h, AppViewModel& vm, Date t0) {
             h.sleeper->advance(290);
             QCoro::waitFor(vm.refreshScheduledItems());
             EXPECT_EQ(h.sleeper->nextDeadline(), t0 + 590);
             EXPECT_EQ(h.logLines(QStringLiteral("refreshScheduledItems.start")).size(), 2);
         }},
        {"no active provider: no loop, but a manual refresh still runs",
         noProvider,
         [](ViewModelHarness& h, AppViewModel& vm, Date) {
             EXPECT_EQ(h.sleeper->pendingCount(), 0);
             EXPECT_FALSE(vm.nextAutoRefreshAt());
             EXPECT_EQ(h.logLines(QStringLiteral("refreshTimer.")).first(), QStringLiteral("refreshTimer.disabled noActiveProvider"));
             EXPECT_EQ(h.logLines(QStringLiteral("refreshScheduledItems.end")).size(), 1);
         }},
        {"the elapsed time ignores the locale",
         codexAndClaudeSettings(),
         [](ViewModelHarness& h, AppViewModel& vm, Date) {
             QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
             h.onLog = [&h](const QString& line) {
                 if (line == QStringLiteral("refreshScheduledItems.start")) {
                     h.clock.advance(3.268);
                 }
             };
             QCoro::waitFor(vm.refreshScheduledItems());
             QLocale::setDefault(QLocale::c());
             EXPECT_EQ(h.logLines(QStringLiteral("refreshScheduledItems.end")).last(),
                       QStringLiteral("refreshScheduledItems.end elapsed=3.27s"));
         }},
        {"a second self-clearing text survives the first one's timer",
         codexAndClaudeSettings(),
         [](ViewModelHarness& h, AppViewModel& vm, Date) {
             vm.setTransientLaunchAtLoginMessage(QStringLiteral("first"));
             drainEvents();
             h.sleeper->advance(1);
             vm.setTransientLaunchAtLoginMessage(QStringLiteral("second"));
             drainEvents();
             h.sleeper->advance(2);
             EXPECT_EQ(vm.launchAtLoginMessage(), QStringLiteral("second"));
             h.sleeper->advance(1);
             EXPECT_FALSE(vm.launchAtLoginMessage());
         }},
        {"destroying the view model cancels its sleeping tasks",
         codexAndClaudeSettings(),
         [](ViewModelHarness& h, AppViewModel& vm, Date) {
             vm.setTransientDiscordWebhookMessage(QStringLiteral("saved"));
             drainEvents();
             EXPECT_EQ(h.sleeper->pendingCount(), 2);
             h.destroyViewModel();
             EXPECT_EQ(h.sleeper->pendingCount(), 0);
             h.sleeper->advance(1000);
         }},
    };
    for (const LoopCase& c : cases) {
        SCOPED_TRACE(c.name);
        ViewModelHarness harness;
        harness.defaults->set(StoredState::Keys::defaultsApplied, true);
        harness.defaults->set(StoredState::Keys::settings, json::write(toJson(c.settings), json::Form::store));
        const Date t0 = harness.clock.now();
        AppViewModel& vm = harness.makeViewModel(true);
        ASSERT_TRUE(waitUntil([&] { return !harness.logLines(QStringLiteral("refreshScheduledItems.end")).isEmpty(); }));
        c.run(harness, vm, t0);
    }
}

} // namespace
} // namespace vantorel
