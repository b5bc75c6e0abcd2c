#pragma once

#include "core/model/UsageGaugeColorBand.h"

#include <QString>

#include <optional>

namespace vantorel {

// The colour bands of a gauge and the token that stands for a value in image cache keys.
struct UsageGaugeStyle
{
    // "nil-unavailable" without a value; otherwise the whole clamped percentage, "-" and the band
    // word of the clamped value ("37-healthy", "8-critical").
    static QString cacheToken(std::optional<double> remainingPercent);
    // unavailable without a value, critical at 10 or less, warning under 20, else healthy; the
    // raw value is compared.
    static UsageGaugeColorBand colorBand(std::optional<double> remainingPercent);

    // The value clamped to 0...100 and rounded half away from zero.
    static int wholeClampedPercent(double remainingPercent);
};

} // namespace vantorel
