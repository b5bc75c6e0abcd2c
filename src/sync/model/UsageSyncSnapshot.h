#pragma once

#include "core/foundation/Date.h"
#include "sync/model/SyncNotificationEntry.h"
#include "sync/model/SyncProviderSnapshot.h"
#include "sync/model/SyncUsageHistoryEntry.h"

#include <QList>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <optional>

namespace vantorel {

// The sanitized usage document the Mac publishes for its paired companion, stamped with the
// publishing host and a revision that rises whenever the content changes.
struct UsageSyncSnapshot
{
    static constexpr std::int64_t currentSchemaVersion = 1;

    // Limits every snapshot must keep (see validated()).
    static constexpr qsizetype maximumProviders = 2;
    static constexpr qsizetype maximumUsageHistoryEntries = 2'500;
    static constexpr qsizetype maximumNotificationEntries = 120;
    static constexpr qsizetype maximumHostNameCharacters = 128;
    static constexpr qsizetype maximumSourceVersionCharacters = 64;
    static constexpr std::int64_t maximumRefreshIntervalSeconds = 86'400;

    std::int64_t schemaVersion = currentSchemaVersion;
    QUuid hostID;
    std::uint64_t revision = 0;
    Date generatedAt;
    QString hostName;
    QString sourceVersion;
    QString sourceBuild;
    std::int64_t refreshIntervalSeconds = 0;
    QList<SyncProviderSnapshot> providers;
    QList<SyncUsageHistoryEntry> usageHistory;
    QList<SyncNotificationEntry> notificationHistory;

    // Field by field, lists in order; texts compare by canonical equivalence, dates exactly.
    bool operator==(const UsageSyncSnapshot& other) const;

    // The snapshot itself when it keeps every limit; otherwise throws UsageSyncError
    // (unsupportedVersion, wrongHost, or invalidData without saying which limit failed).
    // With no expected host the host identity is not compared.
    UsageSyncSnapshot validated(const std::optional<QUuid>& expectedHostID = std::nullopt) const&;
    UsageSyncSnapshot validated(const std::optional<QUuid>& expectedHostID = std::nullopt) &&;

    // The snapshot itself when it may replace `previous`: it must be valid for the previous host,
    // and carry a higher revision, or the same revision with equal content. Otherwise throws
    // UsageSyncError (a validation failure, or olderSnapshot).
    UsageSyncSnapshot accepted(const std::optional<UsageSyncSnapshot>& previous) const&;
    UsageSyncSnapshot accepted(const std::optional<UsageSyncSnapshot>& previous) &&;

    // Throws like validated() without copying the snapshot.
    void validate(const std::optional<QUuid>& expectedHostID = std::nullopt) const;
    void checkAccepted(const std::optional<UsageSyncSnapshot>& previous) const;
    // checkAccepted() without the validation, for a snapshot already validated for the previous
    // one's host: throws olderSnapshot unless its revision may follow.
    void checkFollows(const std::optional<UsageSyncSnapshot>& previous) const;
};

Json toSyncJson(const UsageSyncSnapshot& snapshot);
void fromSyncJson(const Json& json, UsageSyncSnapshot& snapshot);

} // namespace vantorel
