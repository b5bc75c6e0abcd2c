#pragma once

#include "core/foundation/Date.h"
#include "core/model/AppSettings.h"
#include "core/model/BankedResetSummary.h"
#include "core/model/NotificationCancellationReason.h"
#include "core/model/ServiceStatus.h"
#include "core/rules/DiscordNotificationDeliveryDecision.h"
#include "core/rules/DiscordNotificationEvent.h"
#include "core/rules/NotificationDeliveryContext.h"
#include "core/rules/PendingDiscordNotification.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

namespace vantorel {

// The pure operations on the Discord outbox: each takes the list and returns the new one. Items
// are matched by id and generation together unless a rule says id alone.
struct DiscordNotificationOutbox
{
    // Items, and the readings behind them, older than this are not sent any more.
    static constexpr double maximumAge = 259'200;
    static constexpr qsizetype capacity = 128;
    // A deferred item is not attempted again before this.
    static constexpr double observationWait = 60;
    // A queued low-balance message whose reset date moved further than this is about another cycle.
    static constexpr double resetDateTolerance = 900;
    static constexpr std::int64_t minimumFreshnessWindow = 60;
    static constexpr std::int64_t maximumFreshnessWindow = 86'400;

    // The settings-store key of the stored list.
    static QString storageKey() { return QStringLiteral("Vantorel.pendingDiscordResetNotifications"); }

    // Keeps items created at most three days ago; an expiry warning instead lives while its
    // credit has not expired, but not longer than three days after its first failed attempt.
    // Ordered by creation time (stable), the newest 128.
    static QList<PendingDiscordNotification> pruned(const QList<PendingDiscordNotification>& items, Date now);
    // Pruned, the item added unless its id is already queued, pruned again.
    static QList<PendingDiscordNotification> enqueue(const PendingDiscordNotification& item,
                                                     const QList<PendingDiscordNotification>& items, Date now);
    // The due item created first (the first of equal creation times), after pruning.
    static std::optional<PendingDiscordNotification> nextDue(const QList<PendingDiscordNotification>& items, Date now);
    // The earliest scheduled attempt over the pruned list.
    static std::optional<Date> nextAttemptDate(const QList<PendingDiscordNotification>& items, Date now);
    // One more attempt counted and the next one backed off 60, 300, 900, then 3,600 s; an expiry
    // warning also notes when its failures started.
    static QList<PendingDiscordNotification> recordingFailure(const PendingDiscordNotification& item,
                                                              const QList<PendingDiscordNotification>& items, Date now);
    static QList<PendingDiscordNotification> removing(const PendingDiscordNotification& item,
                                                      const QList<PendingDiscordNotification>& items);
    // Waiting items due now: back-off and observation waits end; an expiry warning keeps its wait
    // for the warning date, and the server's rate-limit hold stays.
    static QList<PendingDiscordNotification> preparingImmediateRetry(const QList<PendingDiscordNotification>& items,
                                                                     Date now);
    // Pruned, then every expiry warning decided again against the current credits: dropped, set
    // to wait (for a reading or for its warning date) or made due.
    static QList<PendingDiscordNotification> revalidatingBankedResetExpiry(const QList<PendingDiscordNotification>& items,
                                                                           const std::optional<BankedResetSummary>& current,
                                                                           const AppSettings& settings, Date now);

    // Whether a queued usage or status message still reports the present state.
    static DiscordNotificationDeliveryDecision deliveryDecision(const PendingDiscordNotification& item,
                                                                const AppSettings& settings,
                                                                const NotificationDeliveryContext& context, Date now);
    // The expiry pass, then every other item decided: delivered ones lose their observation wait
    // (a low-balance event without a reset date takes the current one), deferred ones wait 60 s,
    // cancelled ones leave. Order is kept.
    static QList<PendingDiscordNotification> revalidating(const QList<PendingDiscordNotification>& items,
                                                          const std::optional<BankedResetSummary>& currentBankedReset,
                                                          const AppSettings& settings,
                                                          const NotificationDeliveryContext& context, Date now);
    // The current services that still have a reported component's name and health, sorted by
    // name; empty for other events or without a usable summary.
    static QList<ServiceStatus> matchingIncidentServices(const DiscordNotificationEvent& event,
                                                         const NotificationDeliveryContext& context);

    // The back-off after the given number of failed attempts.
    static double retryDelay(std::int64_t failedAttempts);
    // How old a reading of the provider may be to count as current: its refresh interval, 60 s
    // to one day.
    static double freshnessWindow(const AppSettings& settings, MonitoredProvider provider);
};

// The cancellation reason recorded for an item that revalidation removed, found again from the
// same inputs: the Discord switch (settingsChanged), age or expired credit (retentionExpired),
// changed credits (couponChanged), a later reset (resetConfirmed), a recovered balance
// (balanceRecovered), another window cycle (cycleChanged), an incident that changed
// (incidentChanged), an item that reports nothing checkable (unsupportedEvent); an item that
// would still be kept on its own was dropped for room (capacityLimit).
NotificationCancellationReason forRemoved(const PendingDiscordNotification& item, const AppSettings& settings,
                                          const NotificationDeliveryContext& context, Date now);

} // namespace vantorel
