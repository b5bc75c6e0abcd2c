#include "app/viewmodel/DerivedDisplayState.h"

#include "app/viewmodel/AppState.h"
#include "app/viewmodel/ProviderRefreshSchedule.h"
#include "core/model/CodexPeriodValidation.h"
#include "core/model/ProviderPlanFormatter.h"
#include "sync/onboarding/OnboardingProgressStore.h"

#include <algorithm>

namespace vantorel::derived {

namespace {

// Higher is more severe: an outage outweighs a degradation, which outweighs a failed fetch.
int severity(OverallCodexState state)
{
    switch (state) {
    case OverallCodexState::outage:
        return 3;
    case OverallCodexState::degraded:
        return 2;
    case OverallCodexState::fetchFailed:
        return 1;
    case OverallCodexState::normal:
        break;
    }
    return 0;
}

bool claudeStatusPageShown(const AppSettings& settings)
{
    return settings.claudeEnabled && settings.claudeStatusEnabled;
}

QString progressText(const OnboardingProgress& progress, std::int64_t stepCount, const QString& notPresented,
                     const QString& completed)
{
    switch (progress.state) {
    case OnboardingCompletionState::notPresented:
        return notPresented;
    case OnboardingCompletionState::completed:
        return completed;
    case OnboardingCompletionState::deferred:
        break;
    }
    return QStringLiteral("途中（%1/%2）").arg(progress.currentStep + 1).arg(stepCount);
}

} // namespace

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

OverallCodexState combinedOverallStatus(const AppState& state)
{
    OverallCodexState combined = OverallCodexState::normal;
    const auto fold = [&combined](OverallCodexState next) {
        if (severity(next) > severity(combined))
            combined = next;
    };
    if (state.settings.codexEnabled)
        fold(state.statusSummary.overallStatus);
    if (claudeStatusPageShown(state.settings))
        fold(state.claudeStatusSummary.overallStatus);
    return combined;
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

std::optional<QString> codexUsageDisplayErrorMessage(const AppState& state)
{
    if (!state.settings.codexEnabled)
        return std::nullopt;
    if (codexPeriodsNeedConfirmation(state))
        return CodexPeriodValidation::unconfirmedMessage();
    // A manual or pasted reading is what the user sees; the CLI's failure does not concern it.
    if (!state.usageSnapshot || state.usageSnapshot->source == UsageSource::codexCLI)
        return state.settings.codexCLIAutoRefreshEnabled ? state.codexCLIErrorMessage : std::nullopt;
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
    // The common case shares the stored list: no copy, and the sync capture that compares it
    // with the last one finds the same data at once.
    if (std::all_of(state.usageHistory.cbegin(), state.usageHistory.cend(),
                    [](const UsageHistoryEntry& entry) { return entry.periodsAreConfirmed(); })) {
        return state.usageHistory;
    }
    QList<UsageHistoryEntry> confirmed;
    for (const UsageHistoryEntry& entry : state.usageHistory) {
        if (entry.periodsAreConfirmed()) {
            confirmed.append(entry);
        }
    }
    return confirmed;
}

QStringList activeErrorMessages(const AppState& state)
{
    const AppSettings& settings = state.settings;
    QStringList messages;
    const auto add = [&messages](const std::optional<QString>& message) {
        if (message)
            messages.append(*message);
    };
    if (settings.codexEnabled) {
        add(state.lastErrorMessage);
        add(codexUsageDisplayErrorMessage(state));
        if (settings.apiRateAutoRefreshEnabled)
            add(state.apiRateErrorMessage);
    }
    if (settings.claudeEnabled) {
        if (settings.claudeStatusEnabled)
            add(state.claudeStatusErrorMessage);
        add(claudeUsageDisplayErrorMessage(state));
    }
    return messages;
}

std::optional<QString> firstActiveIncidentName(const AppState& state)
{
    QList<const CodexStatusSummary*> summaries;
    if (state.settings.codexEnabled)
        summaries.append(&state.statusSummary);
    if (claudeStatusPageShown(state.settings))
        summaries.append(&state.claudeStatusSummary);
    for (const CodexStatusSummary* summary : summaries) {
        for (const Incident& incident : summary->incidents) {
            if (incident.status.toLower() != u"resolved")
                return incident.name;
        }
    }
    return std::nullopt;
}

QString onboardingStatusText(const AppState& state)
{
    return progressText(state.onboardingProgress, OnboardingProgressStore::onboardingStepCount,
                        QStringLiteral("未確認"), QStringLiteral("確認済み"));
}

QString initialSetupStatusText(const AppState& state)
{
    return progressText(state.initialSetupProgress, OnboardingProgressStore::initialSetupStepCount,
                        QStringLiteral("未設定"), QStringLiteral("設定済み"));
}

QStringList planBadgeTexts(const AppState& state)
{
    QStringList badges;
    if (state.settings.codexEnabled) {
        const auto shown = displayedCodexUsageSnapshot(state);
        badges.append(ProviderPlanFormatter::badgeText(QStringLiteral("Codex"), shown ? shown->planType : std::nullopt,
                                                       shown && shown->source == UsageSource::codexCLI));
    }
    if (state.settings.claudeEnabled) {
        const auto shown = displayedClaudeUsageSnapshot(state);
        std::optional<QString> plan = shown ? shown->planType : std::nullopt;
        if (!plan)
            plan = state.claudeAuthenticatedPlanType;
        const bool authenticated = (shown && shown->source == UsageSource::claudeOAuth)
            || state.claudeAuthenticatedPlanType.has_value();
        badges.append(ProviderPlanFormatter::badgeText(QStringLiteral("Claude"), plan, authenticated));
    }
    if (badges.isEmpty())
        badges.append(QStringLiteral("待機中"));
    return badges;
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
