#pragma once

#include "core/foundation/Json.h"
#include "sync/net/SyncMessage.h"

#include <cstdint>

namespace vantorel {

// A message with the protocol version; one envelope is the payload of one frame.
struct SyncEnvelope
{
    static constexpr std::int64_t currentVersion = 1;

    // Any integer is read; the receiving channel judges it.
    std::int64_t version = currentVersion;
    SyncMessage message;
};

Json toSyncJson(const SyncEnvelope& envelope);
void fromSyncJson(const Json& json, SyncEnvelope& envelope);

} // namespace vantorel
