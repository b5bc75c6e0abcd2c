#include "app/window/DashboardState.h"

#include "app/viewmodel/AppViewModel.h"

namespace vantorel {

DashboardState DashboardState::capture(const AppViewModel& viewModel)
{
    DashboardState state;
    state.settings = viewModel.settings();
    state.hasEnabledProvider = viewModel.hasEnabledProvider();
    state.activeProviderTitle = viewModel.activeProviderTitle();
    state.planBadgeTexts = viewModel.planBadgeTexts();
    state.codexSnapshot = viewModel.displayedCodexUsageSnapshot();
    state.claudeSnapshot = viewModel.displayedClaudeUsageSnapshot();
    state.codexFiveHourWindowIsTemporarilyUnavailable = viewModel.codexFiveHourWindowIsTemporarilyUnavailable();
    state.codexStatus = viewModel.statusSummary().overallStatus;
    state.claudeStatus = viewModel.claudeStatusSummary().overallStatus;
    state.combinedOverallStatus = viewModel.combinedOverallStatus();
    state.firstActiveIncidentName = viewModel.firstActiveIncidentName();
    state.lastErrorMessage = viewModel.lastErrorMessage();
    state.claudeStatusErrorMessage = viewModel.claudeStatusErrorMessage();
    state.codexUsageDisplayErrorMessage = viewModel.codexUsageDisplayErrorMessage();
    state.claudeUsageDisplayErrorMessage = viewModel.claudeUsageDisplayErrorMessage();
    state.activeErrorMessages = viewModel.activeErrorMessages();
    state.apiRateSnapshot = viewModel.apiRateSnapshot();
    state.apiRateErrorMessage = viewModel.apiRateErrorMessage();
    state.apiKeyIsSaved = viewModel.apiKeyIsSaved();
    state.notificationAuthorizationState = viewModel.notificationAuthorizationState();
    state.isRefreshingAny = viewModel.isRefreshingAny();
    state.lastCopiedSummaryMessage = viewModel.lastCopiedSummaryMessage();
    state.autoRefreshIsEnabled = viewModel.autoRefreshIsEnabled();
    state.nextAutoRefreshAt = viewModel.nextAutoRefreshAt();
    state.lastRefreshCompletedAt = viewModel.lastRefreshCompletedAt();
    return state;
}

} // namespace vantorel
