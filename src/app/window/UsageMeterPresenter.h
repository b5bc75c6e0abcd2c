#pragma once

#include "app/window/DashboardTint.h"
#include "core/foundation/Date.h"
#include "core/model/OverallCodexState.h"
#include "sync/presentation/ResetScheduleText.h"

#include <QString>
#include <QTimeZone>

#include <optional>

namespace vantorel {

// The look of a provider's status badge: "稼働: 正常" and its colours.
struct StatusBadgeLook
{
    QString text;
    // The dot and the capsule behind the badge.
    DashboardTint stateTint = DashboardTint::secondary;
    // Text drawn orange (a status error is present) instead of in the label colour.
    bool warning = false;

    bool operator==(const StatusBadgeLook&) const = default;
};

// The texts and colours of the dashboard's meters and status badge. A percent that is not a
// finite number reads as absent everywhere.
struct UsageMeterPresenter
{
    // "未確認", "一時停止中", "未取得" or "残り43%", first that applies.
    static QString compactLeftText(std::optional<double> percent, bool temporarilyUnavailable, bool formatUnconfirmed);
    static ResetScheduleText compactResetSchedule(std::optional<double> percent, std::optional<Date> resetAt,
                                                  bool temporarilyUnavailable, Date now,
                                                  const QTimeZone& zone = QTimeZone::systemTimeZone());

    // "未取得" or "残り 43%".
    static QString rowLeftText(std::optional<double> percent);
    // A countdown to `resetAt`, else "リセットまで " and the duration, else "リセット不明".
    static QString rowResetText(std::optional<Date> resetAt, std::optional<double> resetSeconds, Date now);

    // The filled share of the bar, 0...1.
    static double fillFraction(std::optional<double> percent);
    // secondary (absent), red (10 or less), orange (below 20), else ink; the unrounded value decides.
    static DashboardTint fillTint(std::optional<double> percent);
    // The API row's dot: the same bands with green for plenty.
    static DashboardTint dotTint(std::optional<double> percent);

    static StatusBadgeLook statusBadge(OverallCodexState state, const std::optional<QString>& errorMessage);
};

} // namespace vantorel
