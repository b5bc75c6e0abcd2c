#pragma once

#include "core/foundation/Date.h"
#include "core/model/ComponentHealth.h"
#include "core/rules/UsageResetDetectionReason.h"

#include <QMap>
#include <QString>

#include <cstdint>
#include <optional>

namespace vantorel {

class AppViewModel;
struct CodexStatusSummary;
struct RateLimitSnapshot;
struct UsageSnapshot;

// Turns readings into low-balance, reset and status-page notifications on the local channel
// and through the Discord outbox, and keeps the memory those rules need: the announced levels
// per window, the reset baselines, the reset ledger and the reset throttle.
class UsageNotifications final
{
public:
    // Local low-balance keys kept; older ones are forgotten first.
    static constexpr qsizetype maximumUsageKeys = 40;
    // A reset without a new date is not announced once this long has passed since the old date.
    static constexpr double staleWeeklyResetSeconds = 172'800;
    static constexpr double staleResetSeconds = 43'200;

    explicit UsageNotifications(AppViewModel& viewModel);

    // Whole seconds since 1970, truncated toward zero, as keys and ids write a date; none for a
    // date that is not finite.
    static std::optional<QString> wholeUnixSeconds(Date date);

    // A component that got worse than remembered raises one notification for the page.
    void evaluateStatusNotifications(const CodexStatusSummary& summary,
                                     const QMap<QString, ComponentHealth>& previousStatuses, const QString& providerName);
    void evaluateRateNotifications(const RateLimitSnapshot& snapshot);
    void evaluateUsageNotifications(const UsageSnapshot& snapshot, const QString& providerName);
    void checkUsageThreshold(const QString& providerName, const QString& name, std::optional<double> value,
                             std::optional<Date> resetAt, std::optional<std::int64_t> bankedResetCount,
                             bool sendsDiscordCriticalAlert, Date observedAt);
    void rearmUsageNotifications(const QString& prefix);
    void persistUsageNotificationKeys();
    void evaluateResetNotifications(const QString& providerName, const std::optional<UsageSnapshot>& previous,
                                    const UsageSnapshot& current);
    void checkResetNotification(const QString& providerName, const QString& windowName,
                                std::optional<Date> previousResetAt, std::optional<Date> currentResetAt,
                                UsageResetDetectionReason detectionReason, Date observedAt);

private:
    void storeBaselines();

    AppViewModel& m_viewModel;
};

} // namespace vantorel
