#pragma once

#include "app/shell/StatusItemController.h"
#include "app/viewmodel/AppViewModel.h"
#include "support/DrainEvents.h"
#include "support/FakeStatusItemBackend.h"
#include "support/ViewModelHarness.h"

#include <QWidget>

namespace vantorel::statusitemtest {

// A view model showing Codex (icon) and Claude (text), Codex at 37 % and 80 %, and a controller on
// the given tray (a fake one by default) whose log lines are kept.
struct ControllerRig {
    ViewModelHarness harness;
    AppViewModel& viewModel = harness.makeViewModel();
    FakeStatusItemBackend* backend = nullptr;
    QStringList lines;
    std::unique_ptr<StatusItemController> controller;

    // The desktop's appearance: set `palette` and call `appearanceChanged` to switch it live.
    MenuBarPalette palette = MenuBarPalette::light();
    std::function<void()> appearanceChanged;

    explicit ControllerRig(std::unique_ptr<StatusItemBackend> tray = nullptr)
    {
        changeSettings([](AppSettings& s) {
            s.codexEnabled = s.claudeEnabled = true;
            s.claudeMenuBarIdentityStyle = MenuBarProviderIdentityStyle::text;
        });
        setCodexFiveHour(37);
        if (!tray)
            tray = std::make_unique<FakeStatusItemBackend>();
        backend = qobject_cast<FakeStatusItemBackend*>(tray.get());
        controller = std::make_unique<StatusItemController>(
            viewModel, StatusItemController::Dependencies{
                           .backend = std::move(tray),
                           .rendererEnvironment = {.appearance = [this] { return palette; },
                                                   .devicePixelRatio = [] { return 1.0; },
                                                   .onAppearanceChange =
                                                       [this](QObject*, std::function<void()> changed) {
                                                           appearanceChanged = std::move(changed);
                                                       }},
                           .popoverContent = [] { return new QWidget; },
                           .log = [this](const QString& line) { lines.append(line); }});
        drainEvents();
    }

    // The update runs on a queued signal.
    static void settle()
    {
        drainEvents();
        drainEvents();
    }

    void changeSettings(const std::function<void(AppSettings&)>& change)
    {
        auto settings = viewModel.settings();
        change(settings);
        viewModel.setSettings(settings);
        settle();
    }

    void setCodexFiveHour(double percent)
    {
        viewModel.publishedState().usageSnapshot = UsageSnapshot{
            .fiveHourRemainingPercent = percent, .weeklyRemainingPercent = 80, .source = UsageSource::manual};
        settle();
    }
};

} // namespace vantorel::statusitemtest
