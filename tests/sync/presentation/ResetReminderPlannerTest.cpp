#include "sync/presentation/ResetReminderPlanner.h"

#include "support/QtPrinters.h"

#include "sync/model/UsageSyncSnapshot.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using namespace Qt::StringLiterals;

const Date now(800'000'000);
const QUuid host(u"123e4567-e89b-12d3-a456-426614174000"_s);
const QString hostText = u"123E4567-E89B-12D3-A456-426614174000"_s;
const QString body =
    u"このiPhoneが確認した保存情報に基づく予定です。実際のリセット完了を知らせる通知ではありません。"_s;
const QSet<QString> allKeys = {u"codex.fiveHour"_s, u"codex.weekly"_s, u"claude.fiveHour"_s, u"claude.weekly"_s};

SyncUsageWindow window(SyncWindowKind kind, double resetIn, SyncValueState state = SyncValueState::available)
{
    return {kind, state, 50, now + resetIn};
}

SyncProviderSnapshot provider(SyncProviderID id, QList<SyncUsageWindow> windows, bool enabled = true)
{
    SyncProviderSnapshot p;
    p.id = id;
    p.enabled = enabled;
    p.statusText = u"正常"_s;
    p.windows = std::move(windows);
    return p;
}

UsageSyncSnapshot snapshot(QList<SyncProviderSnapshot> providers)
{
    UsageSyncSnapshot s;
    s.hostID = host;
    s.revision = 3;
    s.generatedAt = now;
    s.hostName = u"Studio"_s;
    s.sourceVersion = u"1.0"_s;
    s.sourceBuild = u"1"_s;
    s.refreshIntervalSeconds = 300;
    s.providers = std::move(providers);
    return s;
}

ScheduledResetReminder reminder(const QString& key, Date date, const QString& title)
{
    return {u"usage-reset."_s + hostText + u'.' + key, date, title, body};
}

TEST(ResetReminderPlannerTest, PlansEachEnabledWindowInSnapshotOrder)
{
    const auto s = snapshot({
        provider(SyncProviderID::claude,
                 {window(SyncWindowKind::weekly, 86400), window(SyncWindowKind::fiveHour, 1800)}),
        provider(SyncProviderID::codex,
                 {window(SyncWindowKind::fiveHour, 3 * 3600), window(SyncWindowKind::weekly, 600)}),
    });
    const QHash<QString, ResetReminderLeadTime> leadTimes = {
        {u"claude.weekly"_s, ResetReminderLeadTime::fifteenMinutes},
        {u"codex.fiveHour"_s, ResetReminderLeadTime::oneHour},
        {u"codex.weekly"_s, ResetReminderLeadTime::fifteenMinutes},
    };
    const QList<ScheduledResetReminder> expected = {
        reminder(u"claude.weekly"_s, now + 86400 - 900, u"Claudeの週間枠：リセット予定の15分前です"_s),
        reminder(u"claude.fiveHour"_s, now + 1800, u"Claudeの5時間枠：リセット予定時刻です"_s),
        reminder(u"codex.fiveHour"_s, now + 2 * 3600, u"Codexの5時間枠：リセット予定の1時間前です"_s),
        // The lead time has already begun: remind at the reset itself.
        reminder(u"codex.weekly"_s, now + 600, u"Codexの週間枠：リセット予定時刻です"_s),
    };
    EXPECT_EQ(ResetReminderPlanner::plans(s, allKeys, leadTimes, now), expected);
}

TEST(ResetReminderPlannerTest, LeadTimeBoundaries)
{
    struct Case
    {
        ResetReminderLeadTime leadTime;
        double resetIn;
        std::optional<double> firesIn;
        QString message;
    };
    const std::vector<Case> cases = {
        {ResetReminderLeadTime::atReset, 1, 1, u"リセット予定時刻です"_s},
        {ResetReminderLeadTime::oneHour, 3 * 3600, 2 * 3600, u"リセット予定の1時間前です"_s},
        {ResetReminderLeadTime::oneHour, 3600.5, 0.5, u"リセット予定の1時間前です"_s},
        {ResetReminderLeadTime::oneHour, 3600, 3600, u"リセット予定時刻です"_s},
        {ResetReminderLeadTime::oneHour, 1800, 1800, u"リセット予定時刻です"_s},
        {ResetReminderLeadTime::fifteenMinutes, 901, 1, u"リセット予定の15分前です"_s},
        {ResetReminderLeadTime::fifteenMinutes, 900, 900, u"リセット予定時刻です"_s},
        {ResetReminderLeadTime::oneHour, 0, std::nullopt, {}},
        {ResetReminderLeadTime::atReset, -60, std::nullopt, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(rawValue(c.leadTime).toStdString() + " " + std::to_string(c.resetIn));
        const auto s = snapshot({provider(SyncProviderID::codex, {window(SyncWindowKind::fiveHour, c.resetIn)})});
        const auto plans =
            ResetReminderPlanner::plans(s, allKeys, {{u"codex.fiveHour"_s, c.leadTime}}, now);
        if (!c.firesIn) {
            EXPECT_TRUE(plans.isEmpty());
            continue;
        }
        ASSERT_EQ(plans.size(), 1);
        EXPECT_EQ(plans[0], reminder(u"codex.fiveHour"_s, now + *c.firesIn, u"Codexの5時間枠："_s + c.message));
    }
}

TEST(ResetReminderPlannerTest, SkipsWhatShouldNotBeReminded)
{
    auto invalid = snapshot({provider(SyncProviderID::codex, {window(SyncWindowKind::fiveHour, 3600)})});
    invalid.schemaVersion = 2;
    auto otherInvalid = snapshot({provider(SyncProviderID::codex, {window(SyncWindowKind::fiveHour, 3600)})});
    otherInvalid.refreshIntervalSeconds = 0;
    auto noReset = window(SyncWindowKind::fiveHour, 3600);
    noReset.resetAt.reset();

    const std::vector<std::pair<const char*, UsageSyncSnapshot>> cases = {
        {"invalid schema", invalid},
        {"invalid interval", otherInvalid},
        {"provider off", snapshot({provider(SyncProviderID::codex, {window(SyncWindowKind::fiveHour, 3600)}, false)})},
        {"no reset", snapshot({provider(SyncProviderID::codex, {noReset})})},
    };
    for (const auto& [name, s] : cases)
        EXPECT_TRUE(ResetReminderPlanner::plans(s, allKeys, {}, now).isEmpty()) << name;

    for (const auto state : {SyncValueState::fetchFailed, SyncValueState::notFetched,
                             SyncValueState::temporarilyUnavailable, SyncValueState::disabled}) {
        const auto s = snapshot({provider(SyncProviderID::codex, {window(SyncWindowKind::fiveHour, 3600, state)})});
        EXPECT_TRUE(ResetReminderPlanner::plans(s, allKeys, {}, now).isEmpty()) << rawValue(state).toStdString();
    }

    // A lead time alone does not switch a reminder on.
    const auto s = snapshot({provider(SyncProviderID::codex,
                                      {window(SyncWindowKind::fiveHour, 7200), window(SyncWindowKind::weekly, 7200)})});
    const auto plans = ResetReminderPlanner::plans(s, {u"codex.weekly"_s},
                                                   {{u"codex.fiveHour"_s, ResetReminderLeadTime::oneHour}}, now);
    ASSERT_EQ(plans.size(), 1);
    EXPECT_EQ(plans[0].id, u"usage-reset."_s + hostText + u".codex.weekly"_s);
}

TEST(ResetReminderPlannerTest, KeysAndLeadTimesUseTheirRawValues)
{
    EXPECT_EQ(ResetReminderPlanner::settingKey(SyncProviderID::codex, SyncWindowKind::fiveHour), u"codex.fiveHour"_s);
    EXPECT_EQ(ResetReminderPlanner::settingKey(SyncProviderID::claude, SyncWindowKind::weekly), u"claude.weekly"_s);
    for (const auto leadTime : resetReminderLeadTimeAllCases)
        EXPECT_EQ(resetReminderLeadTimeFromRaw(rawValue(leadTime)), leadTime);
    for (const auto& raw : {u"onehour"_s, u"OneHour"_s, u""_s, u"60"_s})
        EXPECT_FALSE(resetReminderLeadTimeFromRaw(raw)) << raw.toStdString();
}

} // namespace
} // namespace vantorel
