#include "app/viewmodel/DerivedDisplayState.h"

#include "app/viewmodel/AppState.h"
#include "app/viewmodel/ProviderRefreshSchedule.h"

// Interim bodies: the derived display state replaces the ones that only return a neutral value.

namespace vantorel::derived {

bool hasEnabledProvider(const AppState& state)
{
    return state.settings.codexEnabled || state.settings.claudeEnabled;
}

QString activeProviderTitle(const AppState& state)
{
    const bool codex = state.settings.codexEnabled;
    const bool claude = state.settings.claudeEnabled;
    if (codex != claude) {
        return codex ? QStringLiteral("Codex") : QStringLiteral("Claude");
    }
    return QStringLiteral("AI");
}

OverallCodexState combinedOverallStatus(const AppState&)
{
    return OverallCodexState::normal;
}

std::optional<UsageSnapshot> displayedCodexUsageSnapshot(const AppState& state)
{
    if (!state.settings.codexEnabled || !state.usageSnapshot)
        return std::nullopt;
    if (!codexPeriodsNeedConfirmation(state))
        return state.usageSnapshot;
    // Values of unconfirmed windows could belong to either window: none of them is shown.
    auto snapshot = *state.usageSnapshot;
    snapshot.fiveHourRemainingPercent.reset();
    snapshot.weeklyRemainingPercent.reset();
    snapshot.resetAt.reset();
    snapshot.fiveHourResetAt.reset();
    snapshot.weeklyResetAt.reset();
    return snapshot;
}

std::optional<UsageSnapshot> displayedClaudeUsageSnapshot(const AppState& state)
{
    if (!state.settings.claudeEnabled || !state.claudeUsageSnapshot)
        return std::nullopt;
    if (state.claudeUsageErrorHidesOAuthSnapshot && state.claudeUsageSnapshot->source == UsageSource::claudeOAuth)
        return std::nullopt;
    return state.claudeUsageSnapshot;
}

bool isRefreshingAny(const AppState& state)
{
    return state.isRefreshing || state.isRefreshingClaudeStatus || state.isRefreshingRate
        || state.isRefreshingCodexCLI || state.isRefreshingClaudeUsage;
}

std::optional<QString> codexUsageDisplayErrorMessage(const AppState&)
{
    return std::nullopt;
}

std::optional<QString> claudeUsageDisplayErrorMessage(const AppState& state)
{
    if (!state.settings.claudeEnabled)
        return std::nullopt;
    const auto displayed = displayedClaudeUsageSnapshot(state);
    if (displayed && displayed->source != UsageSource::claudeOAuth)
        return std::nullopt;
    if (state.claudeUsageErrorMessage)
        return state.claudeUsageErrorMessage;
    if (displayed && displayed->updatedAt == state.claudeFailedSnapshotDate)
        return QStringLiteral("更新できません・最終値。最後の取得は失敗しています。");
    return std::nullopt;
}

QList<UsageHistoryEntry> confirmedUsageHistory(const AppState& state)
{
    QList<UsageHistoryEntry> confirmed;
    for (const UsageHistoryEntry& entry : state.usageHistory) {
        if (entry.periodsAreConfirmed()) {
            confirmed.append(entry);
        }
    }
    return confirmed;
}

QStringList activeErrorMessages(const AppState&)
{
    return {};
}

std::optional<QString> firstActiveIncidentName(const AppState&)
{
    return std::nullopt;
}

QString onboardingStatusText(const AppState&)
{
    return {};
}

QString initialSetupStatusText(const AppState&)
{
    return {};
}

QStringList planBadgeTexts(const AppState&)
{
    return {};
}

bool autoRefreshIsEnabled(const AppState& state)
{
    for (const MonitoredProvider provider : allMonitoredProviders) {
        if (ProviderRefreshSchedule::isActive(state.settings, provider)) {
            return true;
        }
    }
    return false;
}

bool codexPeriodsNeedConfirmation(const AppState& state)
{
    if (state.codexPeriodsUnconfirmed) {
        return true;
    }
    return state.usageSnapshot && !state.usageSnapshot->codexPeriodsAreConfirmed();
}

} // namespace vantorel::derived
