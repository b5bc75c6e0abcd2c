#pragma once

#include "app/window/DashboardState.h"
#include "app/window/DashboardTint.h"

#include <QList>
#include <QTimeZone>

namespace vantorel {

// The banner of the dashboard: the most important thing about the monitoring right now.
struct DashboardInsight
{
    QString systemName;
    QString title;
    QString message;
    DashboardTint tint = DashboardTint::secondary;

    bool operator==(const DashboardInsight&) const = default;
};

// One remaining-percentage reading as the dashboard compares them.
struct DashboardUsageValue
{
    QString provider;
    QString label;
    double value = 0;
    QString source;
    Date updatedAt;

    bool operator==(const DashboardUsageValue&) const = default;
};

// A readiness value with the colour of its dot.
struct DashboardHealth
{
    QString value;
    DashboardTint tint = DashboardTint::secondary;

    bool operator==(const DashboardHealth&) const = default;
};

// The status line under the credits: the first error (orange) or else the first open incident.
struct DashboardStatusLine
{
    QString text;
    bool isError = false;

    bool operator==(const DashboardStatusLine&) const = default;
};

// The derived texts and choices of the dashboard page, pure functions of its captured state.
// Times are written in `zone` (the desktop's by default).
struct DashboardPresenter
{
    // "貼り付け", "手入力", "Codex CLI 自動取得", "Claude Code 自動取得".
    static QString sourceLabel(UsageSource source);

    // The five-hour then the weekly reading of one snapshot; a missing or non-finite percent
    // gives no value.
    static QList<DashboardUsageValue> values(const QString& provider, const UsageSnapshot& snapshot);
    // Codex, Claude, then the API request and token values (only while Codex is on).
    static QList<DashboardUsageValue> usageValues(const DashboardState& state);
    // The smallest value; the earliest wins a tie.
    static std::optional<DashboardUsageValue> lowestUsage(const DashboardState& state);
    static QString usageWarningMessage(const DashboardState& state, const DashboardUsageValue& reading,
                                       const QTimeZone& zone = QTimeZone::systemTimeZone());
    static DashboardInsight primaryInsight(const DashboardState& state,
                                           const QTimeZone& zone = QTimeZone::systemTimeZone());

    // "AI稼働状況", "Codex稼働状況", ...; "AI監視" with every provider off.
    static QString title(const DashboardState& state);
    static QString headerSubtitle(const DashboardState& state);
    static DashboardHealth codexHealth(const DashboardState& state);
    static DashboardHealth claudeHealth(const DashboardState& state);
    static DashboardHealth apiKeyHealth(const DashboardState& state);
    static DashboardHealth notificationHealth(const DashboardState& state);

    static bool showsApiRateCard(const DashboardState& state);
    // The rate snapshot's model, else the model the settings probe.
    static QString apiModelText(const DashboardState& state);

    static QString bankedResetCountText(const DashboardState& state);
    // True when the displayed Codex reading has at least one banked reset available.
    static bool hasBankedResetAvailable(const DashboardState& state);
    // "確認できた券の期限 " and the date of the next expiry after `now`; none without one.
    static std::optional<QString> bankedResetExpiryText(const DashboardState& state, Date now,
                                                        const QTimeZone& zone = QTimeZone::systemTimeZone());
    static std::optional<QString> activeCreditsText(const DashboardState& state);
    static std::optional<DashboardStatusLine> statusLine(const DashboardState& state);

    // "自動取得中" or "自動取得オフ".
    static QString autoRefreshText(const DashboardState& state);
    // "次回 9:05 / 最終 8:55".
    static QString refreshTimesText(const DashboardState& state, const QTimeZone& zone = QTimeZone::systemTimeZone());
};

} // namespace vantorel
