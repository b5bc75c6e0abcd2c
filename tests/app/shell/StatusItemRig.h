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

    // Tray pictures are drawn when `drawInBackground` runs them; at once by default.
    std::function<void(std::function<void()>)> drawInBackground = [](std::function<void()> task) { task(); };

    explicit ControllerRig(std::unique_ptr<StatusItemBackend> tray = nullptr,
                           std::function<void(std::function<void()>)> background = {})
    {
        if (background)
            drawInBackground = std::move(background);
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
                           .rendererEnvironment = {.appearance = [] { return MenuBarPalette::light(); },
                                                   .devicePixelRatio = [] { return 1.0; }},
                           .popoverContent = [] { return new QWidget; },
                           .log = [this](const QString& line) { lines.append(line); },
                           .drawInBackground = [this](std::function<void()> task) { drawInBackground(std::move(task)); }});
        drainEvents();
    }

    // The update runs on a queued signal, and the picture it draws arrives one turn later.
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
