#pragma once

#include "core/foundation/Date.h"
#include "core/foundation/Json.h"
#include "sync/net/SyncCredential.h"

#include <QString>
#include <QUuid>

namespace vantorel {

// What the companion keeps of the Mac it paired with: the long-term device key issued then.
struct PairedHost
{
    QUuid hostID;
    QString hostName;
    SyncCredential credential;
    Date pairedAt;

    // The DNS-SD name of the Mac's ordinary listener: the host id in lower case.
    QString serviceName() const;

    // Host names compare by canonical equivalence, times exactly.
    bool operator==(const PairedHost& other) const;
};

Json toSyncJson(const PairedHost& host);
void fromSyncJson(const Json& json, PairedHost& host);

} // namespace vantorel
