#include "app/syncui/MacSyncSnapshotFingerprint.h"

#include "core/model/PreviousRecordFinder.h"
#include "sync/model/SyncCoding.h"
#include "sync/model/SyncDigest.h"

#include <QByteArrayView>

namespace vantorel {

namespace {

// Each sample's digest is the first half of its SHA-256. The digests only tell whether a sample's
// encoding changed between two snapshots this process built from its own records: an accidental
// match of 128 bits is out of reach, and even a deliberately found collision (2^64 work) would
// only delay publishing one change.
constexpr qsizetype digestLength = 16;

} // namespace

QByteArray MacSyncSnapshotFingerprint::of(const UsageSyncSnapshot& snapshot)
{
    // The encoder writes each sample of the list on its own, so the document's bytes are the
    // same exactly when the rest of it and every sample in turn are. The count keeps the samples
    // apart from what comes before them, and the digests have a fixed length.
    UsageSyncSnapshot rest = snapshot;
    rest.usageHistory.clear();
    QByteArray parts = SyncCoding::encode(rest);
    parts += '\n' + QByteArray::number(snapshot.usageHistory.size()) + '\n';

    const QList<SyncUsageHistoryEntry>& samples = snapshot.usageHistory;
    QByteArray digests;
    digests.reserve(samples.size() * digestLength);
    PreviousRecordFinder<SyncUsageHistoryEntry> previous(m_samples, samples.isEmpty() ? nullptr : &samples.first());
    for (const SyncUsageHistoryEntry& sample : samples) {
        const qsizetype found = previous.find(sample);
        if (found >= 0) {
            digests += QByteArrayView(m_sampleDigests).sliced(found * digestLength, digestLength);
        } else {
            digests += QByteArrayView(SyncDigest::sha256(SyncCoding::encode(sample))).first(digestLength);
        }
    }
    parts += digests;
    m_samples = samples;
    m_sampleDigests = std::move(digests);
    return SyncDigest::sha256(parts);
}

void MacSyncSnapshotFingerprint::shareSamples(const UsageSyncSnapshot& kept)
{
    if (kept.usageHistory.size() == m_samples.size()) {
        m_samples = kept.usageHistory;
    }
}

} // namespace vantorel
