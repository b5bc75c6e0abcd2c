#include "core/model/MenuBarGaugeSelection.h"

namespace vantorel {

QList<MenuBarGaugeValue> MenuBarGaugeSelection::values(std::optional<double> fiveHourRemainingPercent,
                                                       std::optional<double> weeklyRemainingPercent,
                                                       bool showsFiveHour, bool showsWeekly,
                                                       bool fiveHourTemporarilyUnavailable)
{
    QList<MenuBarGaugeValue> values;
    if (showsFiveHour && !fiveHourTemporarilyUnavailable) {
        values.append({MenuBarUsageWindow::fiveHour, fiveHourRemainingPercent});
    }
    if (showsWeekly) {
        values.append({MenuBarUsageWindow::weekly, weeklyRemainingPercent});
    }
    return values;
}

} // namespace vantorel
