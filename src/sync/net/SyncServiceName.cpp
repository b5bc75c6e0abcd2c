#include "sync/net/SyncServiceName.h"

#include "core/foundation/UuidText.h"

namespace vantorel::SyncServiceName {

QString registered(const QUuid& hostID)
{
    return uuidText(hostID).toLower();
}

QString pairing(const QUuid& hostID)
{
    return registered(hostID) + QStringLiteral("-pair");
}

} // namespace vantorel::SyncServiceName
