#pragma once

#include "sync/model/SyncUsageHistoryEntry.h"
#include "sync/model/UsageSyncSnapshot.h"

#include <QByteArray>
#include <QList>

namespace vantorel {

// The fingerprint of a snapshot's content: a SHA-256 digest over its sync encoding without the
// usage samples, their count, and a 16-byte digest of each sample's encoding in turn. A sample
// that was in the last fingerprint reuses its digest instead of being encoded again. Two
// snapshots get the same fingerprint exactly when SyncCoding encodes them to the same bytes;
// the digest itself is only ever compared with others of this class. A copy shares nothing it
// changes with the original, so each may be used on a thread of its own.
class MacSyncSnapshotFingerprint
{
public:
    // Throws JsonEncodeError when some part of the snapshot cannot be encoded; the samples
    // remembered stay as they were.
    QByteArray of(const UsageSyncSnapshot& snapshot);
    // For a snapshot whose fingerprint equals the last one taken: its samples encode as the last
    // ones did, so they are remembered in their place and one list serves both.
    void shareSamples(const UsageSyncSnapshot& kept);

private:
    // The samples of the last fingerprint (shared with the snapshot they came from), and their
    // digests in the same order, 16 bytes each: far less than the samples' texts.
    QList<SyncUsageHistoryEntry> m_samples;
    QByteArray m_sampleDigests;
};

} // namespace vantorel
