#include "core/rules/BankedResetExpiryDetector.h"

#include "core/model/MonitoredProvider.h"
#include "core/model/NotificationCategory.h"
#include "core/model/NotificationChannel.h"

#include <algorithm>

namespace vantorel {

bool BankedResetExpiryDetector::isLive(const BankedResetExpiryIdentity& identity, Date now)
{
    return !identity.creditID.isEmpty() && identity.expiresAt.isFinite() && identity.expiresAt > now;
}

Date BankedResetExpiryDetector::warningDate(const BankedResetExpiryIdentity& identity, const AppSettings& settings)
{
    return identity.expiresAt - static_cast<double>(settings.bankedResetExpiryWarningDays()) * secondsPerDay;
}

QList<BankedResetExpiryIdentity> BankedResetExpiryDetector::detect(const std::optional<BankedResetSummary>& current,
                                                                   const AppSettings& settings,
                                                                   const QList<BankedResetExpiryIdentity>& notified,
                                                                   Date now)
{
    QList<BankedResetExpiryIdentity> due;
    if (!settings.bankedResetExpiryNotificationsEnabled || !current || !current->credits) {
        return due;
    }
    for (const BankedResetCredit& credit : *current->credits) {
        if (due.size() >= maximumIdentities) {
            break;
        }
        if (!credit.isAvailable() || !credit.expiresAt) {
            continue;
        }
        const BankedResetExpiryIdentity identity{credit.id, *credit.expiresAt};
        if (!isLive(identity, now) || now < warningDate(identity, settings) || notified.contains(identity)
            || due.contains(identity)) {
            continue;
        }
        due.append(identity);
    }
    return due;
}

QList<BankedResetExpiryIdentity> BankedResetExpiryDetector::recording(const QList<BankedResetExpiryIdentity>& identities,
                                                                      const QList<BankedResetExpiryIdentity>& remembered,
                                                                      Date now)
{
    QList<BankedResetExpiryIdentity> result;
    const auto add = [&](const QList<BankedResetExpiryIdentity>& list) {
        for (const BankedResetExpiryIdentity& identity : list) {
            if (result.size() >= maximumIdentities) {
                return;
            }
            if (isLive(identity, now) && !result.contains(identity)) {
                result.append(identity);
            }
        }
    };
    add(remembered);
    add(identities);
    return result;
}

BankedResetExpiryDeliveryDecision BankedResetExpiryDetector::deliveryDecision(
    const BankedResetExpiryIdentity& identity, const std::optional<BankedResetSummary>& current,
    const AppSettings& settings, Date now)
{
    if (!settings.isNotificationEnabled(NotificationCategory::couponExpiry, MonitoredProvider::codex,
                                        NotificationChannel::discord)
        || !isLive(identity, now)) {
        return BankedResetExpiryDeliveryDecision::cancel();
    }
    if (!current) {
        return BankedResetExpiryDeliveryDecision::deferUntilRefresh();
    }
    if (!current->credits) {
        return BankedResetExpiryDeliveryDecision::cancel();
    }
    const auto& credits = *current->credits;
    const auto credit = std::find_if(credits.cbegin(), credits.cend(),
                                     [&](const BankedResetCredit& c) { return c.id == identity.creditID; });
    if (credit == credits.cend() || !credit->isAvailable() || credit->expiresAt != std::optional(identity.expiresAt)) {
        return BankedResetExpiryDeliveryDecision::cancel();
    }
    const Date warning = warningDate(identity, settings);
    if (now < warning) {
        return BankedResetExpiryDeliveryDecision::deferUntilThreshold(warning);
    }
    return BankedResetExpiryDeliveryDecision::deliver();
}

} // namespace vantorel
