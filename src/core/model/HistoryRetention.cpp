#include "core/model/HistoryRetention.h"

#include <algorithm>
#include <cmath>

namespace vantorel {

namespace {

// Absent and present differ; two absent values did not move.
bool movedLessThanTolerance(std::optional<double> previous, std::optional<double> current)
{
    if (!previous || !current) {
        return !previous && !current;
    }
    return std::abs(*current - *previous) < HistoryRetention::duplicatePercentTolerance;
}

bool repeatsLatestSample(const UsageHistoryEntry& entry, const QList<UsageHistoryEntry>& entries)
{
    const UsageHistoryEntry* latest = nullptr;
    for (const UsageHistoryEntry& existing : entries) {
        if (existing.provider == entry.provider && (!latest || existing.recordedAt >= latest->recordedAt)) {
            latest = &existing;
        }
    }
    return latest && entry.recordedAt - latest->recordedAt < HistoryRetention::duplicateSampleIntervalSeconds
        && movedLessThanTolerance(latest->fiveHourRemainingPercent.toOptional(),
                                  entry.fiveHourRemainingPercent.toOptional())
        && movedLessThanTolerance(latest->weeklyRemainingPercent.toOptional(),
                                  entry.weeklyRemainingPercent.toOptional());
}

} // namespace

QList<UsageHistoryEntry> HistoryRetention::appendingUsage(const UsageHistoryEntry& entry,
                                                          const QList<UsageHistoryEntry>& entries)
{
    // A sample that cannot be placed in time would also make every kept sample fall outside the
    // window and wipe the history.
    if (!entry.recordedAt.isFinite()) {
        return entries;
    }
    QList<UsageHistoryEntry> result = entries;
    if (!repeatsLatestSample(entry, entries)) {
        result.append(entry);
    }
    return prunedUsage(std::move(result), entry.recordedAt);
}

bool HistoryRetention::keepsUsageRecordedAt(Date recordedAt, Date referenceDate)
{
    return recordedAt >= referenceDate - usageRetentionSeconds && recordedAt <= referenceDate + usageFutureToleranceSeconds;
}

QList<UsageHistoryEntry> HistoryRetention::prunedUsage(QList<UsageHistoryEntry> entries, Date referenceDate)
{
    entries.removeIf([&](const UsageHistoryEntry& entry) { return !keepsUsageRecordedAt(entry.recordedAt, referenceDate); });
    const auto earlier = [](const UsageHistoryEntry& a, const UsageHistoryEntry& b) { return a.recordedAt < b.recordedAt; };
    // A list kept in order, the usual case, is left as a stable sort would leave it.
    if (!std::is_sorted(entries.cbegin(), entries.cend(), earlier)) {
        std::stable_sort(entries.begin(), entries.end(), earlier);
    }
    if (entries.size() > maximumUsageEntries) {
        entries.remove(0, entries.size() - maximumUsageEntries);
    }
    return entries;
}

void HistoryRetention::UsageCollector::add(UsageHistoryEntry entry)
{
    if (!keeps(entry.recordedAt)) {
        return;
    }
    // A sample cut here has the retained count of newer samples (or equal ones added later) behind
    // it already; more samples only add to them, so the whole list's pruning cuts it too.
    if (m_kept.size() == 2 * maximumUsageEntries) {
        m_kept = prunedUsage(std::move(m_kept), m_referenceDate);
    }
    m_kept.append(std::move(entry));
}

QList<UsageHistoryEntry> HistoryRetention::UsageCollector::take() &&
{
    return prunedUsage(std::move(m_kept), m_referenceDate);
}

QList<NotificationHistoryEntry> HistoryRetention::appendingNotification(const NotificationHistoryEntry& entry,
                                                                        const QList<NotificationHistoryEntry>& entries)
{
    QList<NotificationHistoryEntry> result;
    result.reserve(entries.size() + 1);
    result.append(entry);
    for (const NotificationHistoryEntry& existing : entries) {
        if (existing.id != entry.id) {
            result.append(existing);
        }
    }
    // Entries whose time is NaN sort last instead of breaking the ordering.
    std::stable_sort(result.begin(), result.end(), [](const NotificationHistoryEntry& a, const NotificationHistoryEntry& b) {
        const double x = a.createdAt.timeIntervalSinceReferenceDate();
        const double y = b.createdAt.timeIntervalSinceReferenceDate();
        if (std::isnan(x) || std::isnan(y)) {
            return !std::isnan(x) && std::isnan(y);
        }
        return x > y;
    });
    if (result.size() > maximumNotificationEntries) {
        result.resize(maximumNotificationEntries);
    }
    return result;
}

} // namespace vantorel
