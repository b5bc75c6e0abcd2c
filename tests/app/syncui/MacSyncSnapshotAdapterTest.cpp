#include "SyncUiFixtures.h"

#include "app/syncui/MacSyncSnapshotAdapter.h"
#include "core/model/CodexPeriodValidation.h"
#include "core/model/HistoryRetention.h"
#include "core/model/NotificationMessageBuilder.h"
#include "core/rules/UsageNotificationWindow.h"
#include "sync/model/SyncCoding.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTimeZone>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <tuple>

using namespace vantorel;
using namespace vantorel::test;
using Adapter = MacSyncSnapshotAdapter;
using namespace Qt::Literals::StringLiterals;

namespace {

// "fetchFailed 40 R" per window: state, percent or "-", "R" with a reset date.
QString describe(const QList<SyncUsageWindow>& windows)
{
    QStringList parts;
    for (const SyncUsageWindow& w : windows) {
        parts << rawValue(w.state) + u' ' + (w.remainingPercent ? QString::number(*w.remainingPercent) : u"-"_s)
                + (w.resetAt ? u" R" : u"");
    }
    return parts.join(u" / ");
}

} // namespace

TEST(MacSyncSnapshotAdapter, ProviderTable)
{
    UsageSnapshot unconfirmed = codexReading(), claude = codexReading();
    unconfirmed.codexPeriodValidationVersion.reset();
    claude.source = UsageSource::claudeOAuth;
    claude.planType.reset();
    const auto codex = SyncProviderID::codex, claudeID = SyncProviderID::claude;
    const auto normal = OverallCodexState::normal, outage = OverallCodexState::outage;
    const QString generic = Adapter::genericErrorMessage();
    const std::optional<QString> none;
    // Display fields: enabled, reading, status, usageFailed, unconfirmed, statusFailed, paused, plan.
    struct Row {
        MacSyncProviderDisplay display;
        SyncProviderID id;
        QString status;
        std::optional<QString> error, plan;
        QString windows;
    } rows[] = {
        {{false, codexReading(), outage, true, false, false, false, none}, codex, u"MacでOFF"_s, none, none,
         u"disabled - / disabled -"_s},
        {{true, unconfirmed, normal, false, false, false, true, none}, codex, u"取得失敗"_s,
         CodexPeriodValidation::unconfirmedMessage(), u"Plus"_s, u"fetchFailed - / fetchFailed -"_s},
        {{true, codexReading(), OverallCodexState::degraded, false, false, false, true, none}, codex, u"不安定"_s,
         none, u"Plus"_s, u"temporarilyUnavailable - / available 70 R"_s},
        {{true, claude, std::nullopt, false, false, false, false, none}, claudeID, u"正常"_s, none, none,
         u"available 40 R / available 70 R"_s},
        {{true, std::nullopt, std::nullopt, false, false, false, false, u"max_5x"_s}, claudeID, u"未取得"_s, none,
         u"Max 5x"_s, u"notFetched - / notFetched -"_s},
        {{true, claude, normal, true, false, false, false, u"pro"_s}, claudeID, u"取得失敗"_s, generic, none,
         u"fetchFailed 40 R / fetchFailed 70 R"_s},
        {{true, codexReading(), outage, false, false, true, false, none}, codex, u"取得失敗"_s, generic, u"Plus"_s,
         u"available 40 R / available 70 R"_s},
    };
    for (const Row& row : rows) {
        const SyncProviderSnapshot p = Adapter::provider(row.display, row.id, syncNow);
        EXPECT_EQ(p.statusText, row.status) << row.status.toStdString();
        EXPECT_EQ(p.errorMessage, row.error) << row.status.toStdString();
        EXPECT_EQ(p.planName, row.plan) << row.status.toStdString();
        EXPECT_EQ(describe(p.windows), row.windows);
        EXPECT_EQ(p.updatedAt.has_value(), row.display.enabled && row.display.snapshot.has_value());
    }
}

TEST(MacSyncSnapshotAdapter, WindowKeepsOnlyPercentsInRangeAndUserEnteredGeneralDates)
{
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    const std::tuple<double, UsageSource, QString> rows[] = {
        {100.0, UsageSource::codexCLI, u"available 100"_s}, {100.5, UsageSource::codexCLI, u"notFetched -"_s},
        {-0.1, UsageSource::codexCLI, u"notFetched -"_s},   {nan, UsageSource::codexCLI, u"notFetched -"_s},
        {inf, UsageSource::codexCLI, u"notFetched -"_s},    {12.5, UsageSource::manual, u"available 12.5 R"_s},
    };
    for (const auto& [percent, source, expected] : rows) {
        UsageSnapshot reading = codexReading();
        reading.fiveHourRemainingPercent = percent;
        reading.fiveHourResetAt.reset();
        reading.resetAt = syncNow + 60;
        reading.source = source;
        const MacSyncProviderDisplay display{true, reading};
        EXPECT_EQ(describe({Adapter::window(SyncWindowKind::fiveHour, display, false)}), expected) << percent;
    }
}

TEST(MacSyncSnapshotAdapter, CreditsPassOnlyAsPlainAmounts)
{
    const std::pair<std::optional<QString>, std::optional<QString>> rows[] = {
        {u" ¥1,200円 "_s, u"¥1,200円"_s}, {u"12.5 Credits"_s, u"12.5 Credits"_s}, {u"UNLIMITED"_s, u"無制限"_s},
        {u"残り 5 credits"_s, {}},         {QString(81, u'7'), {}},                   {u"\u3000"_s, {}},
        {{}, {}},
    };
    for (const auto& [input, expected] : rows) {
        EXPECT_EQ(Adapter::safeCredits(input), expected) << input.value_or(u"(none)"_s).toStdString();
    }
}

TEST(MacSyncSnapshotAdapter, NotificationsNewestFirstUniqueCappedAndNotTooFarAhead)
{
    QList<NotificationHistoryEntry> entries;
    for (quint32 i = 0; i < 130; ++i) {
        entries.append(notification(i, syncNow - 10.0 * i));
    }
    entries.append(notification(5, syncNow + 1)); // same id as an older one
    entries.append(notification(500, syncNow + 60));
    entries.append(notification(501, syncNow + 61));
    entries.append(notification(502, Date::distantPast())); // year 0: the sync form cannot write it

    const QList<SyncNotificationEntry> published = Adapter::notificationHistory(entries, syncNow);
    ASSERT_EQ(published.size(), 120);
    EXPECT_EQ(published[0].id, idNumber(500));
    EXPECT_EQ(published[1].id, idNumber(5));
    EXPECT_EQ(published[1].createdAt, syncNow + 1);
    EXPECT_EQ(published[2].id, idNumber(0));
    EXPECT_EQ(published.last().id, idNumber(118)); // 0...118 without 5, after 500 and 5
    EXPECT_EQ(published[0].title, u"Codex 状態"_s);
    EXPECT_EQ(published[0].category, u"status"_s);
}

TEST(MacSyncSnapshotAdapter, EveryTextTheBuilderWritesIsTrustedAndNothingElse)
{
    using B = NotificationMessageBuilder;
    const QString five = displayName(UsageNotificationWindow::fiveHour);
    const QString week = displayName(UsageNotificationWindow::weekly);
    const QString date = B::dateText(syncNow, QTimeZone::utc());
    const auto usage = NotificationHistoryCategory::usage, reset = NotificationHistoryCategory::reset;
    QList<NotificationHistoryEntry> pairs;
    for (const MonitoredProvider provider : allMonitoredProviders) {
        const QString p = displayName(provider);
        auto add = [&](NotificationHistoryCategory category, const QString& title, const QString& body) {
            pairs.append({idNumber(0), provider, category, title, body, syncNow, std::nullopt});
        };
        add(usage, B::lowBalanceTitle(p, UsageAlertThreshold::exhausted), B::lowBalanceBody(five, B::percentText(0)));
        add(usage, B::lowBalanceTitle(p, UsageAlertThreshold::warning), B::lowBalanceBody(week, B::percentText(5.2)));
        add(usage, B::lowBalanceTitle(p, UsageAlertThreshold::critical), B::lowBalanceBody(u"APIリクエスト"_s, u"5%"_s));
        add(usage, B::lowBalanceTitle(p, UsageAlertThreshold::exhausted), B::lowBalanceBody(u"APIトークン"_s, u"0%"_s));
        add(reset, B::resetTitle(p, five), B::resetBody(false, date));
        add(reset, B::resetTitle(p, week), B::resetBody(true, date));
        add(reset, B::resetTitle(p, five), B::resetBody(true, std::nullopt));
        if (provider == MonitoredProvider::codex) {
            add(reset, B::bankedResetGrantTitle(), B::bankedResetGrantBody(2, 3, std::nullopt));
            add(reset, B::bankedResetGrantTitle(), B::bankedResetGrantBody(1, 1, date));
            add(reset, B::bankedResetExpiryTitle(), B::bankedResetExpiryBody(syncNow, QTimeZone::utc()));
        }
    }
    for (NotificationHistoryEntry entry : pairs) {
        EXPECT_TRUE(Adapter::isTrustedNotification(entry)) << entry.title.toStdString() << " | " << entry.body.toStdString();
        const qsizetype lastDigit = entry.body.lastIndexOf(QRegularExpression(u"[0-9]"_s));
        NotificationHistoryEntry changed = entry;
        changed.body.remove(lastDigit, 1);
        EXPECT_FALSE(lastDigit >= 0 && Adapter::isTrustedNotification(changed)) << changed.body.toStdString();
        changed = entry;
        changed.body += u"\n追加"_s;
        EXPECT_FALSE(Adapter::isTrustedNotification(changed)) << changed.body.toStdString();
    }

    NotificationHistoryEntry claudeExpiry = *std::find_if(pairs.begin(), pairs.end(), [](const auto& e) {
        return e.title == NotificationMessageBuilder::bankedResetExpiryTitle();
    });
    claudeExpiry.provider = MonitoredProvider::claude;
    const QList<SyncNotificationEntry> published = Adapter::notificationHistory({claudeExpiry}, syncNow);
    ASSERT_EQ(published.size(), 1);
    EXPECT_EQ(published[0].title, u"Claude リセット"_s);
    EXPECT_EQ(published[0].body, u"Macで利用枠のリセットに関する通知を記録しました。詳細はMacで確認してください。"_s);
}

TEST(MacSyncSnapshotAdapter, RecordsStayTheSameUntilTheNearestDatedBoundary)
{
    const auto records = [](const MacSyncDisplayInput& input, Date date) {
        return std::tuple(Adapter::provider(input.codex, SyncProviderID::codex, date),
                          Adapter::usageHistory(input.usageHistory, date),
                          Adapter::notificationHistory(input.notificationHistory, date));
    };
    const auto sample = [](double seconds) {
        return UsageHistoryEntry{idNumber(50), MonitoredProvider::codex, syncNow + seconds, 50.0, 80.0, 1};
    };
    const BankedResetCredit credit{u"c"_s, {}, u"available"_s, {}, syncNow + 500, {}, {}};
    const double retention = HistoryRetention::usageRetentionSeconds;
    // Seconds from now to the boundary: the base input's oldest sample, 1,200 s old, ages out first.
    const std::pair<std::function<void(MacSyncDisplayInput&)>, double> rows[] = {
        {[](MacSyncDisplayInput&) {}, retention - 1'200},
        {[&](MacSyncDisplayInput& in) { in.codex.snapshot->bankedReset = BankedResetSummary{1, QList{credit}, {}, {}}; }, 500},
        {[&](MacSyncDisplayInput& in) { in.usageHistory.append(sample(200)); }, 140}, // ahead of the tolerance
        {[](MacSyncDisplayInput& in) { in.notificationHistory.append(notification(9, syncNow + 100)); }, 40},
        {[&](MacSyncDisplayInput& in) { in.usageHistory.append(sample(20 - retention)); }, 20},
        {[](MacSyncDisplayInput& in) { in.notificationHistory.append(notification(9, syncNow + 60)); }, 0},
    };
    for (const auto& [add, seconds] : rows) {
        MacSyncDisplayInput input = displayInput();
        add(input);
        const Date until = Adapter::unchangedUntil(input, syncNow);
        EXPECT_NEAR(until - syncNow, seconds, 0.01);
        if (seconds > 0) {
            EXPECT_EQ(records(input, until - 0.01), records(input, syncNow)) << seconds;
            EXPECT_NE(records(input, until + 0.01), records(input, syncNow)) << seconds;
        }
    }
}

TEST(MacSyncSnapshotAdapter, PublishedSamplePercentsAreTheShortTextsTheReadingsHad)
{
    const QList<UsageHistoryEntry> history{{idNumber(61), MonitoredProvider::codex, syncNow - 60, 33.3, 87.5, 1},
                                           {idNumber(62), MonitoredProvider::claude, syncNow, 100.01, 0.0}};
    const QList<SyncUsageHistoryEntry> published = Adapter::usageHistory(history, syncNow);
    ASSERT_EQ(published.size(), 2);
    const QByteArray first = SyncCoding::encode(published[0]);
    const QByteArray second = SyncCoding::encode(published[1]);
    EXPECT_TRUE(first.startsWith(R"({"fiveHourRemainingPercent":33.3,"id")")) << first.toStdString();
    EXPECT_TRUE(first.endsWith(R"("weeklyRemainingPercent":87.5})")) << first.toStdString();
    EXPECT_TRUE(second.startsWith(R"({"id")") && second.endsWith(R"("weeklyRemainingPercent":0})")) << second.toStdString();
    EXPECT_EQ(SyncCoding::decode<SyncUsageHistoryEntry>(first), published[0]);
}
