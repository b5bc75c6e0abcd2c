#pragma once

#include "core/foundation/Date.h"

#include <QString>

namespace vantorel {

// One local notification to schedule before a window's reset; `id` is the notification
// identifier and stays the same for the same host, provider and window.
struct ScheduledResetReminder
{
    QString id;
    Date date;
    QString title;
    QString body;

    bool operator==(const ScheduledResetReminder&) const = default;
};

} // namespace vantorel
