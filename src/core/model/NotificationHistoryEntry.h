#pragma once

#include "core/foundation/Date.h"
#include "core/foundation/Json.h"
#include "core/model/MonitoredProvider.h"
#include "core/model/NotificationDeliveryEvidence.h"
#include "core/model/NotificationHistoryCategory.h"

#include <QString>
#include <QUuid>

#include <optional>

namespace vantorel {

// One notification the system raised. Its id is also the generation of the Discord outbox item
// that delivers it.
struct NotificationHistoryEntry
{
    QUuid id;
    MonitoredProvider provider = MonitoredProvider::codex;
    NotificationHistoryCategory category = NotificationHistoryCategory::status;
    QString title;
    QString body;
    Date createdAt;
    // Absent: no delivery was recorded.
    std::optional<NotificationDeliveryEvidence> delivery;

    bool operator==(const NotificationHistoryEntry&) const = default;
};

Json toJson(const NotificationHistoryEntry& entry);
std::optional<NotificationHistoryEntry> notificationHistoryEntryFromJson(const Json& value);

} // namespace vantorel
