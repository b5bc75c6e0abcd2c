#pragma once

#include "core/model/MenuBarUsageWindow.h"

#include <optional>

namespace vantorel {

// One ring of the menu-bar gauge: its window and the remaining percent (absent without a value).
struct MenuBarGaugeValue
{
    MenuBarUsageWindow window = MenuBarUsageWindow::fiveHour;
    std::optional<double> remainingPercent;

    bool operator==(const MenuBarGaugeValue&) const = default;
};

} // namespace vantorel
