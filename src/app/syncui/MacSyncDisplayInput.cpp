#include "app/syncui/MacSyncDisplayInput.h"

#include "app/viewmodel/AppViewModel.h"

namespace vantorel {

MacSyncDisplayInput MacSyncDisplayInput::capture(const AppViewModel& viewModel)
{
    const AppSettings& settings = viewModel.settings();
    MacSyncDisplayInput input;

    input.codex.enabled = settings.codexEnabled;
    input.codex.snapshot = viewModel.displayedCodexUsageSnapshot();
    input.codex.status = viewModel.statusSummary().overallStatus;
    input.codex.usageFailed = viewModel.codexUsageDisplayErrorMessage().has_value();
    input.codex.usageFormatUnconfirmed = viewModel.codexPeriodsNeedConfirmation();
    input.codex.statusFailed = viewModel.lastErrorMessage().has_value();
    input.codex.fiveHourPaused = viewModel.codexFiveHourWindowIsTemporarilyUnavailable();

    // An old Claude status error stays stored after its page is switched off; it is not shown.
    const bool claudeStatusWatched = settings.claudeStatusEnabled;
    input.claude.enabled = settings.claudeEnabled;
    input.claude.snapshot = viewModel.displayedClaudeUsageSnapshot();
    if (claudeStatusWatched) {
        input.claude.status = viewModel.claudeStatusSummary().overallStatus;
    }
    input.claude.usageFailed = viewModel.claudeUsageDisplayErrorMessage().has_value();
    input.claude.statusFailed = claudeStatusWatched && viewModel.claudeStatusErrorMessage().has_value();
    input.claude.authenticatedPlanType = viewModel.claudeAuthenticatedPlanType();

    input.refreshIntervalSeconds = settings.refreshIntervalSeconds;
    input.usageHistory = viewModel.confirmedUsageHistory();
    input.notificationHistory = viewModel.notificationHistory();
    return input;
}

} // namespace vantorel
