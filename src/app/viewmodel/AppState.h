#pragma once

#include "app/platform/AppNotificationAuthorizationState.h"
#include "app/platform/ClaudeUsageFailure.h"
#include "app/viewmodel/DiscordTestDraft.h"
#include "app/viewmodel/ProviderRefreshSchedule.h"
#include "core/foundation/Date.h"
#include "core/model/AppSettings.h"
#include "core/model/BankedResetSummary.h"
#include "core/model/BoundedEventLedger.h"
#include "core/model/CodexStatusSummary.h"
#include "core/model/ComponentHealth.h"
#include "core/model/MonitoredProvider.h"
#include "core/model/NotificationHistoryEntry.h"
#include "core/model/RateLimitSnapshot.h"
#include "core/model/UsageHistoryEntry.h"
#include "core/model/UsageResetBaseline.h"
#include "core/model/UsageSnapshot.h"
#include "core/rules/BankedResetExpiryIdentity.h"
#include "core/rules/BankedResetExpiryObservation.h"
#include "core/rules/PendingDiscordNotification.h"
#include "sync/onboarding/OnboardingProgress.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <optional>

namespace vantorel {

// Everything the application core knows, as plain values. The view model owns one; its
// collaborators read and write it through the view model, which announces published changes.
// Running tasks are not state and live in AppTasks.
struct AppState
{
    static constexpr qsizetype resetNotificationLedgerCapacity = 80;

    // Published: every change is announced through AppViewModel::changed().
    CodexStatusSummary statusSummary;
    CodexStatusSummary claudeStatusSummary;
    std::optional<UsageSnapshot> usageSnapshot;
    std::optional<UsageSnapshot> claudeUsageSnapshot;
    std::optional<RateLimitSnapshot> apiRateSnapshot;
    // Newest first.
    QList<NotificationHistoryEntry> notificationHistory;
    // Oldest first.
    QList<UsageHistoryEntry> usageHistory;
    AppSettings settings;
    bool isRefreshing = false;
    bool isRefreshingClaudeStatus = false;
    bool isRefreshingRate = false;
    bool isRefreshingCodexCLI = false;
    bool isRefreshingClaudeUsage = false;
    bool isWaitingForClaudeLogin = false;
    std::optional<QString> lastErrorMessage;
    std::optional<QString> claudeStatusErrorMessage;
    std::optional<QString> apiRateErrorMessage;
    // Outcome of the last API key save or delete.
    std::optional<QString> apiKeyMessage;
    std::optional<QString> codexCLIErrorMessage;
    std::optional<QString> claudeUsageErrorMessage;
    std::optional<ClaudeUsageFailure> claudeUsageFailure;
    // Update time of the Claude reading that was current when a Claude fetch last failed.
    std::optional<Date> claudeFailedSnapshotDate;
    // No secret service answered the start-up check: nothing secret can be saved or read.
    bool secretStoreUnavailable = false;
    bool apiKeyIsSaved = false;
    bool discordWebhookIsSaved = false;
    std::optional<QString> launchAtLoginMessage;
    std::optional<QString> lastCopiedSummaryMessage;
    // What a button could not open, shown briefly in the window.
    std::optional<QString> openFailureMessage;
    std::optional<QString> discordWebhookMessage;
    // Set while the settings file or the log cannot be written.
    std::optional<QString> storageFailureMessage;
    std::optional<DiscordTestDraft> discordTestPreview;
    bool isSendingDiscordTest = false;
    std::optional<Date> lastRefreshCompletedAt;
    std::optional<Date> nextAutoRefreshAt;
    AppNotificationAuthorizationState notificationAuthorizationState = AppNotificationAuthorizationState::checking;
    std::optional<QString> claudeAuthenticatedPlanType;
    OnboardingProgress onboardingProgress;
    OnboardingProgress initialSetupProgress;
    // The Discord outbox.
    QList<PendingDiscordNotification> pendingDiscordResetNotifications;
    std::optional<Date> discordServerRetryNotBefore;
    bool discordWebhookNeedsAttention = false;
    bool codexPeriodsUnconfirmed = false;
    bool claudeAutomaticRecoveryDeferred = false;

    // Not published.
    ProviderRefreshSchedule refreshSchedule;
    bool isRefreshingScheduledItems = false;

    // Status baselines: component name to its last health.
    QMap<QString, ComponentHealth> previousServiceStatuses;
    QMap<QString, ComponentHealth> previousClaudeServiceStatuses;

    // Usage alert and reset ledgers. The key lists keep insertion order without duplicates, so
    // trimming drops the oldest keys.
    QStringList sentUsageNotifications;
    QStringList sentDiscordUsageNotifications;
    BoundedEventLedger sentResetNotificationKeys{{}, resetNotificationLedgerCapacity};
    QMap<QString, Date> lastResetNotificationDates;
    QMap<QString, UsageResetBaseline> usageResetBaselines;
    QMap<MonitoredProvider, UsageSnapshot> notificationUsageObservations;

    // Banked resets.
    std::optional<BankedResetSummary> lastObservedBankedReset;
    QList<BankedResetExpiryIdentity> notifiedBankedResetExpiries;
    BankedResetExpiryObservation bankedResetExpiryObservation;

    // Discord delivery.
    QUuid discordDestinationGeneration = QUuid::createUuid();
    bool isDeliveringDiscordResetNotification = false;

    // Claude authentication.
    bool claudeUsageErrorHidesOAuthSnapshot = false;
    std::optional<Date> claudeUsageRetryAfter;
    std::optional<ClaudeUsageFailure> claudeUsageRetryFailure;
    std::optional<QUuid> claudeAutomaticRecoveryTaskID;
    bool claudeAutomaticRecoveryInProgress = false;
    QUuid claudeAuthenticationGeneration = QUuid::createUuid();
    bool claudeRefreshAfterCancellation = false;
    std::optional<QString> claudeRejectedToken;
};

} // namespace vantorel
