#pragma once

#include "core/foundation/Json.h"
#include "sync/model/UsageSyncError.h"
#include "sync/model/UsageSyncSnapshot.h"
#include "sync/net/PairedHost.h"

#include <QString>

#include <variant>

namespace vantorel {

// The five messages of the local-network sync protocol. Each connection carries one request
// from the companion (readSnapshot or pair) and one answer from the Mac.
struct SyncMessage
{
    struct ReadSnapshot
    {
    };
    struct Snapshot
    {
        UsageSyncSnapshot snapshot;
    };
    struct Pair
    {
        QString deviceName;
    };
    struct Paired
    {
        PairedHost host;
    };
    struct Failure
    {
        UsageSyncError error;
    };

    using Payload = std::variant<ReadSnapshot, Snapshot, Pair, Paired, Failure>;

    Payload payload;

    static SyncMessage readSnapshot() { return {ReadSnapshot{}}; }
    static SyncMessage snapshot(UsageSyncSnapshot value) { return {Snapshot{std::move(value)}}; }
    static SyncMessage pair(QString deviceName) { return {Pair{std::move(deviceName)}}; }
    static SyncMessage paired(PairedHost host) { return {Paired{std::move(host)}}; }
    static SyncMessage failure(UsageSyncError error) { return {Failure{error}}; }

    template <typename Case>
    const Case* as() const
    {
        return std::get_if<Case>(&payload);
    }
};

// {"<case>":{...}}: payloads under "_0", the device name under "deviceName". Reading ignores
// keys that name no case and needs exactly one that does, holding an object.
Json toSyncJson(const SyncMessage& message);
void fromSyncJson(const Json& json, SyncMessage& message);

} // namespace vantorel
