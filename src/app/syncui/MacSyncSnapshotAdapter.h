#pragma once

#include "app/syncui/MacSyncProviderDisplay.h"
#include "core/foundation/Date.h"
#include "core/model/NotificationHistoryEntry.h"
#include "core/model/UsageHistoryEntry.h"
#include "sync/model/SyncNotificationEntry.h"
#include "sync/model/SyncProviderSnapshot.h"
#include "sync/model/SyncUsageHistoryEntry.h"

#include <QList>
#include <QString>

#include <optional>

namespace vantorel {

struct MacSyncDisplayInput;

// Maps what the Mac window shows onto the records of the companion snapshot, publishing nothing
// more: raw error texts become fixed ones, out-of-range numbers and dates the sync form cannot
// carry are dropped, credit texts pass only in a known shape, and a notification keeps its own
// texts only when they are in one of the application's fixed formats. Pure; never throws.
struct MacSyncSnapshotAdapter
{
    static constexpr qsizetype maximumCreditsCharacters = 80;
    static constexpr qsizetype maximumNotifications = 120;
    static constexpr double notificationFutureToleranceSeconds = 60.0;
    static constexpr qsizetype maximumTrustedTitleCharacters = 256;
    static constexpr qsizetype maximumTrustedBodyCharacters = 4'096;

    static QString genericErrorMessage();

    static SyncProviderSnapshot provider(const MacSyncProviderDisplay& display, SyncProviderID id, Date now);
    static SyncUsageWindow window(SyncWindowKind kind, const MacSyncProviderDisplay& display, bool paused);
    // The trimmed text when it is a plain amount (an optional currency sign, a number, an
    // optional unit); "無制限" for unlimited; otherwise none.
    static std::optional<QString> safeCredits(const std::optional<QString>& text);
    // Confirmed samples of the retention window, first of each id, in time order.
    static QList<SyncUsageHistoryEntry> usageHistory(const QList<UsageHistoryEntry>& entries, Date now);
    // The 120 newest notifications up to a minute ahead of now, first of each id, newest first.
    static QList<SyncNotificationEntry> notificationHistory(const QList<NotificationHistoryEntry>& entries, Date now);
    static bool isTrustedNotification(const NotificationHistoryEntry& entry);
    // A date up to which the rules above that depend on the time give for `input` what they
    // give at `now`: every date from `now` up to, not including, the result yields the same
    // records. Equal to `now` when a boundary is too close to tell.
    static Date unchangedUntil(const MacSyncDisplayInput& input, Date now);
};

} // namespace vantorel
