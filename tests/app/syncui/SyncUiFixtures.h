#pragma once

#include "app/syncui/MacSyncDisplayInput.h"

#include <QUuid>

namespace vantorel::test {

inline const Date syncNow = Date::fromUnixSeconds(1'772'323'200.0); // 2026-03-01T00:00:00Z

inline QUuid idNumber(quint32 n)
{
    return QUuid(n, 0x2000, 0x4000, 0x80, 0, 0, 0, 0, 0, 0, 0x02);
}

// A confirmed Codex CLI reading with both windows, their dates and a plan.
inline UsageSnapshot codexReading()
{
    UsageSnapshot s;
    s.fiveHourRemainingPercent = 40.0;
    s.weeklyRemainingPercent = 70.0;
    s.fiveHourResetAt = syncNow + 3'600;
    s.weeklyResetAt = syncNow + 86'400;
    s.planType = QStringLiteral("plus");
    s.source = UsageSource::codexCLI;
    s.updatedAt = syncNow - 30;
    s.codexPeriodValidationVersion = 1;
    return s;
}

inline NotificationHistoryEntry notification(quint32 n, Date createdAt)
{
    return {idNumber(n), MonitoredProvider::codex, NotificationHistoryCategory::status, QStringLiteral("t"),
            QStringLiteral("b"), createdAt, std::nullopt};
}

inline MacSyncDisplayInput displayInput()
{
    MacSyncDisplayInput input;
    input.codex = {true, codexReading(), OverallCodexState::normal, false, false, false, false, std::nullopt};
    input.claude.enabled = false;
    input.refreshIntervalSeconds = 300;
    for (quint32 i = 0; i < 3; ++i) {
        input.usageHistory.append({idNumber(i), MonitoredProvider::codex, syncNow - 600.0 * i, 50.0, 80.0, 1});
        input.notificationHistory.append(notification(100 + i, syncNow - 60.0 * i));
    }
    return input;
}

} // namespace vantorel::test
