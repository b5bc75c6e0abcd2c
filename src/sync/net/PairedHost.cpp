#include "sync/net/PairedHost.h"

#include "sync/model/SyncJsonReader.h"
#include "sync/model/SyncJsonWriter.h"
#include "sync/model/SyncText.h"
#include "sync/net/SyncServiceName.h"

namespace vantorel {

QString PairedHost::serviceName() const
{
    return SyncServiceName::registered(hostID);
}

bool PairedHost::operator==(const PairedHost& other) const
{
    return hostID == other.hostID && SyncText::canonicallyEqual(hostName, other.hostName)
        && credential == other.credential && pairedAt == other.pairedAt;
}

Json toSyncJson(const PairedHost& host)
{
    SyncJsonWriter out;
    out.set("hostID", host.hostID);
    out.set("hostName", host.hostName);
    out.setJson("credential", toSyncJson(host.credential));
    out.set("pairedAt", host.pairedAt);
    return out.take();
}

void fromSyncJson(const Json& json, PairedHost& host)
{
    const SyncJsonReader in(json, "PairedHost");
    host.hostID = in.uuid("hostID");
    host.hostName = in.string("hostName");
    host.credential = in.record<SyncCredential>("credential");
    host.pairedAt = in.date("pairedAt");
}

} // namespace vantorel
