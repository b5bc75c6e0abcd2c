#include "sync/net/SyncNetworkParameters.h"

#include "core/foundation/UuidText.h"
#include "sync/model/UsageSyncError.h"

namespace vantorel::SyncNetworkParameters {

PskParameters make(const SyncCredential& credential)
{
    if (credential.key.size() != PskParameters::keyBytes)
        throw UsageSyncError(UsageSyncError::Code::invalidData);
    return {uuidText(credential.id).toUtf8(), credential.key};
}

} // namespace vantorel::SyncNetworkParameters
