#include "SyncUiFixtures.h"

#include "app/syncui/MacSyncSnapshotFingerprint.h"
#include "sync/model/SyncCoding.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

using namespace vantorel;
using namespace vantorel::test;
using namespace Qt::Literals::StringLiterals;

// Taken one after another by one instance, so that remembered samples are reused, fingerprints
// match exactly when the whole encodings do.
TEST(MacSyncSnapshotFingerprint, EqualExactlyWhenTheEncodingsAre)
{
    UsageSyncSnapshot base;
    base.hostID = idNumber(1);
    base.hostName = u"Studio"_s;
    for (quint32 i = 0; i < 4; ++i)
        base.usageHistory.append({idNumber(10 + i), SyncProviderID::codex, syncNow - 600.0 * i, 50.0 + i, 80.0});
    const std::function<void(UsageSyncSnapshot&)> changes[] = {
        [](UsageSyncSnapshot&) {},
        [](UsageSyncSnapshot& s) { s.usageHistory[1].weeklyRemainingPercent = CompactPercent::from(81.0); }, // same id
        [](UsageSyncSnapshot& s) { s.usageHistory[2].recordedAt = s.usageHistory[2].recordedAt + 0.25; },
        [](UsageSyncSnapshot& s) { s.usageHistory.swapItemsAt(0, 3); },
        [](UsageSyncSnapshot& s) { s.usageHistory.removeLast(); },
        [](UsageSyncSnapshot& s) { s.usageHistory.clear(); },
        [](UsageSyncSnapshot& s) { s.hostName = u"Desk"_s; },
    };
    MacSyncSnapshotFingerprint fingerprint;
    QList<std::pair<QByteArray, QByteArray>> seen; // encoding, fingerprint
    for (int round = 0; round < 2; ++round) {
        for (const auto& change : changes) {
            UsageSyncSnapshot snapshot = base;
            change(snapshot);
            const std::pair taken{SyncCoding::encode(snapshot), fingerprint.of(snapshot)};
            for (const auto& earlier : seen)
                EXPECT_EQ(taken.first == earlier.first, taken.second == earlier.second) << seen.size();
            seen.append(taken);
        }
    }

    // A sample the encoder refuses fails the fingerprint and leaves the remembered ones usable.
    UsageSyncSnapshot refused = base;
    refused.usageHistory[0].fiveHourRemainingPercent = CompactPercent::from(std::numeric_limits<double>::quiet_NaN());
    EXPECT_THROW(fingerprint.of(refused), JsonEncodeError);
    EXPECT_EQ(fingerprint.of(base), seen.first().second);
}

// A store that keeps its previous snapshot on an equal fingerprint hands its samples over; what
// is remembered must still tell changes apart afterwards.
TEST(MacSyncSnapshotFingerprint, SharedSamplesOfTheKeptSnapshotStillTellChanges)
{
    UsageSyncSnapshot kept;
    for (quint32 i = 0; i < 3; ++i)
        kept.usageHistory.append({idNumber(20 + i), SyncProviderID::claude, syncNow - 600.0 * i, 33.3, 87.5});
    UsageSyncSnapshot candidate = kept;
    candidate.usageHistory[1].recordedAt = candidate.usageHistory[1].recordedAt + 0.25; // the same encoding
    UsageSyncSnapshot changed = kept;
    changed.usageHistory[1].weeklyRemainingPercent = CompactPercent::from(87.6);

    MacSyncSnapshotFingerprint fingerprint;
    const QByteArray first = fingerprint.of(kept);
    ASSERT_EQ(fingerprint.of(candidate), first);
    fingerprint.shareSamples(kept);
    EXPECT_EQ(fingerprint.of(candidate), first);
    EXPECT_NE(fingerprint.of(changed), first);
    EXPECT_EQ(fingerprint.of(kept), first);
}
