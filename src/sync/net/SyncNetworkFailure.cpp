#include "sync/net/SyncNetworkFailure.h"

#include <cerrno>

namespace vantorel::SyncNetworkFailure {

UsageSyncError classify(const NetworkError& error, bool localNetworkDenied)
{
    using Code = UsageSyncError::Code;
    if (localNetworkDenied)
        return UsageSyncError(Code::localNetworkDenied);
    switch (error.kind) {
    case NetworkError::Kind::posix:
        return UsageSyncError(error.code == EACCES || error.code == EPERM ? Code::localNetworkDenied
                                                                          : Code::unavailable);
    case NetworkError::Kind::dnsServiceDiscovery:
        return UsageSyncError(error.code == NetworkError::dnsServicePolicyDenied ? Code::localNetworkDenied
                                                                                 : Code::unavailable);
    case NetworkError::Kind::tls:
        return UsageSyncError(Code::authenticationFailed);
    case NetworkError::Kind::other:
        break;
    }
    return UsageSyncError(Code::unavailable);
}

} // namespace vantorel::SyncNetworkFailure
