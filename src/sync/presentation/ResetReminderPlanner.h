#pragma once

#include "core/foundation/Date.h"
#include "sync/model/SyncProviderID.h"
#include "sync/model/SyncWindowKind.h"
#include "sync/presentation/ResetReminderLeadTime.h"
#include "sync/presentation/ScheduledResetReminder.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

namespace vantorel {

struct UsageSyncSnapshot;

// Plans the companion's reset reminders from the snapshot it holds; the caller schedules them.
struct ResetReminderPlanner
{
    // The settings key of one provider's window: "codex.fiveHour", "claude.weekly", ...
    static QString settingKey(SyncProviderID provider, SyncWindowKind window);

    // One reminder per window that is switched on in `enabled`, belongs to an enabled provider,
    // is available and resets after `now`; in provider, then window order. A window without an
    // entry in `leadTimes` is reminded at the reset; a lead time that has already begun falls
    // back to the reset itself. A snapshot that fails validation plans nothing.
    static QList<ScheduledResetReminder> plans(const UsageSyncSnapshot& snapshot, const QSet<QString>& enabled,
                                               const QHash<QString, ResetReminderLeadTime>& leadTimes,
                                               Date now);
};

} // namespace vantorel
