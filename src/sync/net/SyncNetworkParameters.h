#pragma once

#include "sync/net/PskParameters.h"
#include "sync/net/SyncCredential.h"

#include <QString>

namespace vantorel {

namespace SyncNetworkParameters {

// The DNS-SD service type both ends share.
inline QString serviceType()
{
    return QStringLiteral("_vantorel._tcp");
}
// The domain the companion browses.
inline QString browseDomain()
{
    return QStringLiteral("local.");
}

// The TLS-PSK set-up of a credential: its key, and its id's upper-case text as identity.
// Throws UsageSyncError(invalidData) unless the key is exactly 32 bytes.
PskParameters make(const SyncCredential& credential);

} // namespace SyncNetworkParameters
} // namespace vantorel
