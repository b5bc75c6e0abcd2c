#include "app/viewmodel/AppViewModel.h"

#include "app/platform/MacClaudeLoginAvailability.h"
#include "app/platform/NotificationSettingsOpener.h"
#include "app/platform/QtPasteboard.h"
#include "app/platform/UrlOpener.h"
#include "app/viewmodel/AsyncKeychain.h"
#include "app/viewmodel/ClaudeAuthenticationRecovery.h"
#include "app/viewmodel/ClaudeUsageRefresh.h"
#include "app/viewmodel/BankedResetNotifications.h"
#include "app/viewmodel/DiscordOutboxQueue.h"
#include "app/viewmodel/DiscordOutboxWorker.h"
#include "app/viewmodel/DiscordSettingsActions.h"
#include "app/viewmodel/ProviderRefreshTasks.h"
#include "app/viewmodel/ReadingIntake.h"
#include "app/viewmodel/DiagnosticSummary.h"
#include "app/viewmodel/RefreshLoop.h"
#include "app/viewmodel/SettingsChangeHandler.h"
#include "app/viewmodel/StoredState.h"
#include "app/viewmodel/SystemCommands.h"
#include "app/viewmodel/TransientMessage.h"
#include "app/viewmodel/UsageNotifications.h"
#include "core/foundation/AppDiagnostics.h"
#include "core/foundation/InMemorySettingsStore.h"
#include "core/foundation/PendingCompletion.h"
#include "core/foundation/TimerSleeper.h"
#include "core/rules/DiscordWebhookURLCache.h"
#include "sync/onboarding/OnboardingProgressStore.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>

namespace vantorel {

namespace {

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

// Fills what the caller left empty with the built-in behaviour.
AppViewModelDependencies completed(AppViewModelDependencies dependencies)
{
    if (!dependencies.defaults) {
        dependencies.defaults = std::make_shared<InMemorySettingsStore>();
    }
    if (!dependencies.discordWebhookURLCache) {
        dependencies.discordWebhookURLCache = std::make_shared<DiscordWebhookURLCache>();
    }
    if (!dependencies.now) {
        dependencies.now = systemClock();
    }
    if (!dependencies.notificationNow) {
        dependencies.notificationNow = dependencies.now;
    }
    if (!dependencies.claudeNow) {
        dependencies.claudeNow = dependencies.now;
    }
    if (!dependencies.sleeper) {
        dependencies.sleeper = std::make_shared<TimerSleeper>();
    }
    if (!dependencies.claudeObservationPause) {
        dependencies.claudeObservationPause = [sleeper = dependencies.sleeper](CancelToken token) {
            return sleeper->sleep(5, token);
        };
    }
    if (!dependencies.claudeCanPresentLogin) {
        dependencies.claudeCanPresentLogin = [availability = dependencies.claudeLoginAvailability] {
            return !availability || availability->canPresent();
        };
    }
    if (!dependencies.pasteboard && qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        dependencies.pasteboard = std::make_shared<QtPasteboard>();
    }
    if (!dependencies.urlOpener) {
        dependencies.urlOpener = std::make_shared<DesktopUrlOpener>();
    }
    if (!dependencies.openNotificationSettings) {
        dependencies.openNotificationSettings = [] { NotificationSettingsOpener::open(); };
    }
    if (!dependencies.log) {
        dependencies.log = [](const QString& message) { AppDiagnostics::log(message); };
    }
    return dependencies;
}

} // namespace

AppViewModel::AppViewModel(AppViewModelDependencies dependencies, QObject* parent)
    : QObject(parent)
    , m_dependencies(completed(std::move(dependencies)))
{
    m_onboardingStore = std::make_unique<OnboardingProgressStore>(
        *m_dependencies.defaults, QString::fromLatin1(OnboardingProgressStore::onboardingKeyPrefix),
        OnboardingProgressStore::onboardingVersion, OnboardingProgressStore::onboardingStepCount);
    m_initialSetupStore = std::make_unique<OnboardingProgressStore>(
        *m_dependencies.defaults, QString::fromLatin1(OnboardingProgressStore::initialSetupKeyPrefix),
        OnboardingProgressStore::initialSetupVersion, OnboardingProgressStore::initialSetupStepCount);
    m_keychain = std::make_unique<AsyncKeychain>(m_dependencies.keychainStore);
    m_storedState = std::make_unique<StoredState>(*this);
    m_refreshLoop = std::make_unique<RefreshLoop>(*this);
    m_transientMessage = std::make_unique<TransientMessage>(*this);
    m_settingsChangeHandler = std::make_unique<SettingsChangeHandler>(*this);
    m_claudeUsageRefresh = std::make_unique<ClaudeUsageRefresh>(*this);
    m_claudeAuthenticationRecovery = std::make_unique<ClaudeAuthenticationRecovery>(*this);
    m_readingIntake = std::make_unique<ReadingIntake>(*this);
    m_usageNotifications = std::make_unique<UsageNotifications>(*this);
    m_bankedResetNotifications = std::make_unique<BankedResetNotifications>(*this);
    m_discordOutboxQueue = std::make_unique<DiscordOutboxQueue>(*this);
    m_discordOutboxWorker = std::make_unique<DiscordOutboxWorker>(*this);

    m_storedState->load(m_dependencies.usageHistoryLater);
    if (!automaticallyStartServices()) {
        return;
    }
    observeClaudeLoginAvailability();
    const AppSettings& settings = m_state.settings;
    log(QStringLiteral("viewModel.init refreshInterval=") + QString::number(settings.refreshIntervalSeconds)
        + QStringLiteral(" codexEnabled=") + boolText(settings.codexEnabled) + QStringLiteral(" claudeEnabled=")
        + boolText(settings.claudeEnabled) + QStringLiteral(" codexAuto=") + boolText(settings.codexCLIAutoRefreshEnabled)
        + QStringLiteral(" claudeAuto=") + boolText(settings.claudeUsageAutoRefreshEnabled)
        + QStringLiteral(" discordReset=") + boolText(settings.discordResetNotificationsEnabled)
        + QStringLiteral(" launchAtLogin=") + boolText(settings.launchAtLogin));
    if (auto* application = QCoreApplication::instance()) {
        connect(application, &QCoreApplication::aboutToQuit, this,
                [this] { log(QStringLiteral("app.willTerminate")); });
    }
    if (settings.launchAtLogin) {
        updateLaunchAtLogin(true, false);
    }
    startRefreshTimer();
    // Its first refresh adds to the usage history, so it starts once the stored one is in.
    m_storedState->whenUsageHistoryLoaded(this, [this] {
        QPointer<AppViewModel> self(this);
        startTask([self] { return StoredState::runStartUpTask(self); });
    });
}

AppViewModel::~AppViewModel()
{
    // Samples taken while the stored usage history was still decoding are written only with it.
    if (!m_state.usageHistory.isEmpty())
        m_storedState->finishLoadingUsageHistory();
    // Tasks would otherwise resume after the state they work on is gone.
    m_lifetime.cancel();
}

void AppViewModel::markChanged()
{
    if (m_changePending) {
        return;
    }
    m_changePending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_changePending = false;
            emit changed();
        },
        Qt::QueuedConnection);
}

void AppViewModel::startTask(std::function<QCoro::Task<>()> body)
{
    QMetaObject::invokeMethod(this, [body = std::move(body)] { body(); }, Qt::QueuedConnection);
}

QCoro::Task<> AppViewModel::nextTurn()
{
    PendingCompletion<> turn;
    QMetaObject::invokeMethod(QCoreApplication::instance(), [turn] { turn.complete(); }, Qt::QueuedConnection);
    co_await turn;
}

MenuBarGaugeImageRenderer::Input AppViewModel::menuBarGaugeInput() const
{
    return MenuBarGaugePresenter::menuBarGaugeInput(MenuBarGaugePresenter::stateOf(m_state, claudeNow()));
}

int AppViewModel::menuBarGaugeWidth() const
{
    return MenuBarGaugePresenter::menuBarGaugeWidth(MenuBarGaugePresenter::stateOf(m_state, claudeNow()));
}

QString AppViewModel::menuBarGaugeHelpText() const
{
    return MenuBarGaugePresenter::menuBarGaugeHelpText(MenuBarGaugePresenter::stateOf(m_state, claudeNow()));
}

QStringList AppViewModel::menuBarGaugeHelpLines() const
{
    return MenuBarGaugePresenter::menuBarGaugeHelpLines(MenuBarGaugePresenter::stateOf(m_state, claudeNow()));
}

bool AppViewModel::codexFiveHourWindowIsTemporarilyUnavailable() const
{
    return MenuBarGaugePresenter::codexFiveHourWindowIsTemporarilyUnavailable(
        MenuBarGaugePresenter::stateOf(m_state, claudeNow()));
}

void AppViewModel::setSettings(const AppSettings& settings)
{
    storeSettings(settings);
    saveChangesNow();
}

void AppViewModel::setTypedSettings(const AppSettings& settings)
{
    storeSettings(settings);
    defaults().writeOncePaused(typingPause);
}

void AppViewModel::storeSettings(const AppSettings& settings)
{
    const AppSettings previous = m_state.settings;
    publishedState().settings = settings;
    m_settingsChangeHandler->settingsDidChange(previous);
}

void AppViewModel::setUsageHistory(const QList<UsageHistoryEntry>& history)
{
    publishedState().usageHistory = history;
}

void AppViewModel::setOnboardingProgress(const OnboardingProgress& progress)
{
    publishedState().onboardingProgress = progress;
    saveChangesNow();
}

void AppViewModel::setInitialSetupProgress(const OnboardingProgress& progress)
{
    publishedState().initialSetupProgress = progress;
    saveChangesNow();
}

void AppViewModel::saveChangesNow()
{
    defaults().writeNow();
}

void AppViewModel::setDiscordTestPreview(const std::optional<DiscordTestDraft>& draft)
{
    publishedState().discordTestPreview = draft;
}

void AppViewModel::startRefreshTimer()
{
    m_refreshLoop->startRefreshTimer();
}

void AppViewModel::runDueProviderRefreshes()
{
    m_refreshLoop->runDueProviderRefreshes();
}

QCoro::Task<> AppViewModel::refreshScheduledItems()
{
    return RefreshLoop::refreshScheduledItems(QPointer<AppViewModel>(this));
}

void AppViewModel::requestRefresh(const QString& reason)
{
    m_refreshLoop->requestRefresh(reason);
}

void AppViewModel::persistUsageHistory()
{
    m_storedState->persistUsageHistory();
}

void AppViewModel::persistNotificationHistory()
{
    m_storedState->persistNotificationHistory();
}

void AppViewModel::updateDiscordEvidence(const PendingDiscordNotification& item, NotificationDeliveryStatus status,
                                         std::optional<NotificationCancellationReason> reason)
{
    m_storedState->updateDiscordEvidence(item, status, reason);
}

void AppViewModel::persistPendingDiscordResetNotifications()
{
    m_storedState->persistPendingDiscordResetNotifications();
}

void AppViewModel::scheduleDiscordOutboxWorker(Date now)
{
    m_discordOutboxWorker->scheduleDiscordOutboxWorker(now);
}

QCoro::Task<> AppViewModel::deliverPendingDiscordResetNotifications()
{
    return DiscordOutboxWorker::deliverPendingDiscordResetNotifications(QPointer<AppViewModel>(this));
}

QCoro::Task<> AppViewModel::retryPendingDiscordNotificationsAfterCredentialRecovery(QString reason)
{
    return DiscordOutboxWorker::retryPendingDiscordNotificationsAfterCredentialRecovery(QPointer<AppViewModel>(this),
                                                                                        std::move(reason));
}

bool AppViewModel::canDeliverPendingDiscordNotification(const PendingDiscordNotification& item) const
{
    return m_discordOutboxWorker->canDeliverPendingDiscordNotification(item);
}

QCoro::Task<DiscordWebhookURLResolution> AppViewModel::resolveDiscordWebhookURL()
{
    return DiscordOutboxWorker::resolveDiscordWebhookURL(QPointer<AppViewModel>(this));
}

QCoro::Task<bool> AppViewModel::saveAPIKey(QString key)
{
    return DiscordSettingsActions::saveAPIKey(QPointer<AppViewModel>(this), std::move(key));
}

QCoro::Task<> AppViewModel::deleteAPIKey()
{
    return DiscordSettingsActions::deleteAPIKey(QPointer<AppViewModel>(this));
}

QCoro::Task<bool> AppViewModel::saveDiscordWebhookURL(QString text)
{
    return DiscordSettingsActions::saveDiscordWebhookURL(QPointer<AppViewModel>(this), std::move(text));
}

QCoro::Task<> AppViewModel::deleteDiscordWebhookURL()
{
    return DiscordSettingsActions::deleteDiscordWebhookURL(QPointer<AppViewModel>(this));
}

void AppViewModel::sendDiscordTestNotification()
{
    DiscordSettingsActions::sendDiscordTestNotification(*this);
}

QCoro::Task<> AppViewModel::confirmDiscordTestNotification(DiscordTestDraft draft)
{
    return DiscordSettingsActions::confirmDiscordTestNotification(QPointer<AppViewModel>(this), std::move(draft));
}

QCoro::Task<DiscordSendOutcome> AppViewModel::sendDiscordMessage(QString content, bool requiresEnabledSetting,
                                                                 std::optional<PendingDiscordNotification> pendingNotification,
                                                                 bool includesAppVersion)
{
    return DiscordSettingsActions::sendDiscordMessage(QPointer<AppViewModel>(this), std::move(content),
                                                      requiresEnabledSetting, std::move(pendingNotification),
                                                      includesAppVersion);
}

QCoro::Task<> AppViewModel::refreshKeychainSavedState()
{
    return StoredState::refreshKeychainSavedState(QPointer<AppViewModel>(this));
}

void AppViewModel::setTransientLaunchAtLoginMessage(const QString& text)
{
    m_transientMessage->show(&AppState::launchAtLoginMessage, text);
}

void AppViewModel::setTransientDiscordWebhookMessage(const QString& text)
{
    m_transientMessage->show(&AppState::discordWebhookMessage, text);
}

void AppViewModel::updateLaunchAtLogin(bool enabled, bool showSuccessMessage)
{
    if (m_dependencies.updateLaunchAtLogin) {
        m_dependencies.updateLaunchAtLogin(*this, enabled, showSuccessMessage);
    }
}

void AppViewModel::restartApp()
{
    SystemCommands::restartApp(*this);
}

void AppViewModel::openCodexCLI()
{
    SystemCommands::openCodexCLI(*this);
}

QCoro::Task<> AppViewModel::refreshCodexItems()
{
    return ProviderRefreshTasks::refreshCodexItems(QPointer<AppViewModel>(this));
}

QCoro::Task<> AppViewModel::refreshClaudeItems()
{
    return ProviderRefreshTasks::refreshClaudeItems(QPointer<AppViewModel>(this));
}

QCoro::Task<> AppViewModel::refreshStatus()
{
    return ProviderRefreshTasks::refreshStatus(QPointer<AppViewModel>(this));
}

QCoro::Task<> AppViewModel::refreshClaudeStatus()
{
    return ProviderRefreshTasks::refreshClaudeStatus(QPointer<AppViewModel>(this));
}

QCoro::Task<> AppViewModel::refreshAPIRateLimits()
{
    return ProviderRefreshTasks::refreshAPIRateLimits(QPointer<AppViewModel>(this));
}

QCoro::Task<> AppViewModel::refreshCodexCLIUsage()
{
    return ProviderRefreshTasks::refreshCodexCLIUsage(QPointer<AppViewModel>(this));
}

QCoro::Task<std::optional<QString>> AppViewModel::readAPIKeyFromKeychain()
{
    return ProviderRefreshTasks::readAPIKeyFromKeychain(QPointer<AppViewModel>(this));
}

void AppViewModel::saveUsageSnapshot(const UsageSnapshot& snapshot)
{
    m_readingIntake->saveUsageSnapshot(snapshot);
}

void AppViewModel::logUsageSnapshot(const UsageSnapshot& snapshot, const QString& providerName)
{
    m_readingIntake->logUsageSnapshot(snapshot, providerName);
}

void AppViewModel::recordUsageHistory(MonitoredProvider provider, const UsageSnapshot& snapshot)
{
    m_readingIntake->recordUsageHistory(provider, snapshot);
}

void AppViewModel::recordObservedNotification(const QUuid& id, MonitoredProvider provider,
                                              NotificationHistoryCategory category, const QString& title,
                                              const QString& body, bool localEnabled, NotificationDeliveryStatus discord,
                                              LocalNotificationRequest::Urgency urgency)
{
    m_readingIntake->recordObservedNotification(id, provider, category, title, body, localEnabled, discord, urgency);
}

void AppViewModel::clearNotificationHistory(std::optional<MonitoredProvider> provider)
{
    m_readingIntake->clearNotificationHistory(provider);
}

void AppViewModel::invalidateCodexPeriodComparisons(bool rearmWarnings)
{
    m_readingIntake->invalidateCodexPeriodComparisons(rearmWarnings);
}

void AppViewModel::cancelUnconfirmedCodexPeriodNotifications(bool all)
{
    m_readingIntake->cancelUnconfirmedCodexPeriodNotifications(all);
}

void AppViewModel::evaluateStatusNotifications(const CodexStatusSummary& summary,
                                               const QMap<QString, ComponentHealth>& previousStatuses,
                                               const QString& providerName)
{
    m_usageNotifications->evaluateStatusNotifications(summary, previousStatuses, providerName);
}

void AppViewModel::evaluateRateNotifications(const RateLimitSnapshot& snapshot)
{
    m_usageNotifications->evaluateRateNotifications(snapshot);
}

void AppViewModel::evaluateUsageNotifications(const UsageSnapshot& snapshot, const QString& providerName)
{
    m_usageNotifications->evaluateUsageNotifications(snapshot, providerName);
}

void AppViewModel::checkUsageThreshold(const QString& providerName, const QString& name, std::optional<double> value,
                                       std::optional<Date> resetAt, std::optional<std::int64_t> bankedResetCount,
                                       bool sendsDiscordCriticalAlert, Date observedAt)
{
    m_usageNotifications->checkUsageThreshold(providerName, name, value, resetAt, bankedResetCount,
                                              sendsDiscordCriticalAlert, observedAt);
}

void AppViewModel::rearmUsageNotifications(const QString& prefix)
{
    m_usageNotifications->rearmUsageNotifications(prefix);
}

void AppViewModel::persistUsageNotificationKeys()
{
    m_usageNotifications->persistUsageNotificationKeys();
}

void AppViewModel::evaluateResetNotifications(const QString& providerName, const std::optional<UsageSnapshot>& previous,
                                              const UsageSnapshot& current)
{
    m_usageNotifications->evaluateResetNotifications(providerName, previous, current);
}

void AppViewModel::checkResetNotification(const QString& providerName, const QString& windowName,
                                          std::optional<Date> previousResetAt, std::optional<Date> currentResetAt,
                                          UsageResetDetectionReason detectionReason, Date observedAt)
{
    m_usageNotifications->checkResetNotification(providerName, windowName, previousResetAt, currentResetAt,
                                                 detectionReason, observedAt);
}

void AppViewModel::evaluateBankedResetNotification(const UsageSnapshot& snapshot)
{
    m_bankedResetNotifications->evaluateBankedResetNotification(snapshot);
}

void AppViewModel::evaluateBankedResetExpiryNotifications()
{
    m_bankedResetNotifications->evaluateBankedResetExpiryNotifications();
}

bool AppViewModel::enqueueDiscordNotification(const QString& id, const QString& message, Date now,
                                              const std::optional<BankedResetExpiryIdentity>& bankedResetExpiry,
                                              const std::optional<DiscordNotificationEvent>& event,
                                              const QUuid& historyID)
{
    return m_discordOutboxQueue->enqueueDiscordNotification(id, message, now, bankedResetExpiry, event, historyID);
}

NotificationDeliveryStatus AppViewModel::discordStatus(const QString& id, const QUuid& historyID) const
{
    return m_discordOutboxQueue->discordStatus(id, historyID);
}

void AppViewModel::persistDiscordUsageNotificationKeys()
{
    m_discordOutboxQueue->persistDiscordUsageNotificationKeys();
}

void AppViewModel::revalidatePendingDiscordNotifications(Date now)
{
    m_discordOutboxQueue->revalidatePendingDiscordNotifications(now);
}

NotificationDeliveryContext AppViewModel::notificationDeliveryContext() const
{
    return m_discordOutboxQueue->notificationDeliveryContext();
}

void AppViewModel::copyDiagnosticSummary()
{
    if (const auto& pasteboard = m_dependencies.pasteboard) {
        pasteboard->clearContents();
        pasteboard->writeString(diagnosticSummaryText(), false);
    }
    m_transientMessage->show(&AppState::lastCopiedSummaryMessage, QStringLiteral("診断サマリーをコピーしました。"), 2.5);
}

QString AppViewModel::diagnosticSummaryText() const
{
    return DiagnosticSummary::diagnosticSummaryText(m_state, now());
}

void AppViewModel::openDiagnosticsLog()
{
    const QFileInfo log(AppDiagnostics::logFilePath());
    m_dependencies.urlOpener->open(QUrl::fromLocalFile(log.exists() ? log.absoluteFilePath() : log.absolutePath()),
                                   [viewModel = QPointer<AppViewModel>(this)] {
                                       if (viewModel)
                                           viewModel->reportOpenFailure(OpenFailure::Kind::file,
                                                                        QStringLiteral("診断ログ"));
                                   });
}

void AppViewModel::reportOpenFailure(OpenFailure::Kind kind, const QString& name)
{
    m_transientMessage->show(&AppState::openFailureMessage, OpenFailure::message(kind, name),
                             OpenFailure::displaySeconds);
}

void AppViewModel::openNotificationSettings()
{
    m_dependencies.openNotificationSettings();
}

QCoro::Task<> AppViewModel::refreshClaudeUsage(bool forceCredentialReload, CancelToken token)
{
    return ClaudeUsageRefresh::refreshClaudeUsage(QPointer<AppViewModel>(this), forceCredentialReload, std::move(token));
}

void AppViewModel::saveClaudeUsageSnapshot(const UsageSnapshot& snapshot)
{
    m_claudeUsageRefresh->saveClaudeUsageSnapshot(snapshot);
}

QString AppViewModel::claudeFailureMessage(ClaudeUsageFailure failure) const
{
    return m_claudeUsageRefresh->claudeFailureMessage(failure);
}

void AppViewModel::rememberRejectedClaudeToken(const QString& accessToken, const QUuid& generation)
{
    m_claudeUsageRefresh->rememberRejectedClaudeToken(accessToken, generation);
}

void AppViewModel::presentClaudeUsageFailure(const std::exception_ptr& error)
{
    m_claudeUsageRefresh->presentClaudeUsageFailure(error);
}

void AppViewModel::clearStaleClaudeOAuthSnapshotIfNeeded()
{
    m_claudeUsageRefresh->clearStaleClaudeOAuthSnapshotIfNeeded();
}

bool AppViewModel::deferClaudeUsageUntilRetry(const ClaudeCodeTokenInfo& info)
{
    return m_claudeUsageRefresh->deferClaudeUsageUntilRetry(info);
}

QCoro::Task<> AppViewModel::recoverClaudeUsage()
{
    return ClaudeAuthenticationRecovery::recoverClaudeUsage(QPointer<AppViewModel>(this));
}

QCoro::Task<> AppViewModel::reconnectClaudeAuthentication(bool forceLogin, bool automatically, CancelToken token)
{
    return ClaudeAuthenticationRecovery::reconnectClaudeAuthentication(QPointer<AppViewModel>(this), forceLogin,
                                                                       automatically, std::move(token));
}

bool AppViewModel::openClaudeAuthenticationCommand(bool login)
{
    return m_claudeAuthenticationRecovery->openClaudeAuthenticationCommand(login);
}

void AppViewModel::observeClaudeLoginAvailability()
{
    m_claudeAuthenticationRecovery->observeClaudeLoginAvailability();
}

void AppViewModel::queueAutomaticClaudeRecoveryIfNeeded()
{
    m_claudeAuthenticationRecovery->queueAutomaticClaudeRecoveryIfNeeded();
}

void AppViewModel::cancelAutomaticClaudeRecovery()
{
    m_claudeAuthenticationRecovery->cancelAutomaticClaudeRecovery();
}

bool AppViewModel::canAutomaticallyRecoverClaude() const
{
    return m_claudeAuthenticationRecovery->canAutomaticallyRecoverClaude();
}

void AppViewModel::handleClaudeAuthFailureIfNeeded(const std::exception_ptr& error)
{
    m_claudeAuthenticationRecovery->handleClaudeAuthFailureIfNeeded(error);
}

} // namespace vantorel
