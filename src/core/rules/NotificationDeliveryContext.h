#pragma once

#include "core/model/CodexStatusSummary.h"
#include "core/model/MonitoredProvider.h"
#include "core/model/UsageResetBaseline.h"
#include "core/model/UsageSnapshot.h"

#include <QMap>
#include <QString>

namespace vantorel {

// The current readings a queued Discord message is checked against. A provider without a
// reading yet is absent from a map.
struct NotificationDeliveryContext
{
    QMap<MonitoredProvider, UsageSnapshot> usage;
    QMap<MonitoredProvider, CodexStatusSummary> statuses;
    // By window key ("Codex-five"...).
    QMap<QString, UsageResetBaseline> resetBaselines;

    bool operator==(const NotificationDeliveryContext&) const = default;
};

} // namespace vantorel
