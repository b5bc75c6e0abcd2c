#pragma once

#include "core/foundation/Date.h"
#include "core/foundation/Json.h"
#include "sync/net/SyncCredential.h"

#include <QString>

namespace vantorel {

// What the Mac keeps of its paired companion; the same device key the companion holds.
struct RegisteredSyncDevice
{
    QString deviceName;
    SyncCredential credential;
    Date pairedAt;

    // Device names compare by canonical equivalence, times exactly.
    bool operator==(const RegisteredSyncDevice& other) const;
};

Json toSyncJson(const RegisteredSyncDevice& device);
void fromSyncJson(const Json& json, RegisteredSyncDevice& device);

} // namespace vantorel
