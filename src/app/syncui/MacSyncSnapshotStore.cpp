#include "app/syncui/MacSyncSnapshotStore.h"

#include "app/syncui/MacSyncDisplayInput.h"
#include "app/syncui/MacSyncSnapshotAdapter.h"
#include "core/foundation/SettingsStore.h"
#include "sync/model/UsageSyncError.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>

namespace vantorel {

namespace {

// The last revision issued: an optional "+", then base-10 digits fitting 64 bits. Anything else,
// including a value stored with another type, counts as none.
std::uint64_t storedRevision(const SettingsStore& defaults)
{
    const std::optional<QString> stored = defaults.stringValue(MacSyncSnapshotStore::revisionKey());
    if (!stored) {
        return 0;
    }
    QStringView digits(*stored);
    if (digits.startsWith(u'+')) {
        digits = digits.mid(1);
    }
    if (digits.isEmpty() || !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; })) {
        return 0;
    }
    const QByteArray latin = digits.toLatin1();
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(latin.constData(), latin.constData() + latin.size(), value);
    if (error != std::errc() || end != latin.constData() + latin.size()) {
        return 0;
    }
    return value;
}

} // namespace

MacSyncSnapshotStore::MacSyncSnapshotStore(const QUuid& hostID, SettingsStore& defaults, QString hostName,
                                           QString sourceVersion, QString sourceBuild)
    : m_hostID(hostID)
    , m_defaults(defaults)
    , m_hostName(std::move(hostName))
    , m_sourceVersion(std::move(sourceVersion))
    , m_sourceBuild(std::move(sourceBuild))
{
}

UsageSyncSnapshot MacSyncSnapshotStore::update(const MacSyncDisplayInput& input, Date now)
{
    if (m_lastSnapshot && m_lastInput && now >= m_lastInputFrom && now < m_lastInputUntil && *m_lastInput == input) {
        return *m_lastSnapshot;
    }
    const Date unchangedUntil = MacSyncSnapshotAdapter::unchangedUntil(input, now);

    UsageSyncSnapshot snapshot;
    snapshot.hostID = m_hostID;
    snapshot.revision = 0;
    snapshot.generatedAt = Date::fromUnixSeconds(0);
    snapshot.hostName = m_hostName;
    snapshot.sourceVersion = m_sourceVersion;
    snapshot.sourceBuild = m_sourceBuild;
    snapshot.refreshIntervalSeconds = std::clamp(input.refreshIntervalSeconds, minimumRefreshIntervalSeconds,
                                                 UsageSyncSnapshot::maximumRefreshIntervalSeconds);
    snapshot.providers = {MacSyncSnapshotAdapter::provider(input.codex, SyncProviderID::codex, now),
                          MacSyncSnapshotAdapter::provider(input.claude, SyncProviderID::claude, now)};
    snapshot.usageHistory = MacSyncSnapshotAdapter::usageHistory(input.usageHistory, now);
    snapshot.notificationHistory = MacSyncSnapshotAdapter::notificationHistory(input.notificationHistory, now);

    // The fingerprint covers everything published except the revision and the build time.
    const QByteArray fingerprint = m_fingerprint.of(snapshot);
    if (m_lastFingerprint && *m_lastFingerprint == fingerprint && m_lastSnapshot) {
        // The candidate's samples would otherwise stay in the fingerprint beside the kept ones.
        m_fingerprint.shareSamples(*m_lastSnapshot);
        rememberInput(input, now, unchangedUntil);
        return *m_lastSnapshot;
    }

    const std::uint64_t base = storedRevision(m_defaults);
    if (base == std::numeric_limits<std::uint64_t>::max()) {
        throw UsageSyncError(UsageSyncError::Code::invalidData);
    }
    snapshot.revision = base + 1;
    snapshot.generatedAt = now.truncatedToWholeUnixSeconds();
    snapshot.validate(m_hostID);

    m_defaults.set(revisionKey(), QString::number(snapshot.revision));
    m_lastFingerprint = fingerprint;
    m_lastSnapshot = snapshot;
    rememberInput(input, now, unchangedUntil);
    return snapshot;
}

void MacSyncSnapshotStore::rememberInput(const MacSyncDisplayInput& input, Date from, Date until)
{
    m_lastInput = input;
    m_lastInputFrom = from;
    m_lastInputUntil = until;
}

} // namespace vantorel
