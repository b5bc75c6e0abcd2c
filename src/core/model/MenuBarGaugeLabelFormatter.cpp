#include "core/model/MenuBarGaugeLabelFormatter.h"

#include "core/model/UsageGaugeStyle.h"

#include <cmath>

namespace vantorel {

QString MenuBarGaugeLabelFormatter::adjacentPercentageText(const MenuBarGaugeValue& value)
{
    if (!value.remainingPercent || !std::isfinite(*value.remainingPercent)) {
        return QStringLiteral("--");
    }
    return QString::number(UsageGaugeStyle::wholeClampedPercent(*value.remainingPercent)) + u'%';
}

} // namespace vantorel
