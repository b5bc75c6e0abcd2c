#pragma once

#include "sync/model/UsageSyncSnapshot.h"

namespace vantorel {

// A snapshot at the limits every snapshot must keep: both providers, 2,500 usage samples and
// 120 notifications with bodies of a realistic length.
inline UsageSyncSnapshot snapshotAtLimits()
{
    const Date base = *Date::fromIso8601(u"2026-01-31T09:05:00Z");
    UsageSyncSnapshot s;
    s.hostID = QUuid::createUuid();
    s.revision = 1'234;
    s.generatedAt = base;
    s.hostName = QStringLiteral("Kenの MacBook Pro");
    s.sourceVersion = QStringLiteral("1.4.2");
    s.sourceBuild = QStringLiteral("318");
    s.refreshIntervalSeconds = 300;
    for (const auto id : syncProviderIDAllCases) {
        SyncProviderSnapshot p;
        p.id = id;
        p.enabled = true;
        p.planName = QStringLiteral("Pro");
        p.updatedAt = base - 30.0;
        p.statusText = QStringLiteral("正常");
        p.windows = {{SyncWindowKind::fiveHour, SyncValueState::available, 63.5, base + 7'200.0},
                     {SyncWindowKind::weekly, SyncValueState::available, 81.25, base + 400'000.0}};
        s.providers.append(p);
    }
    for (int i = 0; i < UsageSyncSnapshot::maximumUsageHistoryEntries; ++i) {
        s.usageHistory.append({QUuid::createUuid(), i % 2 ? SyncProviderID::claude : SyncProviderID::codex,
                               base - 300.0 * i, 100.0 - (i % 1'000) / 10.0, 90.0 - (i % 900) / 10.0});
    }
    for (int i = 0; i < UsageSyncSnapshot::maximumNotificationEntries; ++i) {
        s.notificationHistory.append({QUuid::createUuid(), SyncProviderID::claude, QStringLiteral("threshold"),
                                      QStringLiteral("Claude 5時間枠の残りが20%です"),
                                      QStringLiteral("リセットは 14:00 です。使い方を調整してください。").repeated(4),
                                      base - 900.0 * i});
    }
    return s;
}

} // namespace vantorel
