#pragma once

#include "core/foundation/Date.h"
#include "sync/model/UsageSyncSnapshot.h"

#include <QString>
#include <QUuid>

namespace vantorel::test {

inline Date isoDate(const char* text)
{
    return *Date::fromIso8601(QString::fromLatin1(text));
}

// A distinct, stable identifier per number.
inline QUuid uuidNumber(quint32 n)
{
    return QUuid(n, 0x1000, 0x4000, 0x80, 0, 0, 0, 0, 0, 0, 0x01);
}

inline const QUuid hostA = QUuid::fromString(QStringLiteral("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"));
inline const QUuid hostB = QUuid::fromString(QStringLiteral("0B0B0B0B-1111-4222-8333-444455556666"));

// One snapshot that exercises every field, optional or not.
inline UsageSyncSnapshot fullSnapshot()
{
    UsageSyncSnapshot s;
    s.schemaVersion = UsageSyncSnapshot::currentSchemaVersion;
    s.hostID = hostA;
    s.revision = 18'446'744'073'709'551'615ULL;
    s.generatedAt = isoDate("2026-01-31T09:05:00Z");
    s.hostName = QStringLiteral("Studio/Mac");
    s.sourceVersion = QStringLiteral("1.2.0");
    s.sourceBuild = QStringLiteral("42");
    s.refreshIntervalSeconds = 300;
    SyncProviderSnapshot codex{
        SyncProviderID::codex,
        true,
        QStringLiteral("Pro"),
        isoDate("2026-01-31T09:04:00Z"),
        QStringLiteral("正常"),
        std::nullopt,
        {SyncUsageWindow{SyncWindowKind::fiveHour, SyncValueState::available, 42.5, isoDate("2026-01-31T12:00:00Z")},
         SyncUsageWindow{SyncWindowKind::weekly, SyncValueState::notFetched, std::nullopt, std::nullopt}},
        2,
        isoDate("2026-02-07T00:00:00Z"),
        QStringLiteral("120"),
    };
    SyncProviderSnapshot claude;
    claude.id = SyncProviderID::claude;
    claude.enabled = false;
    claude.statusText = QStringLiteral("MacでOFF");
    s.providers = {codex, claude};
    s.usageHistory = {SyncUsageHistoryEntry{uuidNumber(1), SyncProviderID::codex, isoDate("2026-01-31T09:00:00Z"), 50.0,
                                            std::nullopt}};
    s.notificationHistory = {SyncNotificationEntry{uuidNumber(2), SyncProviderID::claude, QStringLiteral("threshold"),
                                                   QStringLiteral("Claude 残り20%"),
                                                   QStringLiteral("5時間枠の残りが20%です。\n\"確認\"してください。"),
                                                   isoDate("2026-01-31T08:00:00Z")}};
    return s;
}

// A valid snapshot with empty lists.
inline UsageSyncSnapshot emptySnapshot()
{
    UsageSyncSnapshot s;
    s.hostID = hostA;
    s.revision = 7;
    s.generatedAt = isoDate("2026-01-31T09:05:00Z");
    s.hostName = QStringLiteral("Mac");
    s.sourceVersion = QStringLiteral("1.0");
    s.sourceBuild = QStringLiteral("1");
    s.refreshIntervalSeconds = 60;
    return s;
}

} // namespace vantorel::test
