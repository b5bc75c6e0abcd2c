#include "app/viewmodel/SettingsChangeHandler.h"

#include "app/platform/NotificationManager.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/StoredState.h"
#include "core/foundation/SettingsStore.h"

namespace vantorel {

namespace {

bool schedulingChanged(const AppSettings& a, const AppSettings& b)
{
    return a.refreshIntervalSeconds != b.refreshIntervalSeconds
        || a.usesSeparateRefreshIntervals != b.usesSeparateRefreshIntervals
        || a.codexRefreshIntervalSeconds != b.codexRefreshIntervalSeconds
        || a.claudeRefreshIntervalSeconds != b.claudeRefreshIntervalSeconds || a.codexEnabled != b.codexEnabled
        || a.claudeEnabled != b.claudeEnabled || a.apiRateAutoRefreshEnabled != b.apiRateAutoRefreshEnabled
        || a.codexCLIAutoRefreshEnabled != b.codexCLIAutoRefreshEnabled
        || a.claudeStatusEnabled != b.claudeStatusEnabled
        || a.claudeUsageAutoRefreshEnabled != b.claudeUsageAutoRefreshEnabled;
}

// Fields the queued Discord items are judged by (their provider, source and channel switches).
bool discordDeliveryInputsChanged(const AppSettings& a, const AppSettings& b)
{
    return a.codexEnabled != b.codexEnabled || a.claudeEnabled != b.claudeEnabled
        || a.claudeStatusEnabled != b.claudeStatusEnabled || a.codexCLIAutoRefreshEnabled != b.codexCLIAutoRefreshEnabled
        || a.bankedResetExpiryNotificationsEnabled != b.bankedResetExpiryNotificationsEnabled
        || a.bankedResetExpiryWarningDays() != b.bankedResetExpiryWarningDays()
        || a.notificationCategoryOverrides != b.notificationCategoryOverrides
        || a.discordResetNotificationsEnabled != b.discordResetNotificationsEnabled;
}

} // namespace

SettingsChangeHandler::SettingsChangeHandler(AppViewModel& viewModel)
    : m_viewModel(viewModel)
{
}

void SettingsChangeHandler::settingsDidChange(const AppSettings& previous)
{
    const AppSettings current = m_viewModel.settings();
    m_viewModel.storedState().setCodable(current, StoredState::Keys::settings);

    if (schedulingChanged(previous, current))
        m_viewModel.startRefreshTimer();
    if (previous.codexEnabled != current.codexEnabled)
        switchCodex(current.codexEnabled);
    if (previous.claudeEnabled != current.claudeEnabled)
        switchClaude(current.claudeEnabled);

    if (previous.apiRateAutoRefreshEnabled != current.apiRateAutoRefreshEnabled && current.codexEnabled) {
        if (current.apiRateAutoRefreshEnabled)
            start(&AppViewModel::refreshAPIRateLimits);
        else
            m_viewModel.publishedState().apiRateErrorMessage.reset();
    }
    if (previous.codexCLIAutoRefreshEnabled != current.codexCLIAutoRefreshEnabled && current.codexEnabled) {
        m_viewModel.mutableState().bankedResetExpiryObservation.reset();
        if (current.codexCLIAutoRefreshEnabled)
            start(&AppViewModel::refreshCodexCLIUsage);
        else
            m_viewModel.publishedState().codexCLIErrorMessage.reset();
    }
    if (previous.claudeStatusEnabled != current.claudeStatusEnabled && current.claudeEnabled) {
        if (current.claudeStatusEnabled)
            start(&AppViewModel::refreshClaudeStatus);
        else
            m_viewModel.publishedState().claudeStatusErrorMessage.reset();
    }
    if (previous.claudeUsageAutoRefreshEnabled != current.claudeUsageAutoRefreshEnabled && current.claudeEnabled) {
        if (current.claudeUsageAutoRefreshEnabled) {
            QPointer<AppViewModel> viewModel(&m_viewModel);
            m_viewModel.startTask([viewModel] { return viewModel->refreshClaudeUsage(false); });
        } else {
            AppState& state = m_viewModel.publishedState();
            state.claudeUsageErrorMessage.reset();
            state.claudeUsageFailure.reset();
        }
    }
    updateAutomaticClaudeRecovery(previous, current);

    if (previous.notificationsEnabled != current.notificationsEnabled) {
        QPointer<AppViewModel> viewModel(&m_viewModel);
        m_viewModel.startTask([viewModel] { return readNotificationAuthorization(viewModel); });
    }
    if (previous.discordResetNotificationsEnabled != current.discordResetNotificationsEnabled) {
        if (current.discordResetNotificationsEnabled) {
            QPointer<AppViewModel> viewModel(&m_viewModel);
            m_viewModel.startTask([viewModel] {
                return viewModel->retryPendingDiscordNotificationsAfterCredentialRecovery(
                    QStringLiteral("notifications-enabled"));
            });
        } else {
            m_viewModel.tasks().discordOutboxWorkerTask = TaskHandle();
        }
    }
    if (discordDeliveryInputsChanged(previous, current)) {
        m_viewModel.revalidatePendingDiscordNotifications(m_viewModel.now());
        m_viewModel.scheduleDiscordOutboxWorker(m_viewModel.now());
    }
    if (previous.launchAtLogin != current.launchAtLogin)
        m_viewModel.updateLaunchAtLogin(current.launchAtLogin, true);
}

void SettingsChangeHandler::switchCodex(bool on)
{
    AppState& state = m_viewModel.mutableState();
    state.notificationUsageObservations.remove(MonitoredProvider::codex);
    state.bankedResetExpiryObservation.reset();
    if (!on) {
        AppState& published = m_viewModel.publishedState();
        published.lastErrorMessage.reset();
        published.codexCLIErrorMessage.reset();
        published.apiRateErrorMessage.reset();
        m_viewModel.log(QStringLiteral("provider.disabled Codex"));
        return;
    }
    m_viewModel.log(QStringLiteral("provider.enabled Codex"));
    start(&AppViewModel::refreshCodexItems);
}

void SettingsChangeHandler::switchClaude(bool on)
{
    m_viewModel.mutableState().notificationUsageObservations.remove(MonitoredProvider::claude);
    if (on) {
        m_viewModel.defaults().remove(StoredState::Keys::claudeAuthFailureEpisode);
        m_viewModel.log(QStringLiteral("provider.enabled Claude"));
        start(&AppViewModel::refreshClaudeItems);
        return;
    }
    AppState& state = m_viewModel.publishedState();
    AppTasks& tasks = m_viewModel.tasks();
    state.claudeStatusErrorMessage.reset();
    state.claudeUsageErrorMessage.reset();
    state.claudeUsageFailure.reset();
    tasks.claudeLoginObservationTask = TaskHandle();
    // The request clears its own handle when it winds down.
    tasks.claudeUsageRequestTask.cancel();
    tasks.claudeAuthenticationPrecheckTask = TaskHandle();
    state.claudeRefreshAfterCancellation = false;
    state.claudeRejectedToken.reset();
    // Results of work started before now belong to an old generation and are dropped.
    state.claudeAuthenticationGeneration = QUuid::createUuid();
    state.isWaitingForClaudeLogin = false;
    state.claudeAuthenticatedPlanType.reset();
    m_viewModel.defaults().remove(StoredState::Keys::claudeAuthFailureEpisode);
    m_viewModel.log(QStringLiteral("provider.disabled Claude"));
}

void SettingsChangeHandler::updateAutomaticClaudeRecovery(const AppSettings& previous, const AppSettings& current)
{
    if (current.claudeEnabled && current.claudeUsageAutoRefreshEnabled && current.claudeAuthenticationAutoRecoveryEnabled) {
        if (!previous.claudeAuthenticationAutoRecoveryEnabled)
            m_viewModel.queueAutomaticClaudeRecoveryIfNeeded();
        return;
    }
    m_viewModel.cancelAutomaticClaudeRecovery();
}

void SettingsChangeHandler::start(QCoro::Task<> (AppViewModel::*operation)())
{
    QPointer<AppViewModel> viewModel(&m_viewModel);
    m_viewModel.startTask([viewModel, operation] { return (viewModel->*operation)(); });
}

QCoro::Task<> SettingsChangeHandler::readNotificationAuthorization(QPointer<AppViewModel> viewModel)
{
    // The desktop asks nobody for permission: the state is the service's answer for the switch
    // as it stands when the task runs.
    const auto manager = viewModel ? viewModel->dependencies().notificationManager : nullptr;
    if (!manager)
        co_return;
    const auto state = co_await manager->authorizationState(viewModel->settings().notificationsEnabled);
    if (viewModel)
        viewModel->publishedState().notificationAuthorizationState = state;
}

} // namespace vantorel
