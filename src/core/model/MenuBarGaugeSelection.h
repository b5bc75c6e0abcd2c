#pragma once

#include "core/model/MenuBarGaugeValue.h"

#include <QList>

#include <optional>

namespace vantorel {

// Which windows of one provider get a ring.
struct MenuBarGaugeSelection
{
    // The five-hour value first (when shown and not temporarily unavailable), then the weekly one
    // (when shown). Percentages pass unchanged and may be absent, so a switched-on window without
    // a reading still gets an empty ring.
    static QList<MenuBarGaugeValue> values(std::optional<double> fiveHourRemainingPercent,
                                           std::optional<double> weeklyRemainingPercent, bool showsFiveHour,
                                           bool showsWeekly, bool fiveHourTemporarilyUnavailable);
};

} // namespace vantorel
