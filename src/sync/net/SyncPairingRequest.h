#pragma once

#include "core/foundation/Date.h"
#include "sync/model/SyncText.h"

#include <QString>
#include <QUuid>

namespace vantorel {

// A pairing request waiting for the user's decision on the Mac; approval and rejection name it
// by `id`. Never coded to JSON.
struct SyncPairingRequest
{
    QUuid id;
    // As the server cleaned it.
    QString deviceName;
    // The expiry of the invitation it answers.
    Date expiresAt;

    bool operator==(const SyncPairingRequest& other) const
    {
        return id == other.id && SyncText::canonicallyEqual(deviceName, other.deviceName)
            && expiresAt == other.expiresAt;
    }
};

} // namespace vantorel
