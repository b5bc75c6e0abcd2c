#include "sync/net/SyncWire.h"

#include "sync/model/UsageSyncError.h"

#include <QtEndian>

namespace vantorel::SyncWire {

QByteArray frame(const QByteArray& payload)
{
    if (payload.isEmpty() || static_cast<std::uint64_t>(payload.size()) > maximumPayloadBytes)
        throw UsageSyncError(UsageSyncError::Code::invalidData);
    QByteArray result(headerBytes + payload.size(), Qt::Uninitialized);
    qToBigEndian(static_cast<std::uint32_t>(payload.size()), result.data());
    std::copy(payload.cbegin(), payload.cend(), result.begin() + headerBytes);
    return result;
}

} // namespace vantorel::SyncWire
