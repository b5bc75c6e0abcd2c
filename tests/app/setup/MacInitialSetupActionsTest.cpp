#include "SetupRig.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

TEST(MacInitialSetupActionsTest, ApplyMergesOntoTheCurrentSettingsAndSwitchesOnlyWhatDiffers)
{
    SetupRig rig;
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
    SetupRig rig;
    MacInitialSetupDraft draft = rig.draft();
    draft.cloudSyncEnabled = true;
    QSignalSpy wifiChanges(&rig.wifi, &MacSyncCoordinator::changed);
    rig.actions.apply(draft);
    EXPECT_TRUE(rig.cloud.enabled());
    EXPECT_FALSE(rig.wifi.enabled());
    EXPECT_EQ(wifiChanges.count(), 0);
}

} // namespace
} // namespace vantorel
