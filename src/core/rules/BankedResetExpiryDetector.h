#pragma once

#include "core/foundation/Date.h"
#include "core/model/AppSettings.h"
#include "core/model/BankedResetSummary.h"
#include "core/rules/BankedResetExpiryDeliveryDecision.h"
#include "core/rules/BankedResetExpiryIdentity.h"

#include <QList>

#include <optional>

namespace vantorel {

// Finds banked reset credits whose expiry is near, remembers which were handled, and decides
// whether a queued expiry warning still holds against the current credits.
struct BankedResetExpiryDetector
{
    static constexpr qsizetype maximumIdentities = 1024;
    static constexpr double secondsPerDay = 86'400;

    // Identities of the available credits that expire after `now` but within the settings'
    // warning days and are not in `notified`, in credit order, at most 1,024; none while expiry
    // warnings are switched off.
    static QList<BankedResetExpiryIdentity> detect(const std::optional<BankedResetSummary>& current,
                                                   const AppSettings& settings,
                                                   const QList<BankedResetExpiryIdentity>& notified, Date now);
    // `remembered` followed by `identities`, keeping only live ones (`isLive`), without
    // duplicates, at most the first 1,024.
    static QList<BankedResetExpiryIdentity> recording(const QList<BankedResetExpiryIdentity>& identities,
                                                      const QList<BankedResetExpiryIdentity>& remembered, Date now);
    // Cancel when Discord expiry warnings are off, the credit has expired, or the current
    // credits no longer list it as available with the same expiry (a summary without a credit
    // list cannot confirm it either); wait for a reading when there is none; wait for the
    // warning date when it lies ahead (the warning days may have shrunk since the item was
    // queued); else deliver.
    static BankedResetExpiryDeliveryDecision deliveryDecision(const BankedResetExpiryIdentity& identity,
                                                              const std::optional<BankedResetSummary>& current,
                                                              const AppSettings& settings, Date now);

    // A credit id and an expiry that is a finite time later than `now`.
    static bool isLive(const BankedResetExpiryIdentity& identity, Date now);
    // The expiry minus the settings' warning days.
    static Date warningDate(const BankedResetExpiryIdentity& identity, const AppSettings& settings);
};

} // namespace vantorel
