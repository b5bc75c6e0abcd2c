#pragma once

#include "app/platform/AppNotificationAuthorizationState.h"
#include "core/model/AppSettings.h"
#include "core/model/OverallCodexState.h"
#include "core/model/RateLimitSnapshot.h"
#include "core/model/UsageSnapshot.h"

#include <QStringList>

#include <optional>

namespace vantorel {

class AppViewModel;

// What the dashboard reads of the view model, copied once per change, so that its presenters
// are pure functions of a plain value.
struct DashboardState
{
    AppSettings settings;
    bool hasEnabledProvider = false;
    QString activeProviderTitle;
    QStringList planBadgeTexts;
    std::optional<UsageSnapshot> codexSnapshot;
    std::optional<UsageSnapshot> claudeSnapshot;
    bool codexFiveHourWindowIsTemporarilyUnavailable = false;
    OverallCodexState codexStatus = OverallCodexState::normal;
    OverallCodexState claudeStatus = OverallCodexState::normal;
    OverallCodexState combinedOverallStatus = OverallCodexState::normal;
    std::optional<QString> firstActiveIncidentName;
    std::optional<QString> lastErrorMessage;
    std::optional<QString> claudeStatusErrorMessage;
    std::optional<QString> codexUsageDisplayErrorMessage;
    std::optional<QString> claudeUsageDisplayErrorMessage;
    QStringList activeErrorMessages;
    std::optional<RateLimitSnapshot> apiRateSnapshot;
    std::optional<QString> apiRateErrorMessage;
    bool apiKeyIsSaved = false;
    AppNotificationAuthorizationState notificationAuthorizationState = AppNotificationAuthorizationState::checking;
    bool isRefreshingAny = false;
    std::optional<QString> lastCopiedSummaryMessage;
    bool autoRefreshIsEnabled = false;
    std::optional<Date> nextAutoRefreshAt;
    std::optional<Date> lastRefreshCompletedAt;

    static DashboardState capture(const AppViewModel& viewModel);

    bool operator==(const DashboardState&) const = default;
};

} // namespace vantorel
