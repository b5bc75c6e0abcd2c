#pragma once

#include "core/foundation/Date.h"

#include <QString>

#include <optional>

namespace vantorel {

// Limits how often a reset of the same provider window is announced.
struct ResetNotificationThrottle
{
    // A weekly window is announced at most every six hours, any other at most hourly.
    static constexpr double weeklyCooldown = 21'600;
    static constexpr double defaultCooldown = 3'600;

    // The cooldown for a window name ("週間枠" is the weekly one).
    static double cooldown(const QString& windowName);

    // True when the cooldown is not positive, nothing was sent yet, or at least the cooldown has
    // passed since the last send; a last send in the future holds the gate shut.
    static bool canSend(std::optional<Date> lastSentAt, Date now, double cooldown);
};

} // namespace vantorel
