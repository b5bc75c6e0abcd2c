#include "ModelTestSupport.h"

#include "core/model/AppSettings.h"
#include "core/model/CodexStatusSummary.h"
#include "core/model/ListFromJsonText.h"
#include "core/model/ModelCoding.h"
#include "core/model/NotificationHistoryEntry.h"
#include "core/model/RateLimitSnapshot.h"
#include "core/model/UsageHistoryEntry.h"
#include "core/model/UsageAlertThreshold.h"
#include "core/model/UsageResetBaseline.h"
#include "core/model/UsageSnapshot.h"

#include <gtest/gtest.h>

#include <limits>

namespace vantorel {
namespace {

using namespace testing_support;

const QUuid entryId = uuid("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");

template <typename T>
void expectRoundTrip(const T& value, std::optional<T> (*decode)(const Json&))
{
    const QByteArray bytes = json::write(toJson(value), json::Form::store);
    const auto decoded = decode(json::parseOrThrow(bytes));
    ASSERT_TRUE(decoded.has_value()) << bytes.toStdString();
    EXPECT_TRUE(*decoded == value) << bytes.toStdString();
}

BankedResetSummary fullSummary()
{
    BankedResetCredit credit{"credit-1", "five_hour", "available", Date(800'000'000.5), Date(800'600'000),
                             "リセット券", "5時間枠を1回リセット"};
    return {2, QList<BankedResetCredit>{credit, BankedResetCredit{.id = "credit-2"}}, 3, 1};
}

UsageSnapshot fullSnapshot()
{
    UsageSnapshot snapshot;
    snapshot.fiveHourRemainingPercent = 72.5;
    snapshot.weeklyRemainingPercent = 0;
    snapshot.creditsRemaining = "123 credits";
    snapshot.bankedReset = fullSummary();
    snapshot.resetAt = Date(799'000'000);
    snapshot.fiveHourResetAt = Date(799'010'000.25);
    snapshot.weeklyResetAt = Date(799'500'000);
    snapshot.planType = "plus";
    snapshot.limitId = "codex";
    snapshot.source = UsageSource::codexCLI;
    snapshot.updatedAt = referenceTime;
    snapshot.codexPeriodValidationVersion = 1;
    return snapshot;
}

TEST(ModelCoding, EveryRecordSurvivesARoundTripWithAllFieldsAndWithOnlyTheRequiredOnes)
{
    expectRoundTrip(fullSnapshot(), &usageSnapshotFromJson);
    expectRoundTrip(UsageSnapshot{.source = UsageSource::claudeOAuth, .updatedAt = Date(1)}, &usageSnapshotFromJson);
    expectRoundTrip(fullSummary(), &bankedResetSummaryFromJson);
    expectRoundTrip(BankedResetSummary{}, &bankedResetSummaryFromJson);
    expectRoundTrip(RateLimitSnapshot{5000, 4999, 800000, 1, 0.02, 3723.5, "gpt-5-codex", "headers", referenceTime},
                    &rateLimitSnapshotFromJson);
    expectRoundTrip(RateLimitSnapshot{.model = "m", .source = "s"}, &rateLimitSnapshotFromJson);

    CodexStatusSummary status = CodexStatusSummary::initial(referenceTime);
    status.services = {{"Codex", ComponentHealth::partialOutage, Date(5)}, {"API", ComponentHealth::unknown, Date(6)}};
    status.incidents = {{"遅延", "investigating", "minor", Date(7)}, {"old", "resolved", std::nullopt, std::nullopt}};
    status.overallStatus = OverallCodexState::fetchFailed;
    status.lastSuccessfulFetchAt = Date(4);
    expectRoundTrip(status, &codexStatusSummaryFromJson);
    expectRoundTrip(CodexStatusSummary::initial(Date(0)), &codexStatusSummaryFromJson);

    expectRoundTrip(UsageHistoryEntry{entryId, MonitoredProvider::claude, referenceTime, 12.25, std::nullopt, 1},
                    &usageHistoryEntryFromJson);
    NotificationHistoryEntry notification{entryId, MonitoredProvider::codex, NotificationHistoryCategory::reset,
                                          "タイトル", "本文\n2行目", referenceTime, std::nullopt};
    expectRoundTrip(notification, &notificationHistoryEntryFromJson);
    notification.delivery = NotificationDeliveryEvidence{NotificationDeliveryStatus::accepted,
                                                         NotificationDeliveryStatus::cancelled, true,
                                                         NotificationCancellationReason::capacityLimit};
    expectRoundTrip(notification, &notificationHistoryEntryFromJson);

    expectRoundTrip(UsageResetBaseline{Date(10), 55.5, Date(11), 1}, &usageResetBaselineFromJson);
    expectRoundTrip(UsageResetBaseline{}, &usageResetBaselineFromJson);

    AppSettings settings;
    settings.claudeEnabled = true;
    settings.discordResetNotificationsEnabled = true;
    settings.discordMentionEveryone = std::nullopt;
    settings.setBankedResetExpiryWarningDays(14);
    settings.menuBarGaugeLabelStyle = MenuBarGaugeLabelStyle::remainingPercent;
    settings.claudeMenuBarIdentityStyle = MenuBarProviderIdentityStyle::text;
    settings.menuDisplayMode = MenuDisplayMode::creditsRemaining;
    settings.componentNames = {"Codex", "Responses"};
    settings.setNotificationCategory(NotificationCategory::lowBalance, MonitoredProvider::claude,
                                     NotificationChannel::discord, false);
    settings.codexRefreshIntervalSeconds = 60;
    expectRoundTrip(settings, &appSettingsFromJson);
    expectRoundTrip(AppSettings{}, &appSettingsFromJson);
}

TEST(ModelCoding, WritesDatesAsSecondsSince2001UpperCaseUuidsAndLeavesAbsentOptionalsOut)
{
    const UsageHistoryEntry entry{entryId, MonitoredProvider::codex, Date::fromUnixSeconds(978'307'260.5), 40.0,
                                  std::nullopt, std::nullopt};
    EXPECT_EQ(storeText(toJson(entry)),
              R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","provider":"codex","recordedAt":60.5,"fiveHourRemainingPercent":40})");

    EXPECT_EQ(storeText(toJson(UsageResetBaseline{Date(5), 30.0, Date(6), 1})),
              R"({"resetAt":5,"remainingPercent":30,"lastConfirmedResetAt":6,"codexPeriodValidationVersion":1})");
    EXPECT_EQ(storeText(toJson(ServiceStatus{"API", ComponentHealth::degradedPerformance, Date(-1.5)})),
              R"({"componentName":"API","status":"degraded_performance","updatedAt":-1.5})");
    EXPECT_EQ(storeText(toJson(UsageSnapshot{.source = UsageSource::pasted, .updatedAt = Date(2)})),
              R"({"source":"pasted","updatedAt":2})");
    EXPECT_EQ(storeText(toJson(NotificationDeliveryEvidence{})),
              R"({"local":"notRecorded","discord":"notRecorded","discordResultWasUnknown":false})");
}

TEST(ModelCoding, ANonFiniteValueIsRefusedWhenWritten)
{
    UsageSnapshot snapshot{.source = UsageSource::manual, .updatedAt = Date(1)};
    snapshot.weeklyRemainingPercent = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THROW(json::write(toJson(snapshot), json::Form::store), JsonEncodeError);
}

TEST(ModelCoding, AStoredSnapshotThatDoesNotDecodeReadsAsAbsent)
{
    const char* const undecodable[] = {
        R"([1,2])",
        R"({"updatedAt":1})",
        R"({"source":"manual","updatedAt":null})",
        R"({"source":"browser","updatedAt":1})",
        R"({"source":"manual","updatedAt":"2026-03-01T08:15:00Z"})",
        R"({"source":"manual","updatedAt":1,"weeklyRemainingPercent":"50"})",
        R"({"source":"manual","updatedAt":1,"codexPeriodValidationVersion":1.5})",
        R"({"source":"codexCLI","updatedAt":1,"bankedReset":{"availableCount":1,"credits":[{"status":"available"}]}})",
    };
    for (const char* text : undecodable)
        EXPECT_FALSE(usageSnapshotFromJson(json::parseOrThrow(text)).has_value()) << text;
}

TEST(ModelCoding, IgnoresUnknownKeysAndReadsNullOptionalsAsAbsent)
{
    const auto snapshot = usageSnapshotFromJson(json::parseOrThrow(
        R"({"source":"manual","updatedAt":5,"planType":null,"futureField":{"x":1},"fiveHourRemainingPercent":3})"));
    ASSERT_TRUE(snapshot.has_value());
    EXPECT_EQ(snapshot->planType, std::nullopt);
    EXPECT_EQ(snapshot->fiveHourRemainingPercent, 3.0);
    EXPECT_EQ(snapshot->updatedAt, Date(5));
}

TEST(ModelCoding, ReadsLowerCaseUuidsAndRefusesMalformedOnes)
{
    const auto entry = notificationHistoryEntryFromJson(json::parseOrThrow(
        R"({"id":"e621e1f8-c36c-495a-93fc-0c247a3e6e5f","provider":"claude","category":"authentication","title":"t","body":"b","createdAt":3})"));
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->id, entryId);
    EXPECT_EQ(entry->delivery, std::nullopt);

    EXPECT_FALSE(notificationHistoryEntryFromJson(json::parseOrThrow(
                     R"({"id":"not-a-uuid","provider":"claude","category":"usage","title":"t","body":"b","createdAt":3})"))
                     .has_value());
}

TEST(ModelCoding, DeliveryEvidenceDefaultsTheUnknownFlagAndRefusesUnknownReasons)
{
    const auto evidence = notificationDeliveryEvidenceFromJson(json::parseOrThrow(R"({"local":"accepted","discord":"waiting"})"));
    ASSERT_TRUE(evidence.has_value());
    EXPECT_FALSE(evidence->discordResultWasUnknown);
    EXPECT_FALSE(notificationDeliveryEvidenceFromJson(json::parseOrThrow(
                     R"({"local":"accepted","discord":"cancelled","discordCancellationReason":"whatever"})"))
                     .has_value());
}

TEST(ModelCoding, ABaselineOfTheWrongTypeFailsTheWholeMap)
{
    const auto good = usageResetBaselinesFromJson(
        json::parseOrThrow(R"({"Codex-five":{"resetAt":100,"codexPeriodValidationVersion":1},"Claude-weekly":{}})"));
    ASSERT_TRUE(good.has_value());
    EXPECT_EQ(good->value("Codex-five"), (UsageResetBaseline{Date(100), std::nullopt, std::nullopt, 1}));
    EXPECT_EQ(good->value("Claude-weekly"), UsageResetBaseline{});

    EXPECT_FALSE(usageResetBaselinesFromJson(json::parseOrThrow(R"({"Codex-five":{"remainingPercent":"10"}})")).has_value());
}

TEST(ModelCoding, ListsDecodeAllOrNothingUnlessAskedToSkipBadElements)
{
    const Json list = json::parseOrThrow(
        R"([{"componentName":"A","status":"operational","updatedAt":1},{"componentName":"B","status":"exploded","updatedAt":2}])");
    EXPECT_FALSE(listFromJson(list, &serviceStatusFromJson).has_value());
    const auto lenient = listFromJsonSkippingInvalid(list, &serviceStatusFromJson);
    ASSERT_TRUE(lenient.has_value());
    EXPECT_EQ(*lenient, (QList<ServiceStatus>{{"A", ComponentHealth::operational, Date(1)}}));
    EXPECT_FALSE(listFromJsonSkippingInvalid(Json::object(), &serviceStatusFromJson).has_value());

    const QByteArray text = json::write(list, json::Form::store);
    EXPECT_EQ(listFromJsonTextSkippingInvalid(text, &serviceStatusFromJson), lenient);
    EXPECT_FALSE(listFromJsonTextSkippingInvalid(QByteArray("{}"), &serviceStatusFromJson).has_value());
    EXPECT_FALSE(listFromJsonTextSkippingInvalid(text.chopped(1), &serviceStatusFromJson).has_value());
}

TEST(ModelCoding, EnumerationsRefuseSpellingsOtherThanTheirRawValues)
{
    EXPECT_EQ(rawValue(ComponentHealth::underMaintenance), "under_maintenance");
    EXPECT_EQ(componentHealthFromRaw("underMaintenance"), std::nullopt);
    EXPECT_EQ(usageSourceFromRaw("CodexCLI"), std::nullopt);
    EXPECT_EQ(usageAlertThresholdFromRaw(15), std::nullopt);
    EXPECT_EQ(usageAlertThresholdFromRaw(0), UsageAlertThreshold::exhausted);
}

} // namespace
} // namespace vantorel
