#include "sync/net/RegisteredSyncDevice.h"

#include "sync/model/SyncJsonReader.h"
#include "sync/model/SyncJsonWriter.h"
#include "sync/model/SyncText.h"

namespace vantorel {

bool RegisteredSyncDevice::operator==(const RegisteredSyncDevice& other) const
{
    return SyncText::canonicallyEqual(deviceName, other.deviceName) && credential == other.credential
        && pairedAt == other.pairedAt;
}

Json toSyncJson(const RegisteredSyncDevice& device)
{
    SyncJsonWriter out;
    out.set("deviceName", device.deviceName);
    out.setJson("credential", toSyncJson(device.credential));
    out.set("pairedAt", device.pairedAt);
    return out.take();
}

void fromSyncJson(const Json& json, RegisteredSyncDevice& device)
{
    const SyncJsonReader in(json, "RegisteredSyncDevice");
    device.deviceName = in.string("deviceName");
    device.credential = in.record<SyncCredential>("credential");
    device.pairedAt = in.date("pairedAt");
}

} // namespace vantorel
