#pragma once

#include <QtGlobal>

namespace vantorel {

class AppViewModel;
struct UsageSnapshot;

// Announces newly granted banked reset credits and credits about to expire, and keeps what those
// rules remember: the merged credit baseline and the expiries already handled.
class BankedResetNotifications final
{
public:
    // Credits remembered in the baseline.
    static constexpr qsizetype maximumRememberedCredits = 100;

    explicit BankedResetNotifications(AppViewModel& viewModel);

    // A reading without a banked-reset summary changes nothing.
    void evaluateBankedResetNotification(const UsageSnapshot& snapshot);
    // Checks the latest completed banked-reset reading for credits within the warning days.
    void evaluateBankedResetExpiryNotifications();

private:
    void storeNotifiedExpiries();

    AppViewModel& m_viewModel;
};

} // namespace vantorel
