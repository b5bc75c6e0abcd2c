#pragma once

#include "sync/presentation/UsageConsumptionResult.h"
#include "sync/presentation/UsageConsumptionText.h"

#include <QString>

namespace vantorel {

// Japanese text of a consumption analysis.
struct UsageConsumptionPresentation
{
    static UsageConsumptionText text(const UsageConsumptionResult& result);
    // Whole minutes (halves rounded up), shown as "45分", "1時間30分", "2日" or "1日3時間";
    // negative and non-finite durations read as "0分".
    static QString duration(double seconds);
    // One decimal at most, halves away from zero, no trailing ".0": "42", "12.3", "0".
    static QString number(double value);
};

} // namespace vantorel
