#pragma once

#include "FullHistories.h"
#include "app/syncui/MacSyncCoordinator.h"
#include "app/syncui/MacSyncDeviceStorage.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/AppViewModelDependencies.h"
#include "core/foundation/Sleeper.h"

#include <QCoroTask>

#include <memory>

namespace vantorel {

// The view model as the program has it at a reading: every history full, Codex on, observed by the
// sync coordinator as at start-up (no paired device), over `defaults`. The clock moves only when
// the benchmark moves `now`.
class ObservedViewModel
{
public:
    ObservedViewModel(std::shared_ptr<SettingsStore> defaults, double sampleSpacing)
        : viewModel(dependencies(defaults, clock))
        , sync(defaults, std::make_shared<NoDevice>(), QStringLiteral("Studio"), clock, std::make_shared<NoSleep>(),
               [](const QUuid&, const QString&) { return nullptr; })
    {
        viewModel.mutableState().settings.codexEnabled = true;
        fillHistories(viewModel, *now, sampleSpacing);
        sync.observe<AppViewModel>(&viewModel,
                                   [](const AppViewModel& model) { return MacSyncDisplayInput::capture(model); });
    }

    std::shared_ptr<Date> now = std::make_shared<Date>(Date::fromUnixSeconds(1'772'323'200));
    const Clock clock = [now = now] { return *now; };
    AppViewModel viewModel;
    MacSyncCoordinator sync;

private:
    class NoDevice final : public MacSyncDeviceStorage
    {
    public:
        QCoro::Task<std::optional<RegisteredSyncDevice>> load(CancelToken) override { co_return std::nullopt; }
        void save(const RegisteredSyncDevice&) override { }
        void remove() override { }
    };

    class NoSleep final : public Sleeper
    {
    public:
        QCoro::Task<> sleep(double, CancelToken) override { co_return; }
    };

    static AppViewModelDependencies dependencies(std::shared_ptr<SettingsStore> defaults, Clock clock)
    {
        AppViewModelDependencies dependencies;
        dependencies.defaults = std::move(defaults);
        dependencies.automaticallyStartServices = false;
        dependencies.now = std::move(clock);
        dependencies.log = [](const QString&) {};
        return dependencies;
    }
};

} // namespace vantorel
