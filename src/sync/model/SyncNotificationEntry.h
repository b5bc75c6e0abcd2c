#pragma once

#include "core/foundation/Date.h"
#include "core/foundation/JsonFwd.h"
#include "sync/model/SyncProviderID.h"

#include <QString>
#include <QUuid>

namespace vantorel {

// One notification recorded on the Mac; its identity is `id`.
struct SyncNotificationEntry
{
    QUuid id;
    SyncProviderID provider = SyncProviderID::codex;
    // A short category word chosen by the publisher.
    QString category;
    QString title;
    QString body;
    Date createdAt;

    // Field by field; texts compare by canonical equivalence.
    bool operator==(const SyncNotificationEntry& other) const;
};

Json toSyncJson(const SyncNotificationEntry& entry);
void fromSyncJson(const Json& json, SyncNotificationEntry& entry);

} // namespace vantorel
