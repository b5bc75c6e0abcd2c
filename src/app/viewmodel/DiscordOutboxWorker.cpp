#include "app/viewmodel/DiscordOutboxWorker.h"

#include "app/platform/KeychainStore.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/AsyncKeychain.h"
#include "app/viewmodel/StoredState.h"
#include "core/foundation/Sleeper.h"
#include "core/model/NotificationChannel.h"
#include "core/rules/BankedResetExpiryDetector.h"
#include "core/rules/DiscordNotificationOutbox.h"
#include "core/rules/DiscordWebhookURLCache.h"

#include <algorithm>

namespace vantorel {

namespace {

const QString outcomeUnknownMessage = QStringLiteral("結果不明です。自動再送で同じ通知が届く可能性があります。");

// An expiry warning held until a banked-reset reading exists. Only a completed Codex reading can
// release it, and that reading revalidates the outbox and reschedules the worker, so no timer
// waits for it and no pass fetches for it.
bool waitsForReading(const PendingDiscordNotification& item)
{
    return item.bankedResetExpiry && item.bankedResetExpiryWait
        && item.bankedResetExpiryWait->kind == BankedResetExpiryWait::Kind::observation;
}

bool isQueued(const AppState& state, const PendingDiscordNotification& item)
{
    const auto& outbox = state.pendingDiscordResetNotifications;
    return std::any_of(outbox.cbegin(), outbox.cend(), [&](const auto& queued) { return queued.isSameItem(item); });
}

bool serverHoldActive(const AppState& state, Date now)
{
    return state.discordServerRetryNotBefore && *state.discordServerRetryNotBefore > now;
}

QString pendingText(const AppState& state)
{
    return QString::number(state.pendingDiscordResetNotifications.size());
}

// A due expiry warning whose credits must be read again before it may go out.
bool needsFreshBankedReset(const AppState& state, Date now)
{
    const auto& outbox = state.pendingDiscordResetNotifications;
    const bool due = std::any_of(outbox.cbegin(), outbox.cend(), [&](const PendingDiscordNotification& item) {
        return item.bankedResetExpiry && !waitsForReading(item) && item.scheduledAttemptAt() <= now;
    });
    return due && !state.bankedResetExpiryObservation.isFreshForDelivery(now);
}

QCoro::Task<> settleCodexRefresh(QCoro::Task<> task)
{
    try {
        co_await std::move(task);
    } catch (...) {
    }
}

} // namespace

DiscordOutboxWorker::DiscordOutboxWorker(AppViewModel& viewModel)
    : m_viewModel(viewModel)
{
}

bool DiscordOutboxWorker::capServerHolds(AppState& state, Date now)
{
    const Date limit = now + maximumServerHold;
    bool cut = false;
    const auto cap = [&](std::optional<Date>& hold) {
        if (hold && *hold > limit) {
            hold = limit;
            cut = true;
        }
    };
    cap(state.discordServerRetryNotBefore);
    for (PendingDiscordNotification& item : state.pendingDiscordResetNotifications) {
        cap(item.serverRetryNotBefore);
    }
    return cut;
}

void DiscordOutboxWorker::capServerHolds(AppViewModel& viewModel, Date now)
{
    if (!capServerHolds(viewModel.mutableState(), now)) {
        return;
    }
    viewModel.markChanged();
    if (const auto hold = viewModel.discordServerRetryNotBefore()) {
        viewModel.defaults().set(StoredState::Keys::discordServerRetryNotBefore, *hold);
    }
    viewModel.persistPendingDiscordResetNotifications();
}

void DiscordOutboxWorker::scheduleDiscordOutboxWorker(Date now)
{
    AppState& state = m_viewModel.mutableState();
    if (!m_viewModel.automaticallyStartServices() || state.isDeliveringDiscordResetNotification) {
        return;
    }
    m_viewModel.tasks().discordOutboxWorkerTask = TaskHandle();
    if (!state.settings.discordResetNotificationsEnabled || state.discordWebhookNeedsAttention) {
        return;
    }
    capServerHolds(m_viewModel, now);
    QList<PendingDiscordNotification> timed = state.pendingDiscordResetNotifications;
    timed.removeIf(waitsForReading);
    const std::optional<Date> next = DiscordNotificationOutbox::nextAttemptDate(timed, now);
    if (!next) {
        return;
    }
    Date firing = *next;
    if (state.discordServerRetryNotBefore && *state.discordServerRetryNotBefore > firing) {
        firing = *state.discordServerRetryNotBefore;
    }
    const double delay = std::max(0.0, firing - now);
    m_viewModel.log(QStringLiteral("discord.outbox.workerScheduled delay=") + QString::number(delay, 'f', 1)
                    + QStringLiteral("s"));
    const CancelToken token = m_viewModel.lifetime().child();
    m_viewModel.tasks().discordOutboxWorkerTask = TaskHandle(
        runWorker(QPointer<AppViewModel>(&m_viewModel), std::min(delay, maximumSleep), token), token);
}

QCoro::Task<> DiscordOutboxWorker::runWorker(QPointer<AppViewModel> viewModel, double seconds, CancelToken token)
{
    // Started tasks run on a later turn, after the code that scheduled them.
    co_await AppViewModel::nextTurn();
    if (!viewModel || token.isCancelled()) {
        co_return;
    }
    try {
        co_await viewModel->sleeper().sleep(seconds, token);
    } catch (...) {
        co_return;
    }
    if (!viewModel || token.isCancelled()) {
        co_return;
    }
    // Dropping our own handle only cancels the token we no longer watch; the pass below runs on.
    viewModel->tasks().discordOutboxWorkerTask = TaskHandle();
    co_await viewModel->deliverPendingDiscordResetNotifications();
}

QCoro::Task<> DiscordOutboxWorker::deliverPendingDiscordResetNotifications(QPointer<AppViewModel> viewModel)
{
    if (!viewModel) {
        co_return;
    }
    if (!viewModel->settings().discordResetNotificationsEnabled) {
        viewModel->revalidatePendingDiscordNotifications(viewModel->now());
        viewModel->tasks().discordOutboxWorkerTask = TaskHandle();
        co_return;
    }
    if (viewModel->state().isDeliveringDiscordResetNotification) {
        co_return;
    }
    viewModel->mutableState().isDeliveringDiscordResetNotification = true;
    Date now = viewModel->notificationNow();

    if (needsFreshBankedReset(viewModel->state(), now)) {
        const AppSettings& settings = viewModel->settings();
        if (settings.isNotificationEnabled(NotificationCategory::couponExpiry, MonitoredProvider::codex,
                                           NotificationChannel::discord)
            && settings.codexCLIAutoRefreshEnabled) {
            co_await settleCodexRefresh(viewModel->refreshCodexCLIUsage());
            if (!viewModel) {
                co_return;
            }
        } else {
            viewModel->mutableState().bankedResetExpiryObservation.reset();
        }
    }
    now = viewModel->notificationNow();
    viewModel->revalidatePendingDiscordNotifications(now);
    capServerHolds(*viewModel, now);

    const AppState& state = viewModel->state();
    const bool held = state.discordWebhookNeedsAttention || serverHoldActive(state, now);
    while (!held) {
        const auto item = DiscordNotificationOutbox::nextDue(state.pendingDiscordResetNotifications, now);
        if (!item || viewModel->lifetime().isCancelled() || !state.settings.discordResetNotificationsEnabled) {
            break;
        }
        const QString attempt = QString::number(item->attemptCount + 1);
        viewModel->log(QStringLiteral("discord.outbox.attempt id=") + item->id + QStringLiteral(" attempt=") + attempt);
        const DiscordSendOutcome outcome = co_await viewModel->sendDiscordMessage(item->content, true, *item, false);
        if (!viewModel) {
            co_return;
        }
        now = viewModel->notificationNow();
        if (outcome.kind == DiscordSendOutcome::Kind::delivered) {
            viewModel->updateDiscordEvidence(*item, NotificationDeliveryStatus::accepted, std::nullopt);
            viewModel->publishedState().pendingDiscordResetNotifications =
                DiscordNotificationOutbox::removing(*item, state.pendingDiscordResetNotifications);
            viewModel->persistPendingDiscordResetNotifications();
            viewModel->log(QStringLiteral("discord.outbox.delivered id=") + item->id + QStringLiteral(" pending=")
                           + pendingText(state));
            continue;
        }
        if (outcome.kind == DiscordSendOutcome::Kind::notSent) {
            viewModel->revalidatePendingDiscordNotifications(now);
            break;
        }
        viewModel->updateDiscordEvidence(*item, outcome.status, std::nullopt);
        if (outcome.status == NotificationDeliveryStatus::invalidContent) {
            viewModel->publishedState().pendingDiscordResetNotifications =
                DiscordNotificationOutbox::removing(*item, state.pendingDiscordResetNotifications);
            viewModel->persistPendingDiscordResetNotifications();
            continue;
        }
        viewModel->publishedState().pendingDiscordResetNotifications =
            DiscordNotificationOutbox::recordingFailure(*item, state.pendingDiscordResetNotifications, now);
        viewModel->persistPendingDiscordResetNotifications();
        viewModel->revalidatePendingDiscordNotifications(now);
        if (!isQueued(state, *item)) {
            continue;
        }
        if (outcome.status == NotificationDeliveryStatus::outcomeUnknown) {
            viewModel->publishedState().discordWebhookMessage = outcomeUnknownMessage;
        }
        viewModel->log(QStringLiteral("discord.outbox.retryScheduled id=") + item->id + QStringLiteral(" attempt=")
                       + attempt);
        break;
    }
    viewModel->mutableState().isDeliveringDiscordResetNotification = false;
    viewModel->scheduleDiscordOutboxWorker(viewModel->now());
}

QCoro::Task<> DiscordOutboxWorker::retryPendingDiscordNotificationsAfterCredentialRecovery(QPointer<AppViewModel> viewModel,
                                                                                           QString reason)
{
    if (!viewModel) {
        co_return;
    }
    Date now = viewModel->notificationNow();
    viewModel->revalidatePendingDiscordNotifications(now);
    capServerHolds(*viewModel, now);
    const AppState& state = viewModel->state();
    if (state.discordWebhookNeedsAttention || serverHoldActive(state, now)
        || !state.settings.discordResetNotificationsEnabled || state.pendingDiscordResetNotifications.isEmpty()) {
        co_return;
    }
    const auto& outbox = state.pendingDiscordResetNotifications;
    const bool needsWebhook = std::any_of(outbox.cbegin(), outbox.cend(), [](const auto& item) { return !item.bankedResetExpiry; });
    if (needsWebhook) {
        const DiscordWebhookURLResolution resolution = co_await viewModel->resolveDiscordWebhookURL();
        if (!viewModel) {
            co_return;
        }
        if (resolution.kind != DiscordWebhookURLResolution::Kind::available) {
            viewModel->log(QStringLiteral("discord.outbox.resumeDeferred reason=") + reason);
            viewModel->scheduleDiscordOutboxWorker(viewModel->now());
            co_return;
        }
    }
    now = viewModel->notificationNow();
    viewModel->publishedState().pendingDiscordResetNotifications =
        DiscordNotificationOutbox::preparingImmediateRetry(state.pendingDiscordResetNotifications, now);
    viewModel->persistPendingDiscordResetNotifications();
    viewModel->log(QStringLiteral("discord.outbox.resumeRetry reason=") + reason + QStringLiteral(" pending=")
                   + pendingText(state));
    viewModel->tasks().discordOutboxWorkerTask = TaskHandle();
    co_await viewModel->deliverPendingDiscordResetNotifications();
}

bool DiscordOutboxWorker::canDeliverPendingDiscordNotification(const PendingDiscordNotification& item) const
{
    const AppState& state = m_viewModel.state();
    if (m_viewModel.lifetime().isCancelled() || !state.settings.discordResetNotificationsEnabled) {
        return false;
    }
    const auto& outbox = state.pendingDiscordResetNotifications;
    const auto queued = std::find_if(outbox.cbegin(), outbox.cend(), [&](const PendingDiscordNotification& other) {
        return other.isSameItem(item) && other.event == item.event && other.bankedResetExpiry == item.bankedResetExpiry
            && other.content == item.content;
    });
    const Date now = m_viewModel.notificationNow();
    if (queued == outbox.cend() || queued->scheduledAttemptAt() > now) {
        return false;
    }
    if (queued->bankedResetExpiry) {
        return BankedResetExpiryDetector::deliveryDecision(*queued->bankedResetExpiry,
                                                           state.bankedResetExpiryObservation.current, state.settings, now)
                   .kind
            == BankedResetExpiryDeliveryDecision::Kind::deliver;
    }
    return DiscordNotificationOutbox::deliveryDecision(*queued, state.settings, m_viewModel.notificationDeliveryContext(), now)
        == DiscordNotificationDeliveryDecision::deliver;
}

QCoro::Task<DiscordWebhookURLResolution> DiscordOutboxWorker::resolveDiscordWebhookURL(QPointer<AppViewModel> viewModel)
{
    if (!viewModel) {
        co_return DiscordWebhookURLResolution::missing();
    }
    if (const auto resolver = viewModel->dependencies().discordWebhookResolver) {
        co_return co_await resolver();
    }
    const std::shared_ptr<DiscordWebhookURLCache> cache = viewModel->dependencies().discordWebhookURLCache;
    const SecureValueReadResult result = co_await viewModel->keychain().readResult(KeychainStore::discordWebhookURLService);
    co_return cache->resolve(result);
}

} // namespace vantorel
