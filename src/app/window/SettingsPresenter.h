#pragma once

#include "app/platform/ClaudeUsageFailure.h"
#include "core/model/AppSettings.h"
#include "sync/onboarding/OnboardingProgress.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace vantorel {

class OnboardingProgressStore;

// What the settings page shows, as pure functions of the view model's values, so the rules can
// be checked without widgets.
struct SettingsPresenter
{
    enum class Flow { guide, setup };

    // One of the two rows that reopen the guide or the setup wizard.
    struct FlowRow
    {
        QString title;
        QString symbol;
        QString description;
        QString openTitle;
        QString openSymbol;
        bool showsRestart = false;

        bool operator==(const FlowRow&) const = default;
    };

    static FlowRow flowRow(Flow flow, const OnboardingProgress& progress);
    // The open button's steps on the store: begin, and back to the first page when the flow was
    // completed. Returns each progress to publish, in order.
    static QList<OnboardingProgress> open(OnboardingProgressStore& store, const OnboardingProgress& current);

    // The first active error that is not the Claude usage message, which has its own line.
    static std::optional<QString> errorLine(const QStringList& activeErrorMessages,
                                            const std::optional<QString>& claudeUsageErrorMessage);

    // The Claude line under the action buttons.
    enum class ClaudeLine { none, recovery, message };
    static ClaudeLine claudeLine(bool claudeEnabled, const std::optional<ClaudeUsageFailure>& failure,
                                 const std::optional<QString>& claudeUsageErrorMessage);

    // The action buttons present now, in order, with whether each can be pressed.
    struct ActionState
    {
        bool codexEnabled = true;
        bool claudeEnabled = false;
        bool isRefreshingCodexCLI = false;
        bool isRefreshingClaudeUsage = false;
        bool isWaitingForClaudeLogin = false;
        std::optional<ClaudeUsageFailure> claudeUsageFailure;
    };
    enum class Action { refreshCodex, refreshClaude, claudeAuthentication, restart, quit };
    struct ActionButton
    {
        Action action;
        QString title;
        QString symbol;
        bool enabled = true;

        bool operator==(const ActionButton&) const = default;
    };
    static QList<ActionButton> actionButtons(const ActionState& state);

    // The sentence under the menu-bar options.
    static QString menuBarDescription(const AppSettings& settings);
    // What the square tray icon shows of these choices, and which choice only the panel shown
    // without a tray follows.
    static QString menuBarTrayNote(const AppSettings& settings);

    // The explanatory line under the everyone toggle; empty when there is none.
    static QString everyoneNote(const AppSettings& settings);

    // "Codex・残量低下" and "macOS: 対象 / Discord: 通知OFF" of the current notification targets.
    static QString targetTitle(MonitoredProvider provider, NotificationCategory category);
    static QString targetReasons(const AppSettings& settings, MonitoredProvider provider, NotificationCategory category);
    // The one line that says no secret service runs and what that turns off.
    static QString secretStoreMissingText();
};

} // namespace vantorel
