#include "sync/net/SyncCredential.h"

#include "sync/model/SyncJsonReader.h"
#include "sync/model/SyncJsonWriter.h"
#include "sync/model/UsageSyncError.h"

#include <sys/random.h>

#include <cerrno>

namespace vantorel {

namespace {

bool fillFromSystem(char* buffer, qsizetype size)
{
    qsizetype filled = 0;
    while (filled < size) {
        const ssize_t got = ::getrandom(buffer + filled, static_cast<size_t>(size - filled), 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        filled += got;
    }
    return true;
}

} // namespace

SyncCredential SyncCredential::random()
{
    return random(fillFromSystem);
}

SyncCredential SyncCredential::random(const RandomSource& source)
{
    QByteArray key(keyBytes, '\0');
    if (!source(key.data(), key.size()))
        throw UsageSyncError(UsageSyncError::Code::keychainFailure);
    return {QUuid::createUuid(), key};
}

Json toSyncJson(const SyncCredential& credential)
{
    SyncJsonWriter out;
    out.set("id", credential.id);
    out.setBytes("key", credential.key);
    return out.take();
}

void fromSyncJson(const Json& json, SyncCredential& credential)
{
    const SyncJsonReader in(json, "SyncCredential");
    credential.id = in.uuid("id");
    credential.key = in.bytes("key");
}

} // namespace vantorel
