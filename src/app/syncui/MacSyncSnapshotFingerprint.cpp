#include "app/syncui/MacSyncSnapshotFingerprint.h"

#include "sync/model/SyncCoding.h"
#include "sync/model/SyncDigest.h"

namespace vantorel {

QByteArray MacSyncSnapshotFingerprint::of(const UsageSyncSnapshot& snapshot)
{
    // The encoder writes each sample of the list on its own, so the document's bytes are the
    // same exactly when the rest of it and every sample in turn are. The count keeps the samples
    // apart from what follows them.
    UsageSyncSnapshot rest = snapshot;
    rest.usageHistory.clear();
    QByteArray parts = SyncCoding::encode(rest);
    parts += '\n' + QByteArray::number(snapshot.usageHistory.size()) + '\n';

    QHash<QUuid, std::pair<SyncUsageHistoryEntry, QByteArray>> encoded;
    encoded.reserve(snapshot.usageHistory.size());
    for (const SyncUsageHistoryEntry& sample : snapshot.usageHistory) {
        const auto known = m_encodedSamples.constFind(sample.id);
        QByteArray bytes = known != m_encodedSamples.cend() && known->first == sample ? known->second
                                                                                     : SyncCoding::encode(sample);
        parts += bytes;
        parts += '\n';
        encoded.insert(sample.id, {sample, std::move(bytes)});
    }
    m_encodedSamples = std::move(encoded);
    return SyncDigest::sha256(parts);
}

} // namespace vantorel
