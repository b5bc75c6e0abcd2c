#pragma once

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

namespace vantorel {

inline const QString stepKey = QStringLiteral("vantorel-mac-initial-setup.step");

// The real view model and both real coordinators over their fakes, both channels off; terminal
// commands and the programs a restart would start are recorded, and the discovery daemon checks wait
// in `discoveryChecks` for answers.
struct SetupRig {
    ViewModelHarness harness;
    FakeMacSyncServers servers;
    QList<DnsSdPublisher::AvailabilityHandler> discoveryChecks;
    MacSyncCoordinator wifi{harness.defaults,
                            std::make_shared<FakeMacSyncDeviceStorage>(),
                            QStringLiteral("Studio"),
                            harness.clock.clock(),
                            harness.sleeper,
                            servers.factory(),
                            [this](DnsSdPublisher::AvailabilityHandler done) { discoveryChecks.append(std::move(done)); }};
    MacCloudSyncCoordinator cloud{QUuid::createUuid(), std::make_shared<ScriptedCloudSnapshotStore>(), harness.defaults,
                                  harness.clock.clock(), harness.sleeper, nullptr};
    QStringList terminalCommands;
    QStringList detachedPrograms;
    // When set, Codex loads go here instead of to the harness's script.
    std::function<QCoro::Task<UsageSnapshot>(CancelToken)> codexUsageLoader;
    AppViewModel& model = makeViewModel();
    MacInitialSetupActions actions{model, &wifi, &cloud};

    AppViewModel& makeViewModel()
    {
        AppViewModelDependencies dependencies = harness.dependencies();
        dependencies.runInTerminal = [this](const QString& command) {
            terminalCommands << command;
            return true;
        };
        dependencies.claudeCodeLauncher = [this] {
            terminalCommands << QStringLiteral("claude");
            return true;
        };
        dependencies.claudeLoginLauncher = [this] {
            terminalCommands << QStringLiteral("claude login");
            return true;
        };
        dependencies.codexUsageLoader = [this, scripted = dependencies.codexUsageLoader](CancelToken token) {
            return codexUsageLoader ? codexUsageLoader(std::move(token)) : scripted(std::move(token));
        };
        dependencies.startDetachedProcess = [this](const QString& program, const QStringList&) {
            detachedPrograms << program;
            return std::optional<QString>();
        };
        dependencies.quitApplication = [] {};
        return harness.makeViewModel(std::move(dependencies));
    }
    MacInitialSetupDraft draft() const { return {model.settings(), wifi.enabled(), cloud.enabled()}; }
    void moveTo(std::int64_t step) { model.setInitialSetupProgress(model.initialSetupStore().move(step)); }
};

} // namespace vantorel
