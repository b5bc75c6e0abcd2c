#include "app/viewmodel/ClaudeUsageRefresh.h"

#include "app/platform/ClaudeAuthenticatedUsageLoader.h"
#include "app/platform/ClaudeCodeTokenInfo.h"
#include "app/platform/ClaudeCodeTokenStore.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/StoredState.h"
#include "core/foundation/CancellationError.h"
#include "core/foundation/SettingsStore.h"
#include "core/model/NotificationMessageBuilder.h"
#include "core/sources/ClaudeUsageService.h"
#include "core/sources/ClaudeUsageServiceError.h"

#include <QTimeZone>

#include <cmath>

namespace vantorel {

// Types that the coroutine frames below hold need a name with linkage: GCC rejects anonymous ones
// there when this file is part of a unity batch.
namespace claudeUsageRefreshDetail {

struct RequestResult
{
    std::optional<UsageSnapshot> snapshot;
    std::exception_ptr error;
};

} // namespace claudeUsageRefreshDetail

namespace {

using Keys = StoredState::Keys;

bool isCancellation(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const CancellationError&) {
        return true;
    } catch (...) {
        return false;
    }
}

// The fetch the loader calls with each token it reads: only while the refresh still applies, and
// remembering a token the service rejects.
QCoro::Task<UsageSnapshot> fetchWithToken(QPointer<AppViewModel> viewModel, QUuid generation,
                                          std::shared_ptr<ClaudeUsageService> service, ClaudeCodeTokenInfo info,
                                          CancelToken token)
{
    if (!viewModel || !viewModel->settings().claudeEnabled
        || viewModel->state().claudeAuthenticationGeneration != generation)
        throw CancellationError();
    token.throwIfCancelled();
    try {
        co_return co_await service->fetchUsage(info.accessToken, info.subscriptionType, token);
    } catch (const ClaudeUsageServiceError& error) {
        if (error.code() == ClaudeUsageServiceError::Code::unauthorized && viewModel)
            viewModel->rememberRejectedClaudeToken(info.accessToken, generation);
        throw;
    }
}

QCoro::Task<> runRequest(QPointer<AppViewModel> viewModel, bool forceCredentialReload, QUuid generation,
                         std::shared_ptr<claudeUsageRefreshDetail::RequestResult> result, CancelToken token)
{
    try {
        const auto& dependencies = viewModel->dependencies();
        const std::shared_ptr<ClaudeUsageService> service = dependencies.claudeUsageService;
        ClaudeAuthenticatedUsageLoader::UsageFetch fetch = [viewModel, generation, service](ClaudeCodeTokenInfo info,
                                                                                           CancelToken fetchToken) {
            return fetchWithToken(viewModel, generation, service, std::move(info), std::move(fetchToken));
        };
        const ClaudeAuthenticatedUsageLoader loader(dependencies.claudeCodeTokenStore, std::move(fetch));
        result->snapshot = co_await loader.fetchUsage(forceCredentialReload, token);
    } catch (...) {
        result->error = std::current_exception();
    }
}

QCoro::Task<> refreshAfterCancellation(QPointer<AppViewModel> viewModel)
{
    if (viewModel)
        co_await viewModel->refreshClaudeUsage(true);
}

} // namespace

ClaudeUsageRefresh::ClaudeUsageRefresh(AppViewModel& viewModel)
    : m_viewModel(viewModel)
{
}

QCoro::Task<> ClaudeUsageRefresh::refreshClaudeUsage(QPointer<AppViewModel> viewModel, bool forceCredentialReload,
                                                     CancelToken token)
{
    // Without the usage client or Claude Code's credential there is nothing to ask.
    if (!viewModel || !viewModel->settings().claudeEnabled || !viewModel->dependencies().claudeUsageService
        || !viewModel->dependencies().claudeCodeTokenStore)
        co_return;
    if (viewModel->state().isRefreshingClaudeUsage) {
        // A refresh asked for while a cancelled request winds down runs once that one is over.
        const auto& request = viewModel->tasks().claudeUsageRequestTask;
        if (request.isRunning() && request.isCancelled())
            viewModel->mutableState().claudeRefreshAfterCancellation = true;
        co_return;
    }
    if (viewModel->state().isWaitingForClaudeLogin && !forceCredentialReload)
        co_return;
    const auto retryAfter = viewModel->state().claudeUsageRetryAfter;
    if (retryAfter && *retryAfter > viewModel->claudeNow()) {
        if (const auto failure = viewModel->state().claudeUsageRetryFailure) {
            const QString text = viewModel->claudeFailureMessage(*failure);
            auto& published = viewModel->publishedState();
            published.claudeUsageFailure = failure;
            published.claudeUsageErrorMessage = text;
        }
        if (viewModel->automaticallyStartServices())
            viewModel->log(QStringLiteral("refreshClaudeUsage.skipped retryAfter=") + retryAfter->iso8601());
        co_return;
    }

    viewModel->publishedState().isRefreshingClaudeUsage = true;
    const QUuid generation = viewModel->state().claudeAuthenticationGeneration;
    auto result = std::make_shared<claudeUsageRefreshDetail::RequestResult>();
    viewModel->tasks().claudeUsageRequestTask = TaskHandle::start([&](CancelToken requestToken) {
        return runRequest(viewModel, forceCredentialReload, generation, result, std::move(requestToken));
    });
    const CancelToken requestToken = viewModel->tasks().claudeUsageRequestTask.token();
    {
        const auto forward = token.onCancel([requestToken] { requestToken.cancel(); });
        co_await viewModel->tasks().claudeUsageRequestTask.finished();
    }
    if (!viewModel)
        co_return;

    const bool applicable = viewModel->settings().claudeEnabled
        && viewModel->state().claudeAuthenticationGeneration == generation && !token.isCancelled()
        && !requestToken.isCancelled();
    if (applicable) {
        if (result->snapshot)
            viewModel->claudeUsageRefresh().applyReading(*result->snapshot);
        else if (result->error && !isCancellation(result->error))
            viewModel->claudeUsageRefresh().applyFailure(result->error);
    }

    viewModel->publishedState().isRefreshingClaudeUsage = false;
    viewModel->tasks().claudeUsageRequestTask = TaskHandle();
    if (viewModel->state().claudeRefreshAfterCancellation) {
        viewModel->mutableState().claudeRefreshAfterCancellation = false;
        const auto& settings = viewModel->settings();
        if (settings.claudeEnabled && settings.claudeUsageAutoRefreshEnabled)
            viewModel->startTask([viewModel] { return refreshAfterCancellation(viewModel); });
    }
    if (!token.isCancelled())
        viewModel->queueAutomaticClaudeRecoveryIfNeeded();
}

void ClaudeUsageRefresh::applyReading(const UsageSnapshot& snapshot)
{
    auto& published = m_viewModel.publishedState();
    published.claudeAuthenticatedPlanType = snapshot.planType;
    published.claudeRejectedToken.reset();
    published.claudeUsageRetryAfter.reset();
    published.claudeUsageRetryFailure.reset();
    published.claudeUsageErrorHidesOAuthSnapshot = false;
    published.claudeUsageErrorMessage.reset();
    published.claudeUsageFailure.reset();
    // Closes a failure episode and re-arms the automatic recovery.
    m_viewModel.defaults().remove(Keys::claudeAuthFailureEpisode);
    m_viewModel.defaults().remove(Keys::claudeAutomaticRecoveryAttemptAt);
    published.claudeAutomaticRecoveryDeferred = false;
    m_viewModel.saveClaudeUsageSnapshot(snapshot);
    m_viewModel.logUsageSnapshot(snapshot, QStringLiteral("Claude"));
}

void ClaudeUsageRefresh::applyFailure(const std::exception_ptr& error)
{
    auto& state = m_viewModel.mutableState();
    try {
        std::rethrow_exception(error);
    } catch (const ClaudeUsageServiceError& failure) {
        const Date now = m_viewModel.claudeNow();
        if (failure.code() == ClaudeUsageServiceError::Code::rateLimited) {
            double wait = failure.retryAfterSeconds().value_or(defaultRateLimitWait);
            if (!std::isfinite(wait) || wait < 0.0 || wait >= 9'223'372'036'854'775'808.0)
                wait = defaultRateLimitWait;
            wait = std::min(std::max(wait, minimumRateLimitWait), maximumRateLimitWait);
            const Date retryAt = now + wait;
            state.claudeUsageRetryAfter = retryAt.isFinite() ? retryAt : now + defaultRateLimitWait;
            state.claudeUsageRetryFailure = ClaudeUsageFailure::rateLimited;
        } else if (failure.code() == ClaudeUsageServiceError::Code::badHTTPStatus && failure.statusCode() == 403) {
            state.claudeUsageRetryAfter = now + accessDeniedWait;
            state.claudeUsageRetryFailure = ClaudeUsageFailure::accessDenied;
        }
    } catch (...) {
    }

    const ClaudeUsageFailure failure = classifyClaudeUsageFailure(error);
    const bool hidesSnapshot = failure == ClaudeUsageFailure::reauthenticationRequired;
    m_viewModel.publishedState().claudeUsageErrorHidesOAuthSnapshot = hidesSnapshot;
    if (hidesSnapshot) {
        // The next read goes to the credential itself.
        if (const auto& store = m_viewModel.dependencies().claudeCodeTokenStore)
            store->invalidate();
        m_viewModel.publishedState().claudeAuthenticatedPlanType.reset();
    }
    presentClaudeUsageFailure(error);
    m_viewModel.handleClaudeAuthFailureIfNeeded(error);
    if (m_viewModel.automaticallyStartServices())
        m_viewModel.log(QStringLiteral("refreshClaudeUsage.error category=") + rawValue(failure));
    if (hidesSnapshot)
        clearStaleClaudeOAuthSnapshotIfNeeded();
}

QString ClaudeUsageRefresh::claudeFailureMessage(ClaudeUsageFailure failure) const
{
    const auto& retryAfter = m_viewModel.state().claudeUsageRetryAfter;
    if (failure == ClaudeUsageFailure::rateLimited && retryAfter)
        return QStringLiteral("%1 再試行可能: %2")
            .arg(message(failure),
                 NotificationMessageBuilder::shortDateTimeText(*retryAfter, QTimeZone::systemTimeZone()));
    return message(failure);
}

void ClaudeUsageRefresh::rememberRejectedClaudeToken(const QString& accessToken, const QUuid& generation)
{
    if (m_viewModel.settings().claudeEnabled && generation == m_viewModel.state().claudeAuthenticationGeneration)
        m_viewModel.mutableState().claudeRejectedToken = accessToken;
}

void ClaudeUsageRefresh::saveClaudeUsageSnapshot(const UsageSnapshot& snapshot)
{
    auto& published = m_viewModel.publishedState();
    published.claudeFailedSnapshotDate.reset();
    m_viewModel.defaults().remove(Keys::claudeFailedSnapshotDate);
    const std::optional<UsageSnapshot> previous = published.claudeUsageSnapshot;
    published.claudeUsageSnapshot = snapshot;
    published.notificationUsageObservations[MonitoredProvider::claude] = snapshot;
    m_viewModel.storedState().setCodable(snapshot, Keys::claudeUsage);
    m_viewModel.recordUsageHistory(MonitoredProvider::claude, snapshot);
    if (m_viewModel.settings().claudeEnabled) {
        m_viewModel.evaluateResetNotifications(QStringLiteral("Claude"), previous, snapshot);
        m_viewModel.evaluateUsageNotifications(snapshot, QStringLiteral("Claude"));
    }
    m_viewModel.revalidatePendingDiscordNotifications(m_viewModel.now());
    m_viewModel.scheduleDiscordOutboxWorker(m_viewModel.now());
}

void ClaudeUsageRefresh::presentClaudeUsageFailure(const std::exception_ptr& error)
{
    const auto& snapshot = m_viewModel.state().claudeUsageSnapshot;
    if (snapshot && snapshot->source == UsageSource::claudeOAuth) {
        const Date failedAt = snapshot->updatedAt;
        m_viewModel.publishedState().claudeFailedSnapshotDate = failedAt;
        m_viewModel.defaults().set(Keys::claudeFailedSnapshotDate, failedAt);
    }
    const ClaudeUsageFailure failure = classifyClaudeUsageFailure(error);
    const QString text = claudeFailureMessage(failure);
    auto& published = m_viewModel.publishedState();
    published.claudeUsageFailure = failure;
    published.claudeUsageErrorMessage = text;
}

void ClaudeUsageRefresh::clearStaleClaudeOAuthSnapshotIfNeeded()
{
    const auto& snapshot = m_viewModel.state().claudeUsageSnapshot;
    if (!snapshot || snapshot->source != UsageSource::claudeOAuth)
        return;
    if (m_viewModel.automaticallyStartServices())
        m_viewModel.log(QStringLiteral("refreshClaudeUsage.clearStaleClaudeOAuthSnapshot"));
    auto& published = m_viewModel.publishedState();
    published.claudeFailedSnapshotDate.reset();
    m_viewModel.defaults().remove(Keys::claudeFailedSnapshotDate);
    published.claudeUsageSnapshot.reset();
    m_viewModel.defaults().remove(Keys::claudeUsage);
}

bool ClaudeUsageRefresh::deferClaudeUsageUntilRetry(const ClaudeCodeTokenInfo& info)
{
    const auto& state = m_viewModel.state();
    if (!info.canDeferUsageRequest(state.claudeUsageRetryAfter, state.claudeRejectedToken, m_viewModel.claudeNow()))
        return false;
    auto& published = m_viewModel.publishedState();
    if (state.claudeUsageRetryFailure)
        published.claudeUsageFailure = state.claudeUsageRetryFailure;
    published.claudeUsageErrorHidesOAuthSnapshot = false;
    published.claudeAuthenticatedPlanType = info.subscriptionType;
    const auto& failure = state.claudeUsageFailure;
    published.claudeUsageErrorMessage = QStringLiteral("保存済み認証を読み込みました。使用量の取得成功は未確認です。")
        + (failure ? claudeFailureMessage(*failure) : QStringLiteral("待機期限後の更新で使用量を取得できます。"));
    return true;
}

} // namespace vantorel
