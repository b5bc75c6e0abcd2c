#pragma once

#include "app/platform/LocalNotificationRequest.h"
#include "app/viewmodel/AppState.h"
#include "app/viewmodel/AppTasks.h"
#include "app/viewmodel/AppViewModelDependencies.h"
#include "app/viewmodel/DerivedDisplayState.h"
#include "app/viewmodel/DiscordSendOutcome.h"
#include "app/viewmodel/MenuBarGaugePresenter.h"
#include "app/viewmodel/OpenFailure.h"
#include "core/foundation/CancelToken.h"
#include "core/rules/NotificationDeliveryContext.h"
#include "core/rules/UsageResetDetectionReason.h"

#include <QObject>
#include <QPointer>

#include <QCoroTask>

#include <chrono>
#include <functional>
#include <memory>

namespace vantorel {

class AsyncKeychain;
class ClaudeAuthenticationRecovery;
struct ClaudeCodeTokenInfo;
class ClaudeUsageRefresh;
class BankedResetNotifications;
class DiscordOutboxQueue;
class DiscordOutboxWorker;
class OnboardingProgressStore;
class ReadingIntake;
class RefreshLoop;
class SettingsChangeHandler;
class SettingsStore;
class StoredState;
class TransientMessage;
class UsageNotifications;

// The application core: holds the whole application state, loads and persists it, runs the
// refresh schedule and the notification and Discord work. One per process, GUI thread only.
//
// Views read the getters and listen to changed(), which fires once on the next event-loop turn
// after any turn that changed published state. Views write only through the set* members below
// and call the public operations; everything else is done by the collaborators, one class per
// concern, which reach each other only through this facade.
//
// Asynchronous operations are coroutines that hold the view model through a QPointer and return
// as soon as it is gone. Destroying the view model cancels every task it started.
class AppViewModel final : public QObject
{
    Q_OBJECT

public:
    explicit AppViewModel(AppViewModelDependencies dependencies, QObject* parent = nullptr);
    ~AppViewModel() override;

    // Published state.
    const CodexStatusSummary& statusSummary() const { return m_state.statusSummary; }
    const CodexStatusSummary& claudeStatusSummary() const { return m_state.claudeStatusSummary; }
    const std::optional<UsageSnapshot>& usageSnapshot() const { return m_state.usageSnapshot; }
    const std::optional<UsageSnapshot>& claudeUsageSnapshot() const { return m_state.claudeUsageSnapshot; }
    const std::optional<RateLimitSnapshot>& apiRateSnapshot() const { return m_state.apiRateSnapshot; }
    const QList<NotificationHistoryEntry>& notificationHistory() const { return m_state.notificationHistory; }
    const QList<UsageHistoryEntry>& usageHistory() const { return m_state.usageHistory; }
    const AppSettings& settings() const { return m_state.settings; }
    bool isRefreshing() const { return m_state.isRefreshing; }
    bool isRefreshingClaudeStatus() const { return m_state.isRefreshingClaudeStatus; }
    bool isRefreshingRate() const { return m_state.isRefreshingRate; }
    bool isRefreshingCodexCLI() const { return m_state.isRefreshingCodexCLI; }
    bool isRefreshingClaudeUsage() const { return m_state.isRefreshingClaudeUsage; }
    bool isWaitingForClaudeLogin() const { return m_state.isWaitingForClaudeLogin; }
    const std::optional<QString>& lastErrorMessage() const { return m_state.lastErrorMessage; }
    const std::optional<QString>& claudeStatusErrorMessage() const { return m_state.claudeStatusErrorMessage; }
    const std::optional<QString>& apiRateErrorMessage() const { return m_state.apiRateErrorMessage; }
    const std::optional<QString>& apiKeyMessage() const { return m_state.apiKeyMessage; }
    const std::optional<QString>& codexCLIErrorMessage() const { return m_state.codexCLIErrorMessage; }
    const std::optional<QString>& claudeUsageErrorMessage() const { return m_state.claudeUsageErrorMessage; }
    const std::optional<ClaudeUsageFailure>& claudeUsageFailure() const { return m_state.claudeUsageFailure; }
    const std::optional<Date>& claudeFailedSnapshotDate() const { return m_state.claudeFailedSnapshotDate; }
    bool apiKeyIsSaved() const { return m_state.apiKeyIsSaved; }
    bool secretStoreUnavailable() const { return m_state.secretStoreUnavailable; }
    bool discordWebhookIsSaved() const { return m_state.discordWebhookIsSaved; }
    const std::optional<QString>& launchAtLoginMessage() const { return m_state.launchAtLoginMessage; }
    const std::optional<QString>& lastCopiedSummaryMessage() const { return m_state.lastCopiedSummaryMessage; }
    const std::optional<QString>& storageFailureMessage() const { return m_state.storageFailureMessage; }
    const std::optional<QString>& openFailureMessage() const { return m_state.openFailureMessage; }
    const std::optional<QString>& discordWebhookMessage() const { return m_state.discordWebhookMessage; }
    const std::optional<DiscordTestDraft>& discordTestPreview() const { return m_state.discordTestPreview; }
    bool isSendingDiscordTest() const { return m_state.isSendingDiscordTest; }
    const std::optional<Date>& lastRefreshCompletedAt() const { return m_state.lastRefreshCompletedAt; }
    const std::optional<Date>& nextAutoRefreshAt() const { return m_state.nextAutoRefreshAt; }
    AppNotificationAuthorizationState notificationAuthorizationState() const { return m_state.notificationAuthorizationState; }
    const std::optional<QString>& claudeAuthenticatedPlanType() const { return m_state.claudeAuthenticatedPlanType; }
    const OnboardingProgress& onboardingProgress() const { return m_state.onboardingProgress; }
    const OnboardingProgress& initialSetupProgress() const { return m_state.initialSetupProgress; }
    const QList<PendingDiscordNotification>& pendingDiscordResetNotifications() const { return m_state.pendingDiscordResetNotifications; }
    const std::optional<Date>& discordServerRetryNotBefore() const { return m_state.discordServerRetryNotBefore; }
    bool discordWebhookNeedsAttention() const { return m_state.discordWebhookNeedsAttention; }
    bool codexPeriodsUnconfirmed() const { return m_state.codexPeriodsUnconfirmed; }
    bool claudeAutomaticRecoveryDeferred() const { return m_state.claudeAutomaticRecoveryDeferred; }

    // Derived state, computed on every read.
    bool hasEnabledProvider() const { return derived::hasEnabledProvider(m_state); }
    QString activeProviderTitle() const { return derived::activeProviderTitle(m_state); }
    OverallCodexState combinedOverallStatus() const { return derived::combinedOverallStatus(m_state); }
    std::optional<UsageSnapshot> displayedCodexUsageSnapshot() const { return derived::displayedCodexUsageSnapshot(m_state); }
    std::optional<UsageSnapshot> displayedClaudeUsageSnapshot() const { return derived::displayedClaudeUsageSnapshot(m_state); }
    bool isRefreshingAny() const { return derived::isRefreshingAny(m_state); }
    std::optional<QString> codexUsageDisplayErrorMessage() const { return derived::codexUsageDisplayErrorMessage(m_state); }
    std::optional<QString> claudeUsageDisplayErrorMessage() const { return derived::claudeUsageDisplayErrorMessage(m_state); }
    QList<UsageHistoryEntry> confirmedUsageHistory() const { return derived::confirmedUsageHistory(m_state); }
    QStringList activeErrorMessages() const { return derived::activeErrorMessages(m_state); }
    std::optional<QString> firstActiveIncidentName() const { return derived::firstActiveIncidentName(m_state); }
    QString onboardingStatusText() const { return derived::onboardingStatusText(m_state); }
    QString initialSetupStatusText() const { return derived::initialSetupStatusText(m_state); }
    QStringList planBadgeTexts() const { return derived::planBadgeTexts(m_state); }
    bool autoRefreshIsEnabled() const { return derived::autoRefreshIsEnabled(m_state); }
    bool codexPeriodsNeedConfirmation() const { return derived::codexPeriodsNeedConfirmation(m_state); }

    // Menu bar: the gauge picture's input, its width, the tool tip; also read by other views.
    MenuBarGaugeImageRenderer::Input menuBarGaugeInput() const;
    int menuBarGaugeWidth() const;
    QString menuBarGaugeHelpText() const;
    QStringList menuBarGaugeHelpLines() const;
    bool codexFiveHourWindowIsTemporarilyUnavailable() const;

    // Construction-time values.
    bool automaticallyStartServices() const { return m_dependencies.automaticallyStartServices; }
    OnboardingProgressStore& onboardingStore() const { return *m_onboardingStore; }
    OnboardingProgressStore& initialSetupStore() const { return *m_initialSetupStore; }

    // What views write. setSettings runs the settings-change handling after storing the record;
    // it and the progress setters put what they store on disk at once (saveChangesNow).
    void setSettings(const AppSettings& settings);
    // As setSettings, for a field the user types into: the record is stored and handled at once
    // but written once typing has paused for typingPause, when the field is left (saveChangesNow)
    // or at quit, whichever comes first, so that typing a path costs one write rather than one a key.
    void setTypedSettings(const AppSettings& settings);
    static constexpr std::chrono::milliseconds typingPause{1'000};
    void setUsageHistory(const QList<UsageHistoryEntry>& history);
    void setOnboardingProgress(const OnboardingProgress& progress);
    void setInitialSetupProgress(const OnboardingProgress& progress);
    void setDiscordTestPreview(const std::optional<DiscordTestDraft>& draft);
    // A change the user made by hand goes to storage now rather than with the write-behind that
    // gathers a reading's changes, so that the process ending right after keeps it. Views call it
    // after the operations they run for the user that a reading runs too (a manual reading saved,
    // a history deleted).
    void saveChangesNow();

    // Refresh schedule and loop.
    void startRefreshTimer();
    void runDueProviderRefreshes();
    QCoro::Task<> refreshScheduledItems();
    // The shell's refresh hook: logs "refresh.requested reason=<reason>" and starts a manual
    // refresh on a later turn.
    void requestRefresh(const QString& reason);

    // Provider refreshes.
    QCoro::Task<> refreshCodexItems();
    QCoro::Task<> refreshClaudeItems();
    QCoro::Task<> refreshStatus();
    QCoro::Task<> refreshClaudeStatus();
    QCoro::Task<> refreshAPIRateLimits();
    QCoro::Task<> refreshCodexCLIUsage();
    // Cancelling `token` cancels the request and discards its result.
    QCoro::Task<> refreshClaudeUsage(bool forceCredentialReload, CancelToken token = CancelToken());
    QCoro::Task<std::optional<QString>> readAPIKeyFromKeychain();

    // Readings and histories.
    void saveUsageSnapshot(const UsageSnapshot& snapshot);
    void saveClaudeUsageSnapshot(const UsageSnapshot& snapshot);
    void logUsageSnapshot(const UsageSnapshot& snapshot, const QString& providerName);
    void recordUsageHistory(MonitoredProvider provider, const UsageSnapshot& snapshot);
    void recordObservedNotification(const QUuid& id, MonitoredProvider provider, NotificationHistoryCategory category,
                                    const QString& title, const QString& body, bool localEnabled,
                                    NotificationDeliveryStatus discord,
                                    LocalNotificationRequest::Urgency urgency = LocalNotificationRequest::Urgency::normal);
    void persistUsageHistory();
    void persistNotificationHistory();
    void clearNotificationHistory(std::optional<MonitoredProvider> provider);
    void invalidateCodexPeriodComparisons(bool rearmWarnings);
    void cancelUnconfirmedCodexPeriodNotifications(bool all);

    // Status, usage, reset and banked-reset notifications.
    void evaluateStatusNotifications(const CodexStatusSummary& summary,
                                     const QMap<QString, ComponentHealth>& previousStatuses, const QString& providerName);
    void evaluateRateNotifications(const RateLimitSnapshot& snapshot);
    void evaluateUsageNotifications(const UsageSnapshot& snapshot, const QString& providerName);
    void checkUsageThreshold(const QString& providerName, const QString& name, std::optional<double> value,
                             std::optional<Date> resetAt, std::optional<std::int64_t> bankedResetCount,
                             bool sendsDiscordCriticalAlert, Date observedAt);
    void rearmUsageNotifications(const QString& prefix);
    void persistUsageNotificationKeys();
    void evaluateResetNotifications(const QString& providerName, const std::optional<UsageSnapshot>& previous,
                                    const UsageSnapshot& current);
    void checkResetNotification(const QString& providerName, const QString& windowName,
                                std::optional<Date> previousResetAt, std::optional<Date> currentResetAt,
                                UsageResetDetectionReason detectionReason, Date observedAt);
    void evaluateBankedResetNotification(const UsageSnapshot& snapshot);
    void evaluateBankedResetExpiryNotifications();

    // Discord outbox.
    void updateDiscordEvidence(const PendingDiscordNotification& item, NotificationDeliveryStatus status,
                               std::optional<NotificationCancellationReason> reason);
    void persistPendingDiscordResetNotifications();
    bool enqueueDiscordNotification(const QString& id, const QString& message, Date now,
                                    const std::optional<BankedResetExpiryIdentity>& bankedResetExpiry,
                                    const std::optional<DiscordNotificationEvent>& event, const QUuid& historyID);
    // The Discord status of a new history record after enqueueing `id` under `historyID`.
    NotificationDeliveryStatus discordStatus(const QString& id, const QUuid& historyID) const;
    void persistDiscordUsageNotificationKeys();
    void revalidatePendingDiscordNotifications(Date now);
    NotificationDeliveryContext notificationDeliveryContext() const;
    void scheduleDiscordOutboxWorker(Date now);
    QCoro::Task<> deliverPendingDiscordResetNotifications();
    QCoro::Task<> retryPendingDiscordNotificationsAfterCredentialRecovery(QString reason);
    // The last check before `item` is posted: still queued unchanged, due and deliverable.
    bool canDeliverPendingDiscordNotification(const PendingDiscordNotification& item) const;
    QCoro::Task<DiscordWebhookURLResolution> resolveDiscordWebhookURL();

    // Secrets and Discord settings actions.
    QCoro::Task<> refreshKeychainSavedState();
    QCoro::Task<bool> saveAPIKey(QString key);
    QCoro::Task<> deleteAPIKey();
    QCoro::Task<bool> saveDiscordWebhookURL(QString text);
    QCoro::Task<> deleteDiscordWebhookURL();
    void sendDiscordTestNotification();
    QCoro::Task<> confirmDiscordTestNotification(DiscordTestDraft draft);
    // The one place that posts to Discord. `includesAppVersion`: the content already ends with
    // the version line and is sent as given.
    QCoro::Task<DiscordSendOutcome> sendDiscordMessage(QString content, bool requiresEnabledSetting,
                                                       std::optional<PendingDiscordNotification> pendingNotification,
                                                       bool includesAppVersion);

    // Claude authentication.
    QCoro::Task<> recoverClaudeUsage();
    QCoro::Task<> reconnectClaudeAuthentication(bool forceLogin, bool automatically, CancelToken token = CancelToken());
    bool openClaudeAuthenticationCommand(bool login);
    void observeClaudeLoginAvailability();
    void queueAutomaticClaudeRecoveryIfNeeded();
    void cancelAutomaticClaudeRecovery();
    bool canAutomaticallyRecoverClaude() const;
    void handleClaudeAuthFailureIfNeeded(const std::exception_ptr& error);
    QString claudeFailureMessage(ClaudeUsageFailure failure) const;
    void rememberRejectedClaudeToken(const QString& accessToken, const QUuid& generation);
    void presentClaudeUsageFailure(const std::exception_ptr& error);
    void clearStaleClaudeOAuthSnapshotIfNeeded();
    bool deferClaudeUsageUntilRetry(const ClaudeCodeTokenInfo& info);

    // Messages, login item, help actions.
    void setTransientLaunchAtLoginMessage(const QString& text);
    void setTransientDiscordWebhookMessage(const QString& text);
    void updateLaunchAtLogin(bool enabled, bool showSuccessMessage);
    void restartApp();
    void openCodexCLI();
    // Puts the diagnostic summary on the clipboard and confirms it for 2.5 s.
    void copyDiagnosticSummary();
    QString diagnosticSummaryText() const;
    // Opens the diagnostics log, or its folder before anything was written.
    void openDiagnosticsLog();
    // Says for a few seconds in the window that the thing `name` names could not be opened.
    void reportOpenFailure(OpenFailure::Kind kind, const QString& name);
    void openNotificationSettings();

    // For the collaborators.
    const AppState& state() const { return m_state; }
    // Writes that the views need not hear about.
    AppState& mutableState() { return m_state; }
    // Writes of published fields: changed() follows on the next turn.
    AppState& publishedState()
    {
        markChanged();
        return m_state;
    }
    void markChanged();
    AppTasks& tasks() { return m_tasks; }
    const AppViewModelDependencies& dependencies() const { return m_dependencies; }
    SettingsStore& defaults() const { return *m_dependencies.defaults; }
    AsyncKeychain& keychain() const { return *m_keychain; }
    Sleeper& sleeper() const { return *m_dependencies.sleeper; }
    StoredState& storedState() const { return *m_storedState; }
    RefreshLoop& refreshLoop() const { return *m_refreshLoop; }
    ClaudeUsageRefresh& claudeUsageRefresh() const { return *m_claudeUsageRefresh; }
    Date now() const { return m_dependencies.now(); }
    Date notificationNow() const { return m_dependencies.notificationNow(); }
    Date claudeNow() const { return m_dependencies.claudeNow(); }
    void log(const QString& message) const { m_dependencies.log(message); }
    // Cancelled when the view model goes away; tasks it starts watch a child of it.
    CancelToken lifetime() const { return m_lifetime; }

    // Starts `body` on a later turn of the event loop, unless the view model is gone by then.
    // The task runs detached; it must re-check its QPointer after every await.
    void startTask(std::function<QCoro::Task<>()> body);
    // Resumes on a later turn of the event loop.
    static QCoro::Task<> nextTurn();

signals:
    // Some published state changed during an earlier turn; read what you need.
    void changed();
    // The start-up task ended: the stored state is loaded and the first refresh is over.
    void startUpFinished();
    // A refresh ended (automatic or manual): its readings are taken in and what they changed is
    // queued for drawing and writing.
    void refreshFinished();

private:
    // Publishes the record and runs the settings-change handling, which stores it.
    void storeSettings(const AppSettings& settings);

    AppViewModelDependencies m_dependencies;
    AppState m_state;
    AppTasks m_tasks;
    CancelToken m_lifetime;
    bool m_changePending = false;
    std::unique_ptr<OnboardingProgressStore> m_onboardingStore;
    std::unique_ptr<OnboardingProgressStore> m_initialSetupStore;
    std::unique_ptr<AsyncKeychain> m_keychain;
    std::unique_ptr<StoredState> m_storedState;
    std::unique_ptr<RefreshLoop> m_refreshLoop;
    std::unique_ptr<TransientMessage> m_transientMessage;
    std::unique_ptr<SettingsChangeHandler> m_settingsChangeHandler;
    std::unique_ptr<ClaudeUsageRefresh> m_claudeUsageRefresh;
    std::unique_ptr<ClaudeAuthenticationRecovery> m_claudeAuthenticationRecovery;
    std::unique_ptr<ReadingIntake> m_readingIntake;
    std::unique_ptr<UsageNotifications> m_usageNotifications;
    std::unique_ptr<BankedResetNotifications> m_bankedResetNotifications;
    std::unique_ptr<DiscordOutboxQueue> m_discordOutboxQueue;
    std::unique_ptr<DiscordOutboxWorker> m_discordOutboxWorker;
};

} // namespace vantorel
