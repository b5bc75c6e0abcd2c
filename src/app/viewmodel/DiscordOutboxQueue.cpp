#include "app/viewmodel/DiscordOutboxQueue.h"

#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/StoredState.h"
#include "core/model/CodexPeriodValidation.h"
#include "core/rules/DiscordNotificationOutbox.h"

#include <algorithm>

namespace vantorel {

namespace {

bool contains(const QList<PendingDiscordNotification>& items, const PendingDiscordNotification& item)
{
    return std::any_of(items.cbegin(), items.cend(), [&](const auto& other) { return other.isSameItem(item); });
}

} // namespace

DiscordOutboxQueue::DiscordOutboxQueue(AppViewModel& viewModel)
    : m_viewModel(viewModel)
{
}

bool DiscordOutboxQueue::enqueueDiscordNotification(const QString& id, const QString& message, Date now,
                                                    const std::optional<BankedResetExpiryIdentity>& bankedResetExpiry,
                                                    const std::optional<DiscordNotificationEvent>& event,
                                                    const QUuid& historyID)
{
    const AppSettings& settings = m_viewModel.settings();
    if (!settings.discordResetNotificationsEnabled) {
        m_viewModel.log(QStringLiteral("discord.outbox.skipped id=") + id + QStringLiteral(" reason=disabled"));
        return false;
    }
    if (event) {
        if (!settings.isNotificationEnabled(event->category(), event->provider(), NotificationChannel::discord)) {
            return false;
        }
    } else if (!bankedResetExpiry
               || !settings.isNotificationEnabled(NotificationCategory::couponExpiry, MonitoredProvider::codex,
                                                  NotificationChannel::discord)) {
        return false;
    }

    PendingDiscordNotification item(id, message, now, 0, std::nullopt, bankedResetExpiry, event, historyID);
    item.serverRetryNotBefore = m_viewModel.discordServerRetryNotBefore();
    if (item.requiresCodexPeriodValidation()) {
        if (m_viewModel.codexPeriodsNeedConfirmation()) {
            return false;
        }
        const auto& observations = m_viewModel.state().notificationUsageObservations;
        const auto codex = observations.constFind(MonitoredProvider::codex);
        if (codex == observations.cend() || !codex->codexPeriodsAreConfirmed()) {
            return false;
        }
        item.codexPeriodValidationVersion = CodexPeriodValidation::currentVersion;
    }

    const QList<PendingDiscordNotification> previous = m_viewModel.pendingDiscordResetNotifications();
    m_viewModel.publishedState().pendingDiscordResetNotifications = DiscordNotificationOutbox::enqueue(item, previous, now);
    const auto& outbox = m_viewModel.pendingDiscordResetNotifications();
    for (const PendingDiscordNotification& old : previous) {
        if (contains(outbox, old)) {
            continue;
        }
        const bool keptAlone = !DiscordNotificationOutbox::pruned({old}, now).isEmpty();
        m_viewModel.updateDiscordEvidence(old, NotificationDeliveryStatus::cancelled,
                                          keptAlone ? NotificationCancellationReason::capacityLimit
                                                    : NotificationCancellationReason::retentionExpired);
    }
    m_viewModel.persistPendingDiscordResetNotifications();
    m_viewModel.scheduleDiscordOutboxWorker(now);
    m_viewModel.log(QStringLiteral("discord.outbox.queued id=") + id + QStringLiteral(" pending=")
                    + QString::number(outbox.size()));
    return std::any_of(outbox.cbegin(), outbox.cend(), [&](const auto& queued) { return queued.id == id; });
}

NotificationDeliveryStatus DiscordOutboxQueue::discordStatus(const QString& id, const QUuid& historyID) const
{
    const auto& outbox = m_viewModel.pendingDiscordResetNotifications();
    const auto queued = std::find_if(outbox.cbegin(), outbox.cend(), [&](const auto& item) { return item.id == id; });
    if (queued == outbox.cend()) {
        return NotificationDeliveryStatus::disabled;
    }
    return queued->generation == historyID ? NotificationDeliveryStatus::waiting
                                           : NotificationDeliveryStatus::notApplicable;
}

void DiscordOutboxQueue::persistDiscordUsageNotificationKeys()
{
    QStringList& keys = m_viewModel.mutableState().sentDiscordUsageNotifications;
    if (keys.size() > maximumDiscordUsageKeys) {
        keys = keys.mid(keys.size() - maximumDiscordUsageKeys);
    }
    m_viewModel.defaults().set(StoredState::Keys::discordUsageNotifications, keys);
}

void DiscordOutboxQueue::revalidatePendingDiscordNotifications(Date now)
{
    m_viewModel.cancelUnconfirmedCodexPeriodNotifications(m_viewModel.codexPeriodsNeedConfirmation());
    const QList<PendingDiscordNotification> previous = m_viewModel.pendingDiscordResetNotifications();
    const AppSettings settings = m_viewModel.settings();
    const auto revalidated = DiscordNotificationOutbox::revalidating(
        previous, m_viewModel.state().bankedResetExpiryObservation.current, settings, notificationDeliveryContext(), now);
    // Every other change of the outbox stores it at once, so an unchanged one is stored already;
    // skipping it spares serialising up to 128 items after every reading.
    if (revalidated == previous) {
        return;
    }
    m_viewModel.publishedState().pendingDiscordResetNotifications = revalidated;
    for (const PendingDiscordNotification& old : previous) {
        if (!contains(revalidated, old)) {
            m_viewModel.updateDiscordEvidence(old, NotificationDeliveryStatus::cancelled,
                                              forRemoved(old, settings, notificationDeliveryContext(), now));
        }
    }
    m_viewModel.persistPendingDiscordResetNotifications();
}

NotificationDeliveryContext DiscordOutboxQueue::notificationDeliveryContext() const
{
    const AppState& state = m_viewModel.state();
    NotificationDeliveryContext context;
    context.usage = state.notificationUsageObservations;
    const bool codexFailed = state.codexCLIErrorMessage && state.usageSnapshot
        && state.usageSnapshot->source == UsageSource::codexCLI;
    if (m_viewModel.codexPeriodsNeedConfirmation() || codexFailed) {
        context.usage.remove(MonitoredProvider::codex);
    }
    if (m_viewModel.claudeUsageDisplayErrorMessage() && state.claudeUsageSnapshot
        && state.claudeUsageSnapshot->source == UsageSource::claudeOAuth) {
        context.usage.remove(MonitoredProvider::claude);
    }
    context.statuses.insert(MonitoredProvider::codex, state.statusSummary);
    context.statuses.insert(MonitoredProvider::claude, state.claudeStatusSummary);
    context.resetBaselines = state.usageResetBaselines;
    return context;
}

} // namespace vantorel
