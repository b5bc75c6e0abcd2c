#include "ModelTestSupport.h"

#include "core/model/BoundedEventLedger.h"
#include "core/model/HistoryRetention.h"

#include <gtest/gtest.h>

#include <limits>

namespace vantorel {
namespace {

using testing_support::referenceTime;

UsageHistoryEntry sample(MonitoredProvider provider, double secondsAfterReference, std::optional<double> fiveHour,
                         std::optional<double> weekly = 50.0)
{
    return {QUuid::createUuid(), provider, referenceTime + secondsAfterReference, fiveHour, weekly, 1};
}

QList<double> times(const QList<UsageHistoryEntry>& entries)
{
    QList<double> result;
    for (const auto& entry : entries) {
        result.append(entry.recordedAt - referenceTime);
    }
    return result;
}

TEST(HistoryRetention, SkipsOnlyARepeatWithin900Seconds)
{
    const QList<UsageHistoryEntry> history{sample(MonitoredProvider::codex, -2000, 40.0),
                                           sample(MonitoredProvider::codex, 0, 40.0, 50.0)};
    const std::tuple<const char*, double, std::optional<double>, std::optional<double>, bool> cases[] = {
        {"sameValuesSoon", 899.9, 40.0, 50.0, false},
        {"sameValuesAt900", 900, 40.0, 50.0, true},
        {"tinyMoveSoon", 60, 40.0099, 49.991, false},
        {"fiveHourMovedPastTolerance", 60, 40.015, 50.0, true},
        {"weeklyMoved", 60, 40.0, 49.0, true},
        {"valueAppeared", 60, 40.0, std::nullopt, true},
        {"olderThanLatest", -10, 40.0, 50.0, false},
    };
    for (const auto& [name, after, fiveHour, weekly, added] : cases) {
        const auto entry = sample(MonitoredProvider::codex, after, fiveHour, weekly);
        EXPECT_EQ(HistoryRetention::appendingUsage(entry, history).size(), added ? 3 : 2) << name;
    }
}

TEST(HistoryRetention, DuplicatesAreJudgedPerProviderAgainstItsLatestSample)
{
    const QList<UsageHistoryEntry> history{sample(MonitoredProvider::claude, 0, 40.0),
                                           sample(MonitoredProvider::codex, 10, 10.0)};
    // Claude's latest sample is the one at 0 even though a Codex sample follows it.
    EXPECT_EQ(HistoryRetention::appendingUsage(sample(MonitoredProvider::claude, 100, 40.0), history).size(), 2);
    EXPECT_EQ(HistoryRetention::appendingUsage(sample(MonitoredProvider::claude, 100, 39.0), history).size(), 3);
    // A first sample of a provider is always added.
    EXPECT_EQ(HistoryRetention::appendingUsage(sample(MonitoredProvider::claude, 1, 40.0), {}).size(), 1);
}

TEST(HistoryRetention, AppendingPrunesAroundTheNewSampleAndSortsAscending)
{
    const QList<UsageHistoryEntry> history{sample(MonitoredProvider::codex, 50, 1.0),
                                           sample(MonitoredProvider::claude, -2'592'001, 2.0),
                                           sample(MonitoredProvider::codex, -2'592'000, 3.0),
                                           sample(MonitoredProvider::claude, 61, 4.0),
                                           sample(MonitoredProvider::claude, 60, 5.0)};
    const auto result = HistoryRetention::appendingUsage(sample(MonitoredProvider::claude, 0, 9.0), history);
    EXPECT_EQ(times(result), (QList<double>{-2'592'000, 0, 50, 60}));
}

TEST(HistoryRetention, ASampleWithoutAUsableTimeLeavesTheHistoryAlone)
{
    const QList<UsageHistoryEntry> history{sample(MonitoredProvider::codex, 0, 1.0), sample(MonitoredProvider::claude, 10, 2.0)};
    for (const double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        UsageHistoryEntry entry = sample(MonitoredProvider::codex, 20, 3.0);
        entry.recordedAt = Date(bad);
        EXPECT_EQ(times(HistoryRetention::appendingUsage(entry, history)), (QList<double>{0, 10}));
    }
}

TEST(HistoryRetention, PruningKeepsTheWindowTheNewest2500AndStableOrder)
{
    QList<UsageHistoryEntry> history;
    for (int i = 0; i < 2'600; ++i) {
        history.append(sample(i % 2 ? MonitoredProvider::codex : MonitoredProvider::claude, -3000.0 + i, i));
    }
    const auto tie1 = sample(MonitoredProvider::codex, 0, 1000.0);
    const auto tie2 = sample(MonitoredProvider::claude, 0, 2000.0);
    history.append(tie1);
    history.append(tie2);
    history.append(sample(MonitoredProvider::codex, std::numeric_limits<double>::quiet_NaN(), 3.0));
    std::reverse(history.begin(), history.end());

    const auto pruned = HistoryRetention::prunedUsage(history, referenceTime);
    ASSERT_EQ(pruned.size(), 2'500);
    EXPECT_EQ(pruned.front().recordedAt - referenceTime, -3000.0 + 102);
    // Equal times keep their order from the input (reversed above).
    EXPECT_EQ(pruned[2'498].id, tie2.id);
    EXPECT_EQ(pruned[2'499].id, tie1.id);
    EXPECT_TRUE(std::is_sorted(pruned.begin(), pruned.end(),
                               [](const auto& a, const auto& b) { return a.recordedAt < b.recordedAt; }));
    // A list already in order, ties included, comes back as it was.
    EXPECT_EQ(HistoryRetention::prunedUsage(pruned, referenceTime), pruned);
}

TEST(HistoryRetention, TheCollectorKeepsWhatPruningTheWholeListKeeps)
{
    // Far past the cap, in an order that is not the time order, with runs of equal times across
    // the collector's own cuts, samples outside the window on both sides and a NaN time.
    QList<UsageHistoryEntry> stored;
    for (int i = 0; i < 9'000; ++i) {
        const double secondsAfter = i % 7 == 0 ? -HistoryRetention::usageRetentionSeconds - 1 - i
            : i % 11 == 0                      ? HistoryRetention::usageFutureToleranceSeconds + i
                                               : -double((i * 7'919) % 4'000);
        stored.append(sample(i % 2 ? MonitoredProvider::codex : MonitoredProvider::claude, secondsAfter, i));
    }
    stored.append(sample(MonitoredProvider::codex, std::numeric_limits<double>::quiet_NaN(), 1.0));
    for (const qsizetype count : {qsizetype(0), qsizetype(2'400), qsizetype(5'001), stored.size()}) {
        HistoryRetention::UsageCollector collector(referenceTime);
        for (qsizetype i = 0; i < count; ++i) {
            collector.add(stored[i]);
        }
        EXPECT_EQ(std::move(collector).take(), HistoryRetention::prunedUsage(stored.first(count), referenceTime))
            << count << " samples";
    }
    HistoryRetention::UsageCollector collector(referenceTime);
    EXPECT_TRUE(collector.keeps(referenceTime - HistoryRetention::usageRetentionSeconds));
    EXPECT_FALSE(collector.keeps(referenceTime + HistoryRetention::usageFutureToleranceSeconds + 1));
    EXPECT_FALSE(collector.keeps(Date(std::numeric_limits<double>::quiet_NaN())));
}

NotificationHistoryEntry notification(const QUuid& id, double secondsAfterReference, const QString& title = "t")
{
    return {id, MonitoredProvider::codex, NotificationHistoryCategory::usage, title, "b",
            referenceTime + secondsAfterReference, std::nullopt};
}

TEST(HistoryRetention, NotificationsAreNewestFirstReplacedByIdAndCutTo120)
{
    QList<NotificationHistoryEntry> history;
    for (int i = 0; i < 130; ++i) {
        history = HistoryRetention::appendingNotification(notification(QUuid::createUuid(), (i * 37) % 130), history);
    }
    ASSERT_EQ(history.size(), 120);
    EXPECT_EQ(history.front().createdAt - referenceTime, 129.0);
    EXPECT_EQ(history.back().createdAt - referenceTime, 10.0);

    const QUuid kept = history[5].id;
    const auto replaced = HistoryRetention::appendingNotification(notification(kept, 500, "updated"), history);
    ASSERT_EQ(replaced.size(), 120);
    EXPECT_EQ(replaced.front().id, kept);
    EXPECT_EQ(replaced.front().title, "updated");
    EXPECT_EQ(std::count_if(replaced.begin(), replaced.end(), [&](const auto& e) { return e.id == kept; }), 1);

    // At equal times the new entry comes first.
    const QUuid older = QUuid::createUuid();
    const QUuid newer = QUuid::createUuid();
    const auto tie = HistoryRetention::appendingNotification(notification(newer, 0), {notification(older, 0)});
    EXPECT_EQ(tie.front().id, newer);
}

TEST(BoundedEventLedger, CollapsesDuplicatesOntoTheNewestAndKeepsTheNewestKeys)
{
    struct Case
    {
        QStringList stored;
        qsizetype capacity;
        QStringList expected;
    };
    const Case cases[] = {
        {{"a", "b", "c"}, 80, {"a", "b", "c"}},
        {{"a", "b", "a", "c", "b"}, 80, {"a", "c", "b"}},
        {{"a", "b", "c", "d"}, 2, {"c", "d"}},
        {{"a", "b", "c", "a"}, 2, {"c", "a"}},
        {{"a", "b"}, 0, {"b"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BoundedEventLedger(c.stored, c.capacity).entries(), c.expected) << c.stored.join(',').toStdString();
    }

    BoundedEventLedger ledger({"x", "y", "z"}, 3);
    ledger.insert("x");
    EXPECT_EQ(ledger.entries(), (QStringList{"y", "z", "x"}));
    ledger.insert("w");
    EXPECT_EQ(ledger.entries(), (QStringList{"z", "x", "w"}));
    EXPECT_FALSE(ledger.contains("y"));
    EXPECT_TRUE(ledger.contains("x"));
}

} // namespace
} // namespace vantorel
