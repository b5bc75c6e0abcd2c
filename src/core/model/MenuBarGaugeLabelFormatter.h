#pragma once

#include "core/model/MenuBarGaugeValue.h"

#include <QString>

namespace vantorel {

struct MenuBarGaugeLabelFormatter
{
    // "--" without a finite percentage; otherwise the percentage clamped to 0...100, rounded to a
    // whole number, with "%" ("37%" for 37.2).
    static QString adjacentPercentageText(const MenuBarGaugeValue& value);
};

} // namespace vantorel
