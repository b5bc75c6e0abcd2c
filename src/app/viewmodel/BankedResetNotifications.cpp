#include "app/viewmodel/BankedResetNotifications.h"

#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/StoredState.h"
#include "app/viewmodel/UsageNotifications.h"
#include "core/model/ModelCoding.h"
#include "core/model/NotificationMessageBuilder.h"
#include "core/rules/BankedResetExpiryDetector.h"
#include "core/rules/BankedResetGrantDetector.h"

#include <QTimeZone>

#include <algorithm>

namespace vantorel {

namespace {

// The outbox id of a grant: the new credit ids, or, for a grant told by the count alone, the
// counts before and after with the weekly reset (so a count rise repeats its id only within one
// week and one count step).
QString grantID(const BankedResetGrant& grant, const std::optional<BankedResetSummary>& previous,
                const UsageSnapshot& snapshot)
{
    if (!grant.newCredits.isEmpty()) {
        QStringList ids;
        for (const BankedResetCredit& credit : grant.newCredits) {
            ids.append(credit.id);
        }
        ids.sort();
        return QStringLiteral("banked-reset-") + ids.join(QLatin1Char(','));
    }
    const std::optional<QString> weekly = snapshot.weeklyResetAt ? UsageNotifications::wholeUnixSeconds(*snapshot.weeklyResetAt)
                                                                 : std::nullopt;
    return QStringLiteral("banked-reset-count-") + QString::number(previous ? previous->availableCount : -1)
        + QLatin1Char('-') + QString::number(snapshot.bankedReset->availableCount) + QLatin1Char('-')
        + weekly.value_or(QStringLiteral("unknown"));
}

} // namespace

BankedResetNotifications::BankedResetNotifications(AppViewModel& viewModel)
    : m_viewModel(viewModel)
{
}

void BankedResetNotifications::evaluateBankedResetNotification(const UsageSnapshot& snapshot)
{
    if (!snapshot.bankedReset) {
        return;
    }
    const BankedResetSummary& summary = *snapshot.bankedReset;
    const std::optional<BankedResetSummary> previous = m_viewModel.state().lastObservedBankedReset;
    const BankedResetSummary baseline = BankedResetGrantDetector::updatedBaseline(previous, summary,
                                                                                  maximumRememberedCredits);
    const auto grant = BankedResetGrantDetector::detect(previous, summary);
    const auto remember = [&] {
        m_viewModel.mutableState().lastObservedBankedReset = baseline;
        m_viewModel.storedState().setCodable(baseline, StoredState::Keys::lastObservedBankedReset);
    };
    if (!grant) {
        remember();
        return;
    }

    const Date now = m_viewModel.notificationNow();
    std::optional<Date> expiry;
    for (const BankedResetCredit& credit : grant->newCredits) {
        if (credit.expiresAt && (!expiry || *credit.expiresAt < *expiry)) {
            expiry = credit.expiresAt;
        }
    }
    if (!expiry) {
        expiry = summary.nearestExpiration(now);
    }
    std::optional<QString> expiryText;
    if (expiry) {
        expiryText = NotificationMessageBuilder::shortDateTimeText(*expiry, QTimeZone::systemTimeZone());
    }
    const QString id = grantID(*grant, previous, snapshot);
    const QUuid historyID = QUuid::createUuid();
    const bool queued = m_viewModel.enqueueDiscordNotification(
        id, NotificationMessageBuilder::bankedResetGrant(grant->grantedCount, summary.availableCount, expiryText), now,
        std::nullopt, DiscordNotificationEvent::CouponGrant{snapshot.updatedAt}, historyID);
    remember();

    const AppSettings& settings = m_viewModel.settings();
    const bool localEnabled = settings.isNotificationEnabled(NotificationCategory::couponGrant, MonitoredProvider::codex,
                                                             NotificationChannel::local);
    if (!localEnabled
        && !settings.isNotificationEnabled(NotificationCategory::couponGrant, MonitoredProvider::codex,
                                           NotificationChannel::discord)) {
        return;
    }
    m_viewModel.recordObservedNotification(
        historyID, MonitoredProvider::codex, NotificationHistoryCategory::reset,
        NotificationMessageBuilder::bankedResetGrantTitle(),
        NotificationMessageBuilder::bankedResetGrantBody(grant->grantedCount, summary.availableCount, expiryText),
        localEnabled, queued ? m_viewModel.discordStatus(id, historyID) : NotificationDeliveryStatus::disabled);
    m_viewModel.log(QStringLiteral("bankedReset.granted new=") + QString::number(grant->grantedCount)
                    + QStringLiteral(" available=") + QString::number(summary.availableCount));
}

void BankedResetNotifications::evaluateBankedResetExpiryNotifications()
{
    const Date now = m_viewModel.notificationNow();
    m_viewModel.revalidatePendingDiscordNotifications(now);
    AppState& state = m_viewModel.mutableState();
    const auto due = BankedResetExpiryDetector::detect(state.bankedResetExpiryObservation.current, state.settings,
                                                       state.notifiedBankedResetExpiries, now);
    state.notifiedBankedResetExpiries = BankedResetExpiryDetector::recording({}, state.notifiedBankedResetExpiries, now);

    const QTimeZone zone = QTimeZone::systemTimeZone();
    for (const BankedResetExpiryIdentity& identity : due) {
        if (!(identity.expiresAt > now)) {
            continue;
        }
        const AppSettings& settings = m_viewModel.settings();
        const bool localEnabled = settings.isNotificationEnabled(NotificationCategory::couponExpiry,
                                                                 MonitoredProvider::codex, NotificationChannel::local);
        const bool discordEnabled = settings.isNotificationEnabled(NotificationCategory::couponExpiry,
                                                                   MonitoredProvider::codex, NotificationChannel::discord);
        const QUuid historyID = QUuid::createUuid();
        const QString id = identity.notificationID();
        bool queued = false;
        if (discordEnabled) {
            queued = m_viewModel.enqueueDiscordNotification(
                id, NotificationMessageBuilder::bankedResetExpiry(identity.expiresAt, zone), now, identity,
                std::nullopt, historyID);
            // Not remembered: a later run tries again.
            if (!localEnabled && !queued) {
                continue;
            }
        } else if (!localEnabled) {
            continue;
        }
        state.notifiedBankedResetExpiries = BankedResetExpiryDetector::recording({identity},
                                                                                 state.notifiedBankedResetExpiries, now);
        storeNotifiedExpiries();
        m_viewModel.recordObservedNotification(
            historyID, MonitoredProvider::codex, NotificationHistoryCategory::reset,
            NotificationMessageBuilder::bankedResetExpiryTitle(),
            NotificationMessageBuilder::bankedResetExpiryBody(identity.expiresAt, zone), localEnabled,
            queued ? m_viewModel.discordStatus(id, historyID) : NotificationDeliveryStatus::disabled);
    }
    storeNotifiedExpiries();
    m_viewModel.scheduleDiscordOutboxWorker(now);
}

void BankedResetNotifications::storeNotifiedExpiries()
{
    m_viewModel.storedState().setJson(toJsonArray(m_viewModel.state().notifiedBankedResetExpiries),
                                      StoredState::Keys::notifiedBankedResetExpiries);
}

} // namespace vantorel
