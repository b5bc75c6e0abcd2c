#pragma once

#include "core/foundation/CancelToken.h"
#include "core/foundation/Date.h"
#include "core/rules/DiscordWebhookURLResolution.h"
#include "core/rules/PendingDiscordNotification.h"

#include <QPointer>
#include <QString>

#include <QCoroTask>

namespace vantorel {

class AppViewModel;
struct AppState;

// The delivery side of the Discord outbox: the one sleeping worker, the delivery pass that posts
// due items one at a time and records every outcome, the retry after a credential came back,
// and the webhook URL lookup.
class DiscordOutboxWorker final
{
public:
    // One sleep of the worker lasts at most this (the outbox keeps items this long).
    static constexpr double maximumSleep = 259'200;
    // A server hold never reaches further than the longest wait a 429 may ask for; a stored hold
    // beyond it can only come from a clock that went back.
    static constexpr double maximumServerHold = 3'600;

    explicit DiscordOutboxWorker(AppViewModel& viewModel);

    // Replaces the sleeping worker with one that wakes for the next due item or the end of the
    // server hold; none while a pass runs, Discord is off, the webhook needs attention or nothing
    // is waiting on a timer.
    void scheduleDiscordOutboxWorker(Date now);
    bool canDeliverPendingDiscordNotification(const PendingDiscordNotification& item) const;

    static QCoro::Task<> deliverPendingDiscordResetNotifications(QPointer<AppViewModel> viewModel);
    static QCoro::Task<> retryPendingDiscordNotificationsAfterCredentialRecovery(QPointer<AppViewModel> viewModel,
                                                                                 QString reason);
    static QCoro::Task<DiscordWebhookURLResolution> resolveDiscordWebhookURL(QPointer<AppViewModel> viewModel);

    // Cuts the global hold and every item's copy to now + maximumServerHold; true when any was cut.
    static bool capServerHolds(AppState& state, Date now);
    // The same on the view model, storing what changed.
    static void capServerHolds(AppViewModel& viewModel, Date now);

private:
    static QCoro::Task<> runWorker(QPointer<AppViewModel> viewModel, double seconds, CancelToken token);

    AppViewModel& m_viewModel;
};

} // namespace vantorel
