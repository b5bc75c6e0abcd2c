#pragma once

#include "app/ui/MenuBarGaugeImageRenderer.h"
#include "core/foundation/Date.h"
#include "core/model/AppSettings.h"
#include "core/model/UsageSnapshot.h"

#include <QList>
#include <QString>

#include <optional>

namespace vantorel {

struct AppState;

// What the menu bar reads of the application state.
struct MenuBarGaugeState {
    AppSettings settings;
    // The stored Codex reading.
    std::optional<UsageSnapshot> usageSnapshot;
    // The readings as the user interface shows them.
    std::optional<UsageSnapshot> displayedCodexUsageSnapshot;
    std::optional<UsageSnapshot> displayedClaudeUsageSnapshot;
    bool codexPeriodsNeedConfirmation = false;
    std::optional<QString> claudeUsageDisplayErrorMessage;
    // The view model's Claude clock, read once per evaluation.
    Date claudeNow;
};

// Turns the application state into the gauge values, picture input, width and tool tip of the
// status item. Pure: every member recomputes from the state it is given.
struct MenuBarGaugePresenter {
    // What the menu bar reads of the view model's state, with its Claude clock's time.
    static MenuBarGaugeState stateOf(const AppState& state, Date claudeNow);

    static bool codexFiveHourWindowIsTemporarilyUnavailable(const MenuBarGaugeState& state);
    // The rings of each provider, five-hour first; they do not look at whether the provider is
    // enabled.
    static QList<MenuBarGaugeValue> codexMenuBarGaugeValues(const MenuBarGaugeState& state);
    static QList<MenuBarGaugeValue> claudeMenuBarGaugeValues(const MenuBarGaugeState& state);
    static MenuBarGaugeImageRenderer::Input menuBarGaugeInput(const MenuBarGaugeState& state);
    // Equal to the width of the image the renderer draws for `menuBarGaugeInput`.
    static int menuBarGaugeWidth(const MenuBarGaugeState& state);
    // The tool tip: one line per ring and notice, joined with " / ".
    static QString menuBarGaugeHelpText(const MenuBarGaugeState& state);
    // The same lines, joined with " / " per enabled service: one entry per service, or the one
    // fixed text when both are off.
    static QStringList menuBarGaugeHelpLines(const MenuBarGaugeState& state);
};

} // namespace vantorel
