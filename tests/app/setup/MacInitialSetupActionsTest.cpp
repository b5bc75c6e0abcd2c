#include "app/setup/MacInitialSetupActions.h"
#include "app/setup/MacInitialSetupDraft.h"
#include "app/syncui/MacCloudSyncCoordinator.h"
#include "app/syncui/MacSyncCoordinator.h"
#include "app/viewmodel/AppViewModel.h"
#include "core/foundation/InMemorySettingsStore.h"
#include "support/FakeMacSyncServing.h"
#include "support/ManualSleeper.h"
#include "support/ScriptedCloudSnapshotStore.h"
#include "support/ViewModelHarness.h"
#include "sync/onboarding/OnboardingProgressStore.h"

#include <QCoreApplication>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

const QString stepKey = QStringLiteral("vantorel-mac-initial-setup.step");

// The real view model and both real coordinators over their fakes, both channels off.
struct Rig {
    ViewModelHarness harness;
    FakeMacSyncServers servers;
    MacSyncCoordinator wifi{harness.defaults, std::make_shared<FakeMacSyncDeviceStorage>(), QStringLiteral("Studio"),
                            harness.clock.clock(), harness.sleeper, servers.factory()};
    MacCloudSyncCoordinator cloud{QUuid::createUuid(), std::make_shared<ScriptedCloudSnapshotStore>(), harness.defaults,
                                  harness.clock.clock(), harness.sleeper, nullptr};
    AppViewModel& model = harness.makeViewModel();
    MacInitialSetupActions actions{model, &wifi, &cloud};

    MacInitialSetupDraft draft() const { return {model.settings(), wifi.enabled(), cloud.enabled()}; }
    void moveTo(std::int64_t step) { model.setInitialSetupProgress(model.initialSetupStore().move(step)); }
};

TEST(MacInitialSetupActionsTest, ApplyMergesOntoTheCurrentSettingsAndSwitchesOnlyWhatDiffers)
{
    Rig rig;
    rig.moveTo(6);
    MacInitialSetupDraft draft = rig.draft();
    draft.settings.refreshIntervalSeconds = 900;
    draft.settings.apiRateModel = QStringLiteral("from-the-draft");
    AppSettings meanwhile = rig.model.settings();
    meanwhile.apiRateModel = QStringLiteral("changed-elsewhere");
    rig.model.setSettings(meanwhile);

    QSignalSpy wifiChanges(&rig.wifi, &MacSyncCoordinator::changed);
    rig.actions.apply(draft);
    EXPECT_EQ(wifiChanges.count(), 0);
    EXPECT_TRUE(rig.harness.launchAtLoginCalls().isEmpty());
    EXPECT_EQ(rig.model.initialSetupProgress().state, OnboardingCompletionState::completed);
    EXPECT_EQ(rig.model.initialSetupProgress().currentStep, 6);

    AppSettings expected = meanwhile;
    expected.refreshIntervalSeconds = 900;
    EXPECT_EQ(rig.model.settings(), expected);
    EXPECT_EQ(rig.harness.makeViewModel().settings(), expected) << "not persisted";
}

TEST(MacInitialSetupActionsTest, ApplySwitchesOnlyTheCloudWhenOnlyItDiffers)
{
    Rig rig;
    MacInitialSetupDraft draft = rig.draft();
    draft.cloudSyncEnabled = true;
    QSignalSpy wifiChanges(&rig.wifi, &MacSyncCoordinator::changed);
    rig.actions.apply(draft);
    EXPECT_TRUE(rig.cloud.enabled());
    EXPECT_FALSE(rig.wifi.enabled());
    EXPECT_EQ(wifiChanges.count(), 0);
}

TEST(MacInitialSetupActionsTest, DeferKeepsSettingsSyncAndStep)
{
    Rig rig;
    rig.moveTo(3);
    const AppSettings before = rig.model.settings();
    rig.actions.deferPresentation();
    EXPECT_EQ(rig.model.settings(), before);
    EXPECT_FALSE(rig.wifi.enabled() || rig.cloud.enabled());
    EXPECT_EQ(rig.model.initialSetupProgress().state, OnboardingCompletionState::deferred);
    EXPECT_EQ(rig.harness.defaults->integerValue(stepKey), 3);
}

TEST(MacInitialSetupActionsTest, NextAndBackMoveFromTheClampedStepAndPersist)
{
    Rig rig;
    const struct {
        std::int64_t stored;
        bool forward;
        std::int64_t expected;
    } cases[] = {{0, false, 0}, {0, true, 1}, {5, true, 6}, {6, true, 6}, {6, false, 5}};
    for (const auto& c : cases) {
        rig.moveTo(c.stored);
        c.forward ? rig.actions.next() : rig.actions.back();
        EXPECT_EQ(rig.model.initialSetupProgress().currentStep, c.expected) << c.stored;
        EXPECT_EQ(rig.harness.defaults->integerValue(stepKey), c.expected) << c.stored;
    }
}

} // namespace
} // namespace vantorel
