#pragma once

#include "core/foundation/CancelToken.h"
#include "sync/cloud/CloudRecord.h"
#include "sync/cloud/CloudSnapshotMetadata.h"
#include "sync/cloud/CloudSnapshotPayload.h"
#include "sync/model/UsageSyncSnapshot.h"

#include <QStringList>
#include <QUrl>

#include <optional>

namespace vantorel {

// The one cloud record that holds the Mac's latest snapshot, or a tombstone after a delete: its
// format, and the rules that turn a snapshot into it and back. Stateless; any thread. Failures
// throw CloudSyncError, or UsageSyncError where the snapshot's own rules fail.
struct CloudSnapshotCodec
{
    // The payload limit, inclusive; an empty payload is never valid.
    static constexpr qsizetype maximumPayloadBytes = 2'097'152;
    static constexpr qsizetype readChunkBytes = 65'536;

    static inline const QString recordType = QStringLiteral("UsageSnapshot");
    static inline const QString payloadKey = QStringLiteral("payload");

    // "latest-usage-snapshot" in the default zone.
    static const CloudRecordID& recordID();
    // schemaVersion, isDeleted, hostID, revision, digest, byteCount.
    static const QStringList& metadataKeys();

    // Validates and codes the snapshot.
    static CloudSnapshotPayload encode(const UsageSyncSnapshot& snapshot);
    // The live record's metadata, or nothing for a tombstone. Strict: every field must be of its
    // kind and canonical form.
    static std::optional<CloudSnapshotMetadata> metadata(const CloudRecord& record);
    // Reads and checks the record's payload file (a blocking read of at most the payload limit,
    // checking `token` between chunks). Nothing for a tombstone.
    static std::optional<UsageSyncSnapshot> decode(const CloudRecord& record, const CancelToken& token);
    // Checks size, digest, snapshot rules, and that host and revision match the metadata.
    static UsageSyncSnapshot decode(const QByteArray& data, const CloudSnapshotMetadata& metadata);

    // Whether `next` may replace what is stored: true to save, false when the same snapshot is
    // already stored; throws anotherMac for another host's snapshot and olderSnapshot for a newer
    // one or the same revision with other content.
    static bool shouldSave(const CloudSnapshotMetadata& next, const std::optional<CloudSnapshotMetadata>& stored);

    // The live record to save, written into a copy of the fetched record (or a new one).
    static CloudRecord record(const CloudSnapshotPayload& payload, const QUrl& assetURL,
                              const std::optional<CloudRecord>& replacing);
    // The tombstone to save in place of the fetched record: every field cleared, fetched or not,
    // except schemaVersion 1 and isDeleted 1.
    static CloudRecord tombstone(const CloudRecord& replacing);

    // SHA-256 in lower-case hexadecimal.
    static QString digest(const QByteArray& data);
};

} // namespace vantorel
