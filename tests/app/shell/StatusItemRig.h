#pragma once

#include "app/shell/StatusItemController.h"
#include "app/viewmodel/AppViewModel.h"
#include "support/DrainEvents.h"
#include "support/FakeStatusItemBackend.h"
#include "support/ViewModelHarness.h"

#include <QWidget>

namespace vantorel::statusitemtest {

// A view model showing Codex (icon) and Claude (text) with both windows each, and a controller on
// a fake tray whose log lines are kept.
struct ControllerRig {
    ViewModelHarness harness;
    AppViewModel& viewModel = harness.makeViewModel();
    FakeStatusItemBackend* backend = nullptr;
    QStringList lines;
    std::unique_ptr<StatusItemController> controller;

    explicit ControllerRig(std::unique_ptr<StatusItemBackend> tray = nullptr)
    {
        auto settings = viewModel.settings();
        settings.codexEnabled = settings.claudeEnabled = true;
        settings.claudeMenuBarIdentityStyle = MenuBarProviderIdentityStyle::text;
        viewModel.setSettings(settings);
        setCodexFiveHour(37);
        if (!tray) {
            auto fake = std::make_unique<FakeStatusItemBackend>();
            backend = fake.get();
            tray = std::move(fake);
        }
        controller = std::make_unique<StatusItemController>(
            viewModel, StatusItemController::Dependencies{
                           .backend = std::move(tray),
                           .rendererEnvironment = {.appearance = [] { return MenuBarPalette::light(); },
                                                   .devicePixelRatio = [] { return 1.0; }},
                           .popoverContent = [] { return new QWidget; },
                           .log = [this](const QString& line) { lines.append(line); }});
        drainEvents();
    }

    void setCodexFiveHour(double percent)
    {
        UsageSnapshot snapshot;
        snapshot.fiveHourRemainingPercent = percent;
        snapshot.weeklyRemainingPercent = 80;
        snapshot.source = UsageSource::manual;
        viewModel.publishedState().usageSnapshot = snapshot;
        drainEvents();
    }
};

} // namespace vantorel::statusitemtest
