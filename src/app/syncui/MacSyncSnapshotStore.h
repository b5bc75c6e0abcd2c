#pragma once

#include "app/syncui/MacSyncDisplayInput.h"
#include "app/syncui/MacSyncSnapshotFingerprint.h"
#include "core/foundation/Date.h"
#include "sync/model/UsageSyncSnapshot.h"

#include <QByteArray>
#include <QString>
#include <QUuid>

#include <exception>
#include <optional>

namespace vantorel {

class SettingsStore;

// Builds the snapshot the Mac publishes and numbers it: content that differs from the last
// snapshot returned gets the next revision of a counter kept in the settings store, unchanged
// content gets the last snapshot back untouched. An input equal to the last one built, at a time
// when none of its dated records crosses a rule's boundary, is known to give the same content and
// costs only the comparison; anything else is encoded and fingerprinted. The store itself is used
// from one thread; the building, encoding and fingerprinting can run on another (builder()).
class MacSyncSnapshotStore
{
public:
    static QString revisionKey() { return QStringLiteral("Vantorel.sync.revision"); }
    static constexpr std::int64_t minimumRefreshIntervalSeconds = 60;

    // One input's content as built and fingerprinted, not yet numbered.
    struct Candidate
    {
        MacSyncDisplayInput input;
        Date now;
        // Until when the input keeps giving this content (MacSyncSnapshotAdapter::unchangedUntil).
        Date unchangedUntil;
        // Numbered 0, dated `now` to the whole second.
        UsageSyncSnapshot snapshot;
        QByteArray fingerprint;
        // The sample digests after this build, for the store to keep.
        MacSyncSnapshotFingerprint fingerprints;
        // Whether the snapshot was checked: not when its content was the store's last. Why it
        // fails the check; thrown only if its content is new.
        bool checked = false;
        std::exception_ptr invalid;
    };

    // What a build needs of the store, copied: it shares nothing the store goes on changing, so
    // it may run on any thread while the store is used on its own.
    class Builder
    {
    public:
        // Throws JsonEncodeError when the candidate cannot be encoded.
        Candidate build(MacSyncDisplayInput input, Date now) &&;

    private:
        friend class MacSyncSnapshotStore;
        QUuid m_hostID;
        QString m_hostName;
        QString m_sourceVersion;
        QString m_sourceBuild;
        MacSyncSnapshotFingerprint m_fingerprints;
        std::optional<QByteArray> m_lastFingerprint;
    };

    // `defaults` must outlive the store. The host name is not sanitised here: one that fails the
    // snapshot's check makes every update throw.
    MacSyncSnapshotStore(const QUuid& hostID, SettingsStore& defaults, QString hostName, QString sourceVersion,
                         QString sourceBuild);

    const QUuid& hostID() const { return m_hostID; }

    // The snapshot of `input` at `now`. Throws JsonEncodeError when the candidate cannot be
    // encoded, UsageSyncError(invalidData) when the counter is at its maximum, and the
    // validation's UsageSyncError; a failure changes nothing, the stored counter included.
    UsageSyncSnapshot update(const MacSyncDisplayInput& input, Date now);

    // update() in three steps, for a build elsewhere: the last snapshot when `input` at `now` is
    // known to give its content again (nothing to build); otherwise a builder to build the
    // candidate with, and commit() to number it. A candidate from any earlier builder may be
    // committed; commit() throws like update().
    std::optional<UsageSyncSnapshot> unchanged(const MacSyncDisplayInput& input, Date now) const;
    Builder builder() const;
    UsageSyncSnapshot commit(Candidate candidate);

private:
    void rememberInput(MacSyncDisplayInput input, Date from, Date until);

    QUuid m_hostID;
    SettingsStore& m_defaults;
    QString m_hostName;
    QString m_sourceVersion;
    QString m_sourceBuild;
    MacSyncSnapshotFingerprint m_fingerprint;
    std::optional<QByteArray> m_lastFingerprint;
    std::optional<UsageSyncSnapshot> m_lastSnapshot;
    // The input of the last content fingerprinted, and the dates between which it stays the same.
    std::optional<MacSyncDisplayInput> m_lastInput;
    Date m_lastInputFrom;
    Date m_lastInputUntil;
};

} // namespace vantorel
