#include "core/rules/DiscordNotificationOutbox.h"

#include "core/model/NotificationChannel.h"
#include "core/rules/BankedResetExpiryDetector.h"
#include "core/rules/UsageAlertDetector.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vantorel {

namespace {

using Decision = DiscordNotificationDeliveryDecision;
using Reason = NotificationCancellationReason;

// A decision together with the reason a cancel would be recorded with.
struct Verdict
{
    Decision decision;
    Reason reason = Reason::unsupportedEvent;
};

constexpr Verdict deliver{Decision::deliver};
constexpr Verdict deferUntilRefresh{Decision::deferUntilRefresh};

constexpr Verdict cancel(Reason reason)
{
    return {Decision::cancel, reason};
}

bool withinAge(Date date, Date now)
{
    const double age = now - date;
    return age >= 0 && age <= DiscordNotificationOutbox::maximumAge;
}

bool isFresh(Date updatedAt, const AppSettings& settings, MonitoredProvider provider, Date now)
{
    const double age = now - updatedAt;
    return age >= 0 && age <= DiscordNotificationOutbox::freshnessWindow(settings, provider);
}

bool keeps(const PendingDiscordNotification& item, Date now)
{
    if (!item.createdAt.isFinite()) {
        return false;
    }
    if (item.bankedResetExpiry) {
        const auto failingSince = item.bankedResetExpiryFailureStartedAt;
        return BankedResetExpiryDetector::isLive(*item.bankedResetExpiry, now)
            && (!failingSince || now - *failingSince <= DiscordNotificationOutbox::maximumAge);
    }
    return now - item.createdAt <= DiscordNotificationOutbox::maximumAge;
}

Verdict decideLowBalance(const DiscordNotificationEvent::LowBalance& event, const AppSettings& settings,
                         const NotificationDeliveryContext& context, Date now)
{
    const auto baseline = context.resetBaselines.constFind(key(event.window, event.provider));
    if (baseline != context.resetBaselines.constEnd() && baseline->lastConfirmedResetAt
        && *baseline->lastConfirmedResetAt > event.observedAt) {
        return cancel(Reason::resetConfirmed);
    }
    const auto reading = context.usage.constFind(event.provider);
    if (reading == context.usage.constEnd() || !(reading->updatedAt >= event.observedAt)) {
        return deferUntilRefresh;
    }
    if (event.provider == MonitoredProvider::codex && event.window == UsageNotificationWindow::fiveHour
        && reading->codexFiveHourWindowIsTemporarilyUnavailable()) {
        return cancel(Reason::cycleChanged);
    }
    const auto percent = remainingPercent(event.window, *reading);
    if (!percent) {
        return deferUntilRefresh;
    }
    const auto current = UsageAlertDetector::threshold(*percent);
    if (!current) {
        return cancel(Reason::balanceRecovered);
    }
    if (event.threshold != UsageAlertThreshold::warning && rawValue(event.threshold) < rawValue(*current)) {
        return cancel(Reason::balanceRecovered);
    }
    const auto queuedReset = event.resetAt;
    const auto currentReset = resetAt(event.window, *reading);
    if (!queuedReset && currentReset && !(currentReset->isFinite() && *currentReset > now)) {
        return deferUntilRefresh;
    }
    if (queuedReset && !currentReset) {
        return deferUntilRefresh;
    }
    if (queuedReset && currentReset) {
        if (!queuedReset->isFinite() || !currentReset->isFinite()
            || std::abs(*queuedReset - *currentReset) > DiscordNotificationOutbox::resetDateTolerance) {
            return cancel(Reason::cycleChanged);
        }
    }
    return isFresh(reading->updatedAt, settings, event.provider, now) ? deliver : deferUntilRefresh;
}

Verdict decideIncident(const DiscordNotificationEvent& event, const DiscordNotificationEvent::ServiceIncident& incident,
                       const AppSettings& settings, const NotificationDeliveryContext& context, Date now)
{
    if (incident.services.isEmpty()) {
        return cancel(Reason::unsupportedEvent);
    }
    const auto summary = context.statuses.constFind(incident.provider);
    if (summary == context.statuses.constEnd() || !(summary->updatedAt >= incident.observedAt)
        || summary->overallStatus == OverallCodexState::fetchFailed
        || !isFresh(summary->updatedAt, settings, incident.provider, now)) {
        return deferUntilRefresh;
    }
    for (const ServiceStatus& reported : incident.services) {
        const auto current = std::find_if(summary->services.cbegin(), summary->services.cend(),
                                          [&](const ServiceStatus& s) { return s.componentName == reported.componentName; });
        if (current == summary->services.cend() || current->status == ComponentHealth::unknown) {
            return deferUntilRefresh;
        }
    }
    return DiscordNotificationOutbox::matchingIncidentServices(event, context).isEmpty()
        ? cancel(Reason::incidentChanged)
        : deliver;
}

Verdict decide(const PendingDiscordNotification& item, const AppSettings& settings,
               const NotificationDeliveryContext& context, Date now)
{
    if (!item.event) {
        return cancel(Reason::unsupportedEvent);
    }
    const DiscordNotificationEvent& event = *item.event;
    if (!settings.isNotificationEnabled(event.category(), event.provider(), NotificationChannel::discord)) {
        return cancel(Reason::settingsChanged);
    }
    if (!withinAge(item.createdAt, now) || !withinAge(event.observedAt(), now)) {
        return cancel(Reason::retentionExpired);
    }
    if (const auto* lowBalance = event.as<DiscordNotificationEvent::LowBalance>()) {
        return decideLowBalance(*lowBalance, settings, context, now);
    }
    if (const auto* incident = event.as<DiscordNotificationEvent::ServiceIncident>()) {
        return decideIncident(event, *incident, settings, context, now);
    }
    return deliver;
}

} // namespace

double DiscordNotificationOutbox::retryDelay(std::int64_t failedAttempts)
{
    if (failedAttempts <= 1) {
        return 60;
    }
    if (failedAttempts == 2) {
        return 300;
    }
    if (failedAttempts == 3) {
        return 900;
    }
    return 3'600;
}

double DiscordNotificationOutbox::freshnessWindow(const AppSettings& settings, MonitoredProvider provider)
{
    return static_cast<double>(settings.effectiveRefreshIntervalSeconds(provider));
}

QList<PendingDiscordNotification> DiscordNotificationOutbox::pruned(const QList<PendingDiscordNotification>& items, Date now)
{
    QList<PendingDiscordNotification> kept;
    std::copy_if(items.cbegin(), items.cend(), std::back_inserter(kept),
                 [&](const PendingDiscordNotification& item) { return keeps(item, now); });
    std::stable_sort(kept.begin(), kept.end(), [](const PendingDiscordNotification& a, const PendingDiscordNotification& b) {
        return a.createdAt < b.createdAt;
    });
    if (kept.size() > capacity) {
        kept.remove(0, kept.size() - capacity);
    }
    return kept;
}

QList<PendingDiscordNotification> DiscordNotificationOutbox::enqueue(const PendingDiscordNotification& item,
                                                                     const QList<PendingDiscordNotification>& items, Date now)
{
    auto result = pruned(items, now);
    const bool queued = std::any_of(result.cbegin(), result.cend(),
                                    [&](const PendingDiscordNotification& existing) { return existing.id == item.id; });
    if (!queued) {
        result.append(item);
    }
    return pruned(result, now);
}

std::optional<PendingDiscordNotification> DiscordNotificationOutbox::nextDue(const QList<PendingDiscordNotification>& items,
                                                                             Date now)
{
    const auto list = pruned(items, now);
    const auto due = std::find_if(list.cbegin(), list.cend(),
                                  [&](const PendingDiscordNotification& item) { return item.scheduledAttemptAt() <= now; });
    if (due == list.cend()) {
        return std::nullopt;
    }
    return *due;
}

std::optional<Date> DiscordNotificationOutbox::nextAttemptDate(const QList<PendingDiscordNotification>& items, Date now)
{
    std::optional<Date> earliest;
    for (const PendingDiscordNotification& item : pruned(items, now)) {
        const Date scheduled = item.scheduledAttemptAt();
        if (!earliest || scheduled < *earliest) {
            earliest = scheduled;
        }
    }
    return earliest;
}

QList<PendingDiscordNotification> DiscordNotificationOutbox::recordingFailure(const PendingDiscordNotification& item,
                                                                              const QList<PendingDiscordNotification>& items,
                                                                              Date now)
{
    auto result = items;
    for (PendingDiscordNotification& queued : result) {
        if (!queued.isSameItem(item)) {
            continue;
        }
        if (queued.attemptCount < std::numeric_limits<std::int64_t>::max()) {
            ++queued.attemptCount;
        }
        queued.nextAttemptAt = now + retryDelay(queued.attemptCount);
        if (queued.bankedResetExpiry && !queued.bankedResetExpiryFailureStartedAt) {
            queued.bankedResetExpiryFailureStartedAt = now;
        }
    }
    return result;
}

QList<PendingDiscordNotification> DiscordNotificationOutbox::removing(const PendingDiscordNotification& item,
                                                                      const QList<PendingDiscordNotification>& items)
{
    auto result = items;
    result.removeIf([&](const PendingDiscordNotification& queued) { return queued.isSameItem(item); });
    return result;
}

QList<PendingDiscordNotification> DiscordNotificationOutbox::preparingImmediateRetry(
    const QList<PendingDiscordNotification>& items, Date now)
{
    auto result = items;
    for (PendingDiscordNotification& item : result) {
        if (!(item.nextAttemptAt <= now)) {
            item.nextAttemptAt = now;
        }
        item.observationWaitUntil.reset();
        if (item.bankedResetExpiryWait && item.bankedResetExpiryWait->kind == BankedResetExpiryWait::Kind::observation) {
            item.bankedResetExpiryWait.reset();
        }
    }
    return result;
}

QList<PendingDiscordNotification> DiscordNotificationOutbox::revalidatingBankedResetExpiry(
    const QList<PendingDiscordNotification>& items, const std::optional<BankedResetSummary>& current,
    const AppSettings& settings, Date now)
{
    QList<PendingDiscordNotification> result;
    for (PendingDiscordNotification item : pruned(items, now)) {
        if (!item.bankedResetExpiry) {
            result.append(std::move(item));
            continue;
        }
        const auto decision = BankedResetExpiryDetector::deliveryDecision(*item.bankedResetExpiry, current, settings, now);
        switch (decision.kind) {
        case BankedResetExpiryDeliveryDecision::Kind::cancel:
            continue;
        case BankedResetExpiryDeliveryDecision::Kind::deferUntilThreshold: {
            const auto& wait = item.bankedResetExpiryWait;
            const Date since = wait && wait->kind == BankedResetExpiryWait::Kind::threshold ? wait->since : now;
            item.bankedResetExpiryWait = BankedResetExpiryWait::threshold(*decision.thresholdDate, since);
            break;
        }
        case BankedResetExpiryDeliveryDecision::Kind::deferUntilRefresh:
            item.bankedResetExpiryWait = BankedResetExpiryWait::observation(now + observationWait);
            break;
        case BankedResetExpiryDeliveryDecision::Kind::deliver:
            item.bankedResetExpiryWait.reset();
            break;
        }
        result.append(std::move(item));
    }
    return result;
}

DiscordNotificationDeliveryDecision DiscordNotificationOutbox::deliveryDecision(const PendingDiscordNotification& item,
                                                                                const AppSettings& settings,
                                                                                const NotificationDeliveryContext& context,
                                                                                Date now)
{
    return decide(item, settings, context, now).decision;
}

QList<PendingDiscordNotification> DiscordNotificationOutbox::revalidating(const QList<PendingDiscordNotification>& items,
                                                                          const std::optional<BankedResetSummary>& currentBankedReset,
                                                                          const AppSettings& settings,
                                                                          const NotificationDeliveryContext& context, Date now)
{
    QList<PendingDiscordNotification> result;
    for (PendingDiscordNotification item : revalidatingBankedResetExpiry(items, currentBankedReset, settings, now)) {
        if (item.bankedResetExpiry) {
            result.append(std::move(item));
            continue;
        }
        switch (deliveryDecision(item, settings, context, now)) {
        case Decision::cancel:
            continue;
        case Decision::deferUntilRefresh:
            item.observationWaitUntil = now + observationWait;
            break;
        case Decision::deliver:
            item.observationWaitUntil.reset();
            if (const auto* lowBalance = item.event->as<DiscordNotificationEvent::LowBalance>(); lowBalance && !lowBalance->resetAt) {
                const auto reading = context.usage.constFind(lowBalance->provider);
                if (reading != context.usage.constEnd()) {
                    if (const auto date = resetAt(lowBalance->window, *reading)) {
                        auto updated = *lowBalance;
                        updated.resetAt = date;
                        item.event = DiscordNotificationEvent(updated);
                    }
                }
            }
            break;
        }
        result.append(std::move(item));
    }
    return result;
}

QList<ServiceStatus> DiscordNotificationOutbox::matchingIncidentServices(const DiscordNotificationEvent& event,
                                                                         const NotificationDeliveryContext& context)
{
    const auto* incident = event.as<DiscordNotificationEvent::ServiceIncident>();
    if (!incident) {
        return {};
    }
    const auto summary = context.statuses.constFind(incident->provider);
    if (summary == context.statuses.constEnd() || !(summary->updatedAt >= incident->observedAt)
        || summary->overallStatus == OverallCodexState::fetchFailed) {
        return {};
    }
    QList<ServiceStatus> matching;
    for (const ServiceStatus& current : summary->services) {
        if (current.status == ComponentHealth::operational || current.status == ComponentHealth::unknown) {
            continue;
        }
        const bool reported = std::any_of(incident->services.cbegin(), incident->services.cend(), [&](const ServiceStatus& s) {
            return s.componentName == current.componentName && s.status == current.status;
        });
        if (reported) {
            matching.append(current);
        }
    }
    std::stable_sort(matching.begin(), matching.end(), [](const ServiceStatus& a, const ServiceStatus& b) {
        return a.componentName < b.componentName;
    });
    return matching;
}

NotificationCancellationReason forRemoved(const PendingDiscordNotification& item, const AppSettings& settings,
                                          const NotificationDeliveryContext& context, Date now)
{
    const bool keptAlone = !DiscordNotificationOutbox::pruned({item}, now).isEmpty();
    if (item.bankedResetExpiry) {
        if (!settings.isNotificationEnabled(NotificationCategory::couponExpiry, MonitoredProvider::codex,
                                            NotificationChannel::discord)) {
            return Reason::settingsChanged;
        }
        return keptAlone ? Reason::couponChanged : Reason::retentionExpired;
    }
    const Verdict verdict = decide(item, settings, context, now);
    if (verdict.decision == Decision::cancel) {
        return verdict.reason;
    }
    return keptAlone ? Reason::capacityLimit : Reason::retentionExpired;
}

} // namespace vantorel
