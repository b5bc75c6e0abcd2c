#pragma once

#include "core/foundation/Date.h"
#include "core/model/NotificationHistoryEntry.h"
#include "core/model/UsageHistoryEntry.h"

#include <QList>

namespace vantorel {

// The pruning rules of the usage history (oldest first) and the notification history (newest
// first).
struct HistoryRetention
{
    static constexpr qsizetype maximumNotificationEntries = 120;
    static constexpr qsizetype maximumUsageEntries = 2'500;
    static constexpr double usageRetentionSeconds = 2'592'000.0; // 30 days
    // Samples stamped a little ahead survive a clock that runs slightly behind the source's.
    static constexpr double usageFutureToleranceSeconds = 60.0;
    static constexpr double duplicateSampleIntervalSeconds = 900.0;
    static constexpr double duplicatePercentTolerance = 0.01;

    // Adds the sample unless the provider's latest sample is under 900 s older and neither
    // percent moved by 0.01 or more; then prunes with the sample's own time as reference.
    static QList<UsageHistoryEntry> appendingUsage(const UsageHistoryEntry& entry,
                                                   const QList<UsageHistoryEntry>& entries);
    // Samples recorded from 30 days before to 60 s after the reference, oldest first (stable),
    // at most the newest 2,500. Works in the list it is given: pass one to be dropped by move.
    static QList<UsageHistoryEntry> prunedUsage(QList<UsageHistoryEntry> entries, Date referenceDate);
    // Whether a sample recorded then lies inside the window prunedUsage keeps around the reference.
    static bool keepsUsageRecordedAt(Date recordedAt, Date referenceDate);

    // prunedUsage over samples handed over one at a time, holding at most twice the retained
    // count: a stored list far longer than retention keeps never stands in memory whole, and a
    // caller can ask keeps() before it builds a sample at all.
    class UsageCollector
    {
    public:
        explicit UsageCollector(Date referenceDate)
            : m_referenceDate(referenceDate)
        {
        }
        bool keeps(Date recordedAt) const { return keepsUsageRecordedAt(recordedAt, m_referenceDate); }
        // Samples outside the window are dropped here too.
        void add(UsageHistoryEntry entry);
        // Equal to prunedUsage of every sample added, in the order they were added.
        QList<UsageHistoryEntry> take() &&;

    private:
        Date m_referenceDate;
        QList<UsageHistoryEntry> m_kept;
    };

    // Replaces an entry with the same id, newest first by creation time (the new entry first
    // among equal times), at most 120.
    static QList<NotificationHistoryEntry> appendingNotification(const NotificationHistoryEntry& entry,
                                                                 const QList<NotificationHistoryEntry>& entries);
};

} // namespace vantorel
