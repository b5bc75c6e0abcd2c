#pragma once

#include "core/foundation/Date.h"
#include "sync/model/SyncProviderID.h"

#include <QString>
#include <QUuid>

#include <nlohmann/json_fwd.hpp>

namespace vantorel {

using Json = nlohmann::json;

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
