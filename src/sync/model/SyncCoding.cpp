#include "sync/model/SyncCoding.h"

namespace vantorel {

Json SyncCoding::parse(const QByteArray& bytes)
{
    if (bytes.size() > maximumInputBytes)
        throw UsageSyncError(UsageSyncError::Code::invalidData);
    return json::parseOrThrow(bytes);
}

} // namespace vantorel
