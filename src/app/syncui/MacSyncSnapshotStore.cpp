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
    if (std::optional<UsageSyncSnapshot> same = unchanged(input, now)) {
        return *std::move(same);
    }
    return commit(builder().build(input, now));
}

std::optional<UsageSyncSnapshot> MacSyncSnapshotStore::unchanged(const MacSyncDisplayInput& input, Date now) const
{
    if (m_lastSnapshot && m_lastInput && now >= m_lastInputFrom && now < m_lastInputUntil && *m_lastInput == input) {
        return m_lastSnapshot;
    }
    return std::nullopt;
}

MacSyncSnapshotStore::Builder MacSyncSnapshotStore::builder() const
{
    Builder builder;
    builder.m_hostID = m_hostID;
    builder.m_hostName = m_hostName;
    builder.m_sourceVersion = m_sourceVersion;
    builder.m_sourceBuild = m_sourceBuild;
    builder.m_fingerprints = m_fingerprint;
    builder.m_lastFingerprint = m_lastFingerprint;
    return builder;
}

MacSyncSnapshotStore::Candidate MacSyncSnapshotStore::Builder::build(MacSyncDisplayInput input, Date now) &&
{
    Candidate candidate;
    candidate.unchangedUntil = MacSyncSnapshotAdapter::unchangedUntil(input, now);

    UsageSyncSnapshot& snapshot = candidate.snapshot;
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
    candidate.fingerprint = m_fingerprints.of(snapshot);
    snapshot.generatedAt = now.truncatedToWholeUnixSeconds();
    // Content the store already published was checked then; the check ignores the revision.
    if (candidate.fingerprint != m_lastFingerprint) {
        candidate.checked = true;
        try {
            snapshot.validate(m_hostID);
        } catch (...) {
            candidate.invalid = std::current_exception();
        }
    }

    candidate.input = std::move(input);
    candidate.now = now;
    candidate.fingerprints = std::move(m_fingerprints);
    return candidate;
}

UsageSyncSnapshot MacSyncSnapshotStore::commit(Candidate candidate)
{
    m_fingerprint = std::move(candidate.fingerprints);
    if (m_lastFingerprint && *m_lastFingerprint == candidate.fingerprint && m_lastSnapshot) {
        // The candidate's samples would otherwise stay in the fingerprint beside the kept ones.
        m_fingerprint.shareSamples(*m_lastSnapshot);
        rememberInput(std::move(candidate.input), candidate.now, candidate.unchangedUntil);
        return *m_lastSnapshot;
    }

    const std::uint64_t base = storedRevision(m_defaults);
    if (base == std::numeric_limits<std::uint64_t>::max()) {
        throw UsageSyncError(UsageSyncError::Code::invalidData);
    }
    UsageSyncSnapshot& snapshot = candidate.snapshot;
    if (candidate.invalid) {
        std::rethrow_exception(candidate.invalid);
    }
    // Built against content this store has since moved on from.
    if (!candidate.checked) {
        snapshot.validate(m_hostID);
    }
    snapshot.revision = base + 1;

    m_defaults.set(revisionKey(), QString::number(snapshot.revision));
    m_lastFingerprint = std::move(candidate.fingerprint);
    m_lastSnapshot = snapshot;
    rememberInput(std::move(candidate.input), candidate.now, candidate.unchangedUntil);
    return snapshot;
}

void MacSyncSnapshotStore::rememberInput(MacSyncDisplayInput input, Date from, Date until)
{
    m_lastInput = std::move(input);
    m_lastInputFrom = from;
    m_lastInputUntil = until;
}

} // namespace vantorel
