#pragma once

#include "sync/model/SyncUsageHistoryEntry.h"
#include "sync/model/UsageSyncSnapshot.h"

#include <QByteArray>
#include <QHash>
#include <QUuid>

#include <utility>

namespace vantorel {

// The fingerprint of a snapshot's content: a SHA-256 digest over its sync encoding, taken in
// parts so that a usage sample encoded for the last fingerprint is not encoded again. Two
// snapshots get the same fingerprint exactly when SyncCoding encodes them to the same bytes;
// the digest itself is only ever compared with others of this class. GUI thread only.
class MacSyncSnapshotFingerprint
{
public:
    // Throws JsonEncodeError when some part of the snapshot cannot be encoded; the samples
    // remembered stay as they were.
    QByteArray of(const UsageSyncSnapshot& snapshot);

private:
    // The samples of the last fingerprint by id, each with its encoding.
    QHash<QUuid, std::pair<SyncUsageHistoryEntry, QByteArray>> m_encodedSamples;
};

} // namespace vantorel
