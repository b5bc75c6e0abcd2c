#pragma once

#include "core/foundation/Json.h"

#include <QByteArray>
#include <QUuid>

#include <functional>

namespace vantorel {

// A pre-shared key and its identity; the identity's upper-case UUID text is what the TLS
// handshake names.
struct SyncCredential
{
    static constexpr qsizetype keyBytes = 32;

    // Fills the buffer with secure random bytes; false when the source failed.
    using RandomSource = std::function<bool(char* buffer, qsizetype size)>;

    QUuid id;
    QByteArray key;

    // A fresh random identity with 32 bytes from the system's secure generator. Throws
    // UsageSyncError(keychainFailure) when the generator fails.
    static SyncCredential random();
    static SyncCredential random(const RandomSource& source);

    bool operator==(const SyncCredential&) const = default;
};

Json toSyncJson(const SyncCredential& credential);
void fromSyncJson(const Json& json, SyncCredential& credential);

} // namespace vantorel
