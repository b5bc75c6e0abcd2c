#include "app/viewmodel/ClaudeAuthenticationRecovery.h"

#include "app/platform/ClaudeCodeTokenInfo.h"
#include "app/platform/ClaudeCodeTokenStore.h"
#include "app/platform/ClaudeUsageFailure.h"
#include "app/platform/MacClaudeLoginAvailability.h"
#include "app/platform/TerminalLauncher.h"
#include "app/platform/UrlOpener.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/StoredState.h"
#include "core/foundation/CancellationError.h"
#include "core/foundation/SettingsStore.h"
#include "core/model/HistoryRetention.h"

namespace vantorel {

namespace {

using Keys = StoredState::Keys;

const QString openedLoginText = QStringLiteral("Claude Code の認証を開きました。完了すると自動で使用量を更新します。");
const QString openedCodeText =
    QStringLiteral("Claude Codeを開きました。認証の更新を3分間確認します。更新された場合だけ使用量を取得します。");
const QString loginTimedOutText =
    QStringLiteral("認証の完了を確認できませんでした。完了後に「Claude認証」を押してください。");
const QString codeTimedOutText = QStringLiteral(
    "Claude Codeによる認証更新を確認できませんでした。必要な場合は「ブラウザで再ログイン」を選んでください。");

// The failure class of an error; none for a cancellation, which is no failure.
std::optional<ClaudeUsageFailure> failureOf(const std::exception_ptr& error)
{
    try {
        return classifyClaudeUsageFailure(error);
    } catch (const CancellationError&) {
        return std::nullopt;
    }
}

bool needsRecovery(const std::optional<ClaudeUsageFailure>& failure)
{
    return failure && needsCredentialRecovery(*failure);
}

// Whether work of `generation` may still act.
bool current(const QPointer<AppViewModel>& viewModel, const QUuid& generation, const CancelToken& token)
{
    return viewModel && viewModel->settings().claudeEnabled
        && viewModel->state().claudeAuthenticationGeneration == generation && !token.isCancelled();
}

} // namespace

// Types that the coroutine frames below hold need a name with linkage: GCC rejects anonymous ones
// there when this file is part of a unity batch.
namespace claudeRecoveryDetail {

struct PrecheckResult
{
    std::optional<ClaudeCodeTokenInfo> info;
    std::exception_ptr error;
};

// Ends a reconnect however it ends: the precheck handle goes, and unless the login watch took
// over, the waiting state too, all only while this run's generation is current.
struct ReconnectExit
{
    QPointer<AppViewModel> viewModel;
    QUuid generation;
    bool handedOff = false;

    ~ReconnectExit()
    {
        if (!viewModel || viewModel->state().claudeAuthenticationGeneration != generation)
            return;
        viewModel->tasks().claudeAuthenticationPrecheckTask = TaskHandle();
        if (!handedOff) {
            viewModel->publishedState().isWaitingForClaudeLogin = false;
            viewModel->mutableState().claudeAutomaticRecoveryInProgress = false;
        }
    }
};

} // namespace claudeRecoveryDetail

namespace {

QCoro::Task<> precheck(std::shared_ptr<ClaudeCodeTokenStore> store,
                       std::shared_ptr<claudeRecoveryDetail::PrecheckResult> result, CancelToken token)
{
    try {
        result->info = co_await store->readTokenInfo(true, token);
    } catch (...) {
        result->error = std::current_exception();
    }
}

// Opens a page with the view model's launcher, or its URL opener when it has none.
void openPage(AppViewModel& viewModel, const QUrl& url)
{
    if (const auto& launcher = viewModel.dependencies().claudeURLLauncher)
        launcher(url);
    else
        viewModel.dependencies().urlOpener->open(url, {});
}

} // namespace

QUrl ClaudeAuthenticationRecovery::claudeUsagePage()
{
    return QUrl(QStringLiteral("https://claude.ai/settings/usage"));
}

QUrl ClaudeAuthenticationRecovery::claudeCodeAuthenticationGuide()
{
    return QUrl(QStringLiteral("https://code.claude.com/docs/en/authentication"));
}

QString ClaudeAuthenticationRecovery::authenticationCommand(bool login)
{
    return QStringLiteral("export PATH=\"$HOME/.local/bin:/opt/homebrew/bin:/usr/local/bin:$PATH\"; ")
        + (login ? QStringLiteral("claude auth login") : QStringLiteral("claude"));
}

ClaudeAuthenticationRecovery::ClaudeAuthenticationRecovery(AppViewModel& viewModel)
    : m_viewModel(viewModel)
{
}

QCoro::Task<> ClaudeAuthenticationRecovery::reconnectClaudeAuthentication(QPointer<AppViewModel> viewModel,
                                                                          bool forceLogin, bool automatically,
                                                                          CancelToken token)
{
    if (!viewModel || !viewModel->dependencies().claudeCodeTokenStore)
        co_return;
    const AppState& state = viewModel->state();
    if (!state.settings.claudeEnabled || state.isRefreshingClaudeUsage || state.isWaitingForClaudeLogin)
        co_return;
    if (automatically) {
        if (!viewModel->canAutomaticallyRecoverClaude() || !viewModel->dependencies().claudeCanPresentLogin())
            co_return;
        viewModel->mutableState().claudeAutomaticRecoveryInProgress = true;
    }
    const bool startedWithExpired = !forceLogin && state.claudeUsageFailure == ClaudeUsageFailure::credentialExpired;
    viewModel->publishedState().isWaitingForClaudeLogin = true;
    const QUuid generation = QUuid::createUuid();
    viewModel->mutableState().claudeAuthenticationGeneration = generation;
    claudeRecoveryDetail::ReconnectExit exit{viewModel, generation};

    auto result = std::make_shared<claudeRecoveryDetail::PrecheckResult>();
    const auto store = viewModel->dependencies().claudeCodeTokenStore;
    viewModel->tasks().claudeAuthenticationPrecheckTask =
        TaskHandle::start([&](CancelToken precheckToken) { return precheck(store, result, std::move(precheckToken)); });
    {
        const CancelToken precheckToken = viewModel->tasks().claudeAuthenticationPrecheckTask.token();
        const auto forward = token.onCancel([precheckToken] { precheckToken.cancel(); });
        co_await viewModel->tasks().claudeAuthenticationPrecheckTask.finished();
    }
    if (!current(viewModel, generation, token))
        co_return;

    if (result->info) {
        viewModel->tasks().claudeAuthenticationPrecheckTask = TaskHandle();
        if (viewModel->deferClaudeUsageUntilRetry(*result->info))
            co_return;
        // A stored token known to be rejected is not sent again by an automatic run.
        if (!(automatically && result->info->accessToken == viewModel->state().claudeRejectedToken)) {
            co_await viewModel->refreshClaudeUsage(true, token);
            if (!viewModel)
                co_return;
        }
    } else {
        const auto failure = failureOf(result->error);
        if (!failure)
            co_return;
        viewModel->presentClaudeUsageFailure(result->error);
        if (!needsCredentialRecovery(*failure))
            co_return;
    }

    if (!current(viewModel, generation, token) || !needsRecovery(viewModel->state().claudeUsageFailure))
        co_return;
    if (automatically) {
        if (!viewModel->canAutomaticallyRecoverClaude())
            co_return;
        if (!viewModel->dependencies().claudeCanPresentLogin()) {
            viewModel->publishedState().claudeAutomaticRecoveryDeferred = true;
            co_return;
        }
        viewModel->defaults().set(Keys::claudeAutomaticRecoveryAttemptAt, viewModel->claudeNow());
        viewModel->publishedState().claudeAutomaticRecoveryDeferred = false;
    }
    // An expired token is first handed to Claude Code, which renews it; a rejected one to the login.
    const bool login = forceLogin || (!startedWithExpired
                                      && viewModel->state().claudeUsageFailure != ClaudeUsageFailure::credentialExpired);
    if (!viewModel->openClaudeAuthenticationCommand(login))
        co_return;
    exit.handedOff = true;
    std::optional<QString> baseline = viewModel->state().claudeRejectedToken;
    if (!baseline && result->info)
        baseline = result->info->accessToken;
    viewModel->tasks().claudeLoginObservationTask = TaskHandle::start([&](CancelToken watchToken) {
        return watchLogin(viewModel, generation, baseline, login, std::move(watchToken));
    });
}

QCoro::Task<> ClaudeAuthenticationRecovery::watchLogin(QPointer<AppViewModel> viewModel, QUuid generation,
                                                       std::optional<QString> baseline, bool login, CancelToken token)
{
    if (!viewModel)
        co_return;
    const Date deadline = viewModel->claudeNow() + loginWatchSeconds;
    bool timedOut = true;
    for (int look = 0; look < loginWatchLooks && viewModel->claudeNow() < deadline; ++look) {
        try {
            co_await viewModel->dependencies().claudeObservationPause(token);
        } catch (...) {
            timedOut = false;
            break;
        }
        if (!current(viewModel, generation, token)) {
            timedOut = false;
            break;
        }
        std::optional<ClaudeCodeTokenInfo> info;
        try {
            info = co_await viewModel->dependencies().claudeCodeTokenStore->readTokenInfo(true, token);
        } catch (...) {
        }
        if (!viewModel)
            co_return;
        if (!info || (baseline && info->accessToken == *baseline))
            continue;
        if (viewModel->state().claudeAuthenticationGeneration != generation || token.isCancelled()
            || viewModel->deferClaudeUsageUntilRetry(*info)) {
            timedOut = false;
            break;
        }
        co_await viewModel->refreshClaudeUsage(true, token);
        if (!current(viewModel, generation, token)) {
            timedOut = false;
            break;
        }
        if (!needsRecovery(viewModel->state().claudeUsageFailure)) {
            timedOut = false;
            break;
        }
        // The new token was rejected too: wait for the next one.
        baseline = viewModel->state().claudeRejectedToken.value_or(info->accessToken);
    }
    if (!viewModel)
        co_return;
    if (timedOut && current(viewModel, generation, token))
        viewModel->publishedState().claudeUsageErrorMessage = login ? loginTimedOutText : codeTimedOutText;
    if (viewModel->state().claudeAuthenticationGeneration == generation) {
        viewModel->publishedState().isWaitingForClaudeLogin = false;
        viewModel->tasks().claudeLoginObservationTask = TaskHandle();
        viewModel->mutableState().claudeAutomaticRecoveryInProgress = false;
    }
}

bool ClaudeAuthenticationRecovery::openClaudeAuthenticationCommand(bool login)
{
    const auto& launcher =
        login ? m_viewModel.dependencies().claudeLoginLauncher : m_viewModel.dependencies().claudeCodeLauncher;
    if (launcher)
        return launcher();
    // Falls back to an empty terminal window itself and then answers false.
    if (!TerminalLauncher::run(authenticationCommand(login)))
        return false;
    m_viewModel.publishedState().claudeUsageErrorMessage = login ? openedLoginText : openedCodeText;
    m_viewModel.log(login ? QStringLiteral("claudeAuth.openLogin") : QStringLiteral("claudeAuth.openCode"));
    return true;
}

bool ClaudeAuthenticationRecovery::canAutomaticallyRecoverClaude() const
{
    const AppState& state = m_viewModel.state();
    const AppSettings& settings = state.settings;
    if (!settings.claudeEnabled || !settings.claudeUsageAutoRefreshEnabled
        || !settings.claudeAuthenticationAutoRecoveryEnabled || !needsRecovery(state.claudeUsageFailure))
        return false;
    // One automatic attempt per failure, until a reading succeeds again.
    if (m_viewModel.defaults().value(Keys::claudeAutomaticRecoveryAttemptAt))
        return false;
    return !state.claudeUsageRetryAfter || !(*state.claudeUsageRetryAfter > m_viewModel.claudeNow());
}

void ClaudeAuthenticationRecovery::queueAutomaticClaudeRecoveryIfNeeded()
{
    const AppState& state = m_viewModel.state();
    if (!canAutomaticallyRecoverClaude() || state.isRefreshingClaudeUsage || state.isWaitingForClaudeLogin
        || m_viewModel.tasks().claudeAutomaticRecoveryTask.isRunning())
        return;
    if (!m_viewModel.dependencies().claudeCanPresentLogin()) {
        m_viewModel.publishedState().claudeAutomaticRecoveryDeferred = true;
        return;
    }
    const QUuid id = QUuid::createUuid();
    m_viewModel.mutableState().claudeAutomaticRecoveryTaskID = id;
    const QPointer<AppViewModel> viewModel(&m_viewModel);
    m_viewModel.tasks().claudeAutomaticRecoveryTask = TaskHandle::start(
        [&](CancelToken token) { return runAutomaticRecovery(viewModel, id, std::move(token)); });
}

QCoro::Task<> ClaudeAuthenticationRecovery::runAutomaticRecovery(QPointer<AppViewModel> viewModel, QUuid id,
                                                                 CancelToken token)
{
    // Started from inside other work (the end of a refresh): run on a later turn.
    co_await AppViewModel::nextTurn();
    if (viewModel && !token.isCancelled())
        co_await reconnectClaudeAuthentication(viewModel, true, true, token);
    if (viewModel && viewModel->state().claudeAutomaticRecoveryTaskID == id) {
        viewModel->tasks().claudeAutomaticRecoveryTask = TaskHandle();
        viewModel->mutableState().claudeAutomaticRecoveryTaskID.reset();
    }
}

void ClaudeAuthenticationRecovery::cancelAutomaticClaudeRecovery()
{
    AppState& state = m_viewModel.mutableState();
    AppTasks& tasks = m_viewModel.tasks();
    tasks.claudeAutomaticRecoveryTask = TaskHandle();
    state.claudeAutomaticRecoveryTaskID.reset();
    m_viewModel.publishedState().claudeAutomaticRecoveryDeferred = false;
    // A re-authentication the user started by hand is left alone.
    if (!state.claudeAutomaticRecoveryInProgress)
        return;
    state.claudeAutomaticRecoveryInProgress = false;
    tasks.claudeAuthenticationPrecheckTask = TaskHandle();
    tasks.claudeLoginObservationTask = TaskHandle();
    tasks.claudeUsageRequestTask.cancel();
    state.claudeAuthenticationGeneration = QUuid::createUuid();
    m_viewModel.publishedState().isWaitingForClaudeLogin = false;
}

void ClaudeAuthenticationRecovery::observeClaudeLoginAvailability()
{
    const auto availability = m_viewModel.dependencies().claudeLoginAvailability;
    if (!availability || m_interactionObservation)
        return;
    m_interactionObservation =
        QObject::connect(availability, &MacClaudeLoginAvailability::interactionResumed, &m_viewModel,
                         &AppViewModel::queueAutomaticClaudeRecoveryIfNeeded);
}

QCoro::Task<> ClaudeAuthenticationRecovery::recoverClaudeUsage(QPointer<AppViewModel> viewModel)
{
    if (!viewModel || !viewModel->settings().claudeEnabled)
        co_return;
    const auto failure = viewModel->state().claudeUsageFailure;
    switch (failure.value_or(ClaudeUsageFailure::reauthenticationRequired)) {
    case ClaudeUsageFailure::communication:
    case ClaudeUsageFailure::rateLimited:
    case ClaudeUsageFailure::serviceUnavailable:
        co_await viewModel->refreshClaudeUsage(false);
        break;
    case ClaudeUsageFailure::keychainPermission:
    case ClaudeUsageFailure::keychainUnavailable:
        co_await viewModel->refreshClaudeUsage(true);
        break;
    case ClaudeUsageFailure::accessDenied:
    case ClaudeUsageFailure::responseFormat:
        openPage(*viewModel, claudeUsagePage());
        break;
    case ClaudeUsageFailure::unsupportedStorage:
        openPage(*viewModel, claudeCodeAuthenticationGuide());
        break;
    case ClaudeUsageFailure::credentialExpired:
    case ClaudeUsageFailure::reauthenticationRequired:
        co_await viewModel->reconnectClaudeAuthentication(false, false);
        break;
    }
}

void ClaudeAuthenticationRecovery::handleClaudeAuthFailureIfNeeded(const std::exception_ptr& error)
{
    if (!m_viewModel.settings().claudeEnabled || failureOf(error) != ClaudeUsageFailure::reauthenticationRequired)
        return;
    SettingsStore& defaults = m_viewModel.defaults();
    // The episode is already open and announced.
    if (defaults.stringValue(Keys::claudeAuthFailureEpisode) == episodeValue)
        return;
    defaults.set(Keys::claudeAuthFailureEpisode, episodeValue);
    NotificationHistoryEntry entry;
    entry.id = QUuid::createUuid();
    entry.provider = MonitoredProvider::claude;
    entry.category = NotificationHistoryCategory::authentication;
    entry.title = QStringLiteral("Claudeの再認証が必要です");
    entry.body = QStringLiteral("保存済み認証を確認しました。設定の「Claude認証」から再接続できます。");
    entry.createdAt = m_viewModel.notificationNow();
    m_viewModel.publishedState().notificationHistory =
        HistoryRetention::appendingNotification(entry, m_viewModel.state().notificationHistory);
    m_viewModel.persistNotificationHistory();
}

} // namespace vantorel
