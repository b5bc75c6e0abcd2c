#include "app/viewmodel/ReadingIntake.h"

#include "app/platform/NotificationManager.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/StoredState.h"
#include "core/model/CodexPeriodValidation.h"
#include "core/model/HistoryRetention.h"
#include "core/rules/UsageNotificationWindow.h"

#include <QPointer>

#include <algorithm>

namespace vantorel {

namespace {

QString percentText(const std::optional<double>& percent)
{
    return percent ? QString::number(*percent, 'f', 1) : QStringLiteral("nil");
}

NotificationDeliveryStatus localStatus(LocalNotificationSubmissionResult result)
{
    switch (result) {
    case LocalNotificationSubmissionResult::disabled:
        return NotificationDeliveryStatus::disabled;
    case LocalNotificationSubmissionResult::notAuthorized:
        return NotificationDeliveryStatus::notAuthorized;
    case LocalNotificationSubmissionResult::accepted:
        return NotificationDeliveryStatus::accepted;
    case LocalNotificationSubmissionResult::failed:
        break;
    }
    return NotificationDeliveryStatus::failed;
}

void recordLocalOutcome(QPointer<AppViewModel> viewModel, const QUuid& id, LocalNotificationSubmissionResult result)
{
    if (!viewModel) {
        return;
    }
    auto& history = viewModel->mutableState().notificationHistory;
    const auto entry = std::find_if(history.begin(), history.end(), [&](const auto& record) { return record.id == id; });
    if (entry == history.end() || !entry->delivery) {
        return;
    }
    viewModel->publishedState();
    entry->delivery->local = localStatus(result);
    viewModel->persistNotificationHistory();
}

} // namespace

ReadingIntake::ReadingIntake(AppViewModel& viewModel)
    : m_viewModel(viewModel)
{
}

void ReadingIntake::saveUsageSnapshot(const UsageSnapshot& snapshot)
{
    const std::optional<UsageSnapshot> previous = m_viewModel.usageSnapshot();
    const bool needsConfirmation = m_viewModel.codexPeriodsNeedConfirmation();
    const bool sameIdentity = previous && previous->source == snapshot.source && previous->limitId == snapshot.limitId
        && previous->planType == snapshot.planType;
    const bool comparable = !needsConfirmation && previous && previous->codexPeriodsAreConfirmed() && sameIdentity;
    if (!comparable) {
        m_viewModel.invalidateCodexPeriodComparisons(!sameIdentity);
    }

    const bool confirmed = snapshot.codexPeriodsAreConfirmed();
    AppState& state = m_viewModel.publishedState();
    state.codexPeriodsUnconfirmed = !confirmed;
    m_viewModel.defaults().set(StoredState::Keys::codexPeriodsUnconfirmed, !confirmed);
    state.usageSnapshot = snapshot;
    if (confirmed) {
        state.notificationUsageObservations.insert(MonitoredProvider::codex, snapshot);
    } else {
        state.notificationUsageObservations.remove(MonitoredProvider::codex);
    }
    if (snapshot.source != UsageSource::codexCLI) {
        state.bankedResetExpiryObservation.reset();
    }
    m_viewModel.storedState().setCodable(snapshot, StoredState::Keys::usage);
    recordUsageHistory(MonitoredProvider::codex, snapshot);

    if (m_viewModel.settings().codexEnabled) {
        const QString codex = QStringLiteral("Codex");
        if (confirmed) {
            m_viewModel.evaluateResetNotifications(codex, comparable ? previous : std::nullopt, snapshot);
            m_viewModel.evaluateUsageNotifications(snapshot, codex);
        }
        m_viewModel.evaluateBankedResetNotification(snapshot);
        m_viewModel.evaluateBankedResetExpiryNotifications();
    }
    m_viewModel.revalidatePendingDiscordNotifications(m_viewModel.notificationNow());
    m_viewModel.scheduleDiscordOutboxWorker(m_viewModel.notificationNow());
}

void ReadingIntake::logUsageSnapshot(const UsageSnapshot& snapshot, const QString& providerName)
{
    if (!m_viewModel.automaticallyStartServices()) {
        return;
    }
    m_viewModel.log(QStringLiteral("usage.refresh provider=") + providerName + QStringLiteral(" fiveHourRemaining=")
                    + percentText(snapshot.fiveHourRemainingPercent) + QStringLiteral(" weeklyRemaining=")
                    + percentText(snapshot.weeklyRemainingPercent) + QStringLiteral(" bankedReset=")
                    + (snapshot.bankedReset ? QString::number(snapshot.bankedReset->availableCount) : QStringLiteral("nil"))
                    + QStringLiteral(" source=") + rawValue(snapshot.source));
}

void ReadingIntake::recordUsageHistory(MonitoredProvider provider, const UsageSnapshot& snapshot)
{
    const bool codex = provider == MonitoredProvider::codex;
    if (codex && !snapshot.codexPeriodsAreConfirmed()) {
        return;
    }
    if (!snapshot.fiveHourRemainingPercent && !snapshot.weeklyRemainingPercent) {
        return;
    }
    UsageHistoryEntry entry;
    entry.id = QUuid::createUuid();
    entry.provider = provider;
    entry.recordedAt = snapshot.updatedAt;
    entry.fiveHourRemainingPercent = CompactPercent::from(snapshot.fiveHourRemainingPercent);
    entry.weeklyRemainingPercent = CompactPercent::from(snapshot.weeklyRemainingPercent);
    if (codex) {
        entry.codexPeriodValidationVersion = CompactVersion::from(CodexPeriodValidation::currentVersion);
    }
    auto history = HistoryRetention::appendingUsage(entry, m_viewModel.usageHistory());
    if (history == m_viewModel.usageHistory()) {
        return;
    }
    m_viewModel.publishedState().usageHistory = std::move(history);
    m_viewModel.persistUsageHistory();
}

void ReadingIntake::clearNotificationHistory(std::optional<MonitoredProvider> provider)
{
    auto& history = m_viewModel.publishedState().notificationHistory;
    if (provider) {
        history.removeIf([&](const auto& entry) { return entry.provider == *provider; });
    } else {
        history.clear();
    }
    m_viewModel.persistNotificationHistory();
}

void ReadingIntake::recordObservedNotification(const QUuid& id, MonitoredProvider provider,
                                               NotificationHistoryCategory category, const QString& title,
                                               const QString& body, bool localEnabled, NotificationDeliveryStatus discord,
                                               LocalNotificationRequest::Urgency urgency)
{
    NotificationHistoryEntry entry;
    entry.id = id;
    entry.provider = provider;
    entry.category = category;
    entry.title = title;
    entry.body = body;
    entry.createdAt = m_viewModel.notificationNow();
    entry.delivery = NotificationDeliveryEvidence{
        .local = localEnabled ? NotificationDeliveryStatus::submitting : NotificationDeliveryStatus::disabled,
        .discord = discord,
    };
    auto& history = m_viewModel.publishedState().notificationHistory;
    history = HistoryRetention::appendingNotification(entry, history);
    m_viewModel.persistNotificationHistory();

    const auto manager = m_viewModel.dependencies().notificationManager;
    if (!localEnabled || !manager) {
        return;
    }
    QPointer<AppViewModel> viewModel(&m_viewModel);
    manager->send(
        title, body, true,
        [viewModel, id](LocalNotificationSubmissionResult result) { recordLocalOutcome(viewModel, id, result); },
        urgency);
}

void ReadingIntake::invalidateCodexPeriodComparisons(bool rearmWarnings)
{
    AppState& state = m_viewModel.mutableState();
    for (const UsageNotificationWindow window : allUsageNotificationWindows) {
        const QString windowKey = key(window, MonitoredProvider::codex);
        state.usageResetBaselines.remove(windowKey);
        if (rearmWarnings) {
            m_viewModel.rearmUsageNotifications(windowKey);
        }
    }
    m_viewModel.storedState().setCodable(state.usageResetBaselines, StoredState::Keys::usageResetBaselines);
    state.notificationUsageObservations.remove(MonitoredProvider::codex);
    cancelUnconfirmedCodexPeriodNotifications(true);
}

void ReadingIntake::cancelUnconfirmedCodexPeriodNotifications(bool all)
{
    QList<PendingDiscordNotification> selected;
    for (const PendingDiscordNotification& item : m_viewModel.pendingDiscordResetNotifications()) {
        if (item.requiresCodexPeriodValidation()
            && (all || item.codexPeriodValidationVersion != CodexPeriodValidation::currentVersion)) {
            selected.append(item);
        }
    }
    if (selected.isEmpty()) {
        return;
    }
    auto& outbox = m_viewModel.publishedState().pendingDiscordResetNotifications;
    outbox.removeIf([&](const PendingDiscordNotification& item) {
        return std::any_of(selected.cbegin(), selected.cend(), [&](const auto& other) { return other.isSameItem(item); });
    });
    for (const PendingDiscordNotification& item : selected) {
        const auto& history = m_viewModel.notificationHistory();
        const auto record = std::find_if(history.cbegin(), history.cend(),
                                         [&](const auto& entry) { return entry.id == item.generation; });
        const auto* lowBalance = item.event ? item.event->as<DiscordNotificationEvent::LowBalance>() : nullptr;
        const bool neverAttempted = item.attemptCount == 0 && record != history.cend() && record->delivery
            && record->delivery->discord == NotificationDeliveryStatus::waiting
            && !record->delivery->discordResultWasUnknown;
        if (neverAttempted && lowBalance && lowBalance->provider == MonitoredProvider::codex) {
            const QString discordKey = key(lowBalance->window, MonitoredProvider::codex) + QLatin1Char('-')
                + QString::number(rawValue(lowBalance->threshold));
            if (m_viewModel.mutableState().sentDiscordUsageNotifications.removeAll(discordKey) > 0) {
                m_viewModel.persistDiscordUsageNotificationKeys();
            }
        }
        m_viewModel.updateDiscordEvidence(item, NotificationDeliveryStatus::cancelled,
                                          NotificationCancellationReason::unsupportedEvent);
    }
    m_viewModel.persistPendingDiscordResetNotifications();
}

} // namespace vantorel
