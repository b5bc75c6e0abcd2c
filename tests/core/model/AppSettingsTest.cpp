#include "ModelTestSupport.h"

#include "core/model/AppSettings.h"
#include "core/model/NotificationEligibility.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

AppSettings decoded(const char* text)
{
    const auto settings = appSettingsFromJson(json::parseOrThrow(text));
    EXPECT_TRUE(settings.has_value()) << text;
    return settings.value_or(AppSettings{});
}

TEST(AppSettings, AnEmptyDocumentGivesTheDefaultsAndTheDefaultsWriteEveryStoredField)
{
    EXPECT_EQ(decoded("{}"), AppSettings{});
    const Json stored = toJson(AppSettings{});
    // 34 fields; the unsettled mention choice is the only one that may be left out.
    EXPECT_EQ(stored.size(), 34u);

    const AppSettings defaults;
    EXPECT_TRUE(defaults.launchAtLogin && defaults.notificationsEnabled && defaults.codexEnabled);
    EXPECT_FALSE(defaults.claudeEnabled || defaults.apiRateAutoRefreshEnabled || defaults.discordResetNotificationsEnabled);
    EXPECT_EQ(defaults.refreshIntervalSeconds, 300);
    EXPECT_EQ(defaults.bankedResetExpiryWarningDays(), 3);
    EXPECT_EQ(defaults.discordMentionEveryone, false);
    EXPECT_EQ(defaults.menuBarGaugeLabelStyle, MenuBarGaugeLabelStyle::period);
    EXPECT_EQ(defaults.codexMenuBarIdentityStyle, MenuBarProviderIdentityStyle::icon);
}

TEST(AppSettings, EachMissingExtraOrWronglyTypedKeyTakesOnlyItsOwnDefault)
{
    const AppSettings settings = decoded(R"({
        "codexEnabled": false,
        "claudeEnabled": "yes",
        "refreshIntervalSeconds": 120.0,
        "codexRefreshIntervalSeconds": 90.5,
        "claudeRefreshIntervalSeconds": "600",
        "apiRateModel": 4,
        "codexCLIExecutablePath": "/opt/codex/bin/codex",
        "componentNames": ["Codex", 7, null, "API"],
        "claudeComponentNames": "Claude Code",
        "menuBarGaugeLabelStyle": "remainingPercent",
        "codexMenuBarIdentityStyle": "emoji",
        "menuDisplayMode": null,
        "claudeAuthenticationAutoRecoveryEnabled": 1,
        "notificationCategoryOverrides": {"codex.local.lowBalance": false, "claude.discord.actualReset": "no"},
        "somethingNew": [1, 2, 3]
    })");
    AppSettings expected;
    expected.codexEnabled = false;
    expected.refreshIntervalSeconds = 120;
    expected.codexCLIExecutablePath = "/opt/codex/bin/codex";
    expected.componentNames = {"Codex", "API"};
    expected.menuBarGaugeLabelStyle = MenuBarGaugeLabelStyle::remainingPercent;
    expected.notificationCategoryOverrides = {{"codex.local.lowBalance", false}};
    EXPECT_EQ(settings, expected);
}

TEST(AppSettings, AValueThatIsNotAnObjectDoesNotDecode)
{
    EXPECT_FALSE(appSettingsFromJson(json::parseOrThrow("[]")).has_value());
    EXPECT_FALSE(appSettingsFromJson(json::parseOrThrow("\"settings\"")).has_value());
}

TEST(AppSettings, AMissingMentionChoiceIsUnsettledOnlyWhileDiscordIsOn)
{
    EXPECT_EQ(decoded(R"({"discordResetNotificationsEnabled": true})").discordMentionEveryone, std::nullopt);
    EXPECT_EQ(decoded(R"({"discordResetNotificationsEnabled": false})").discordMentionEveryone, false);
    EXPECT_EQ(decoded(R"({"discordResetNotificationsEnabled": true, "discordMentionEveryone": "x"})").discordMentionEveryone,
              std::nullopt);
    EXPECT_EQ(decoded(R"({"discordResetNotificationsEnabled": true, "discordMentionEveryone": false})").discordMentionEveryone,
              false);
    EXPECT_EQ(decoded(R"({"discordMentionEveryone": true})").discordMentionEveryone, true);
}

TEST(AppSettings, WarningDaysAreClampedWhenSetAndWhenRead)
{
    const std::pair<std::int64_t, std::int64_t> cases[] = {{-5, 1}, {0, 1}, {1, 1}, {7, 7}, {30, 30}, {31, 30}, {1'000'000, 30}};
    for (const auto& [given, kept] : cases) {
        AppSettings settings;
        settings.setBankedResetExpiryWarningDays(given);
        EXPECT_EQ(settings.bankedResetExpiryWarningDays(), kept) << given;
        const Json stored{{"bankedResetExpiryWarningDays", given}};
        EXPECT_EQ(appSettingsFromJson(stored)->bankedResetExpiryWarningDays(), kept) << given;
    }
}

TEST(AppSettings, CategorySwitchesFollowAvailabilityOverridesAndTheDiscordIncidentDefault)
{
    AppSettings settings;
    for (const auto provider : allMonitoredProviders) {
        for (const auto channel : allNotificationChannels) {
            for (const auto category : allNotificationCategories) {
                const bool offered = availableNotificationCategories(provider).contains(category);
                const bool expected = offered
                    && !(category == NotificationCategory::serviceIncidents && channel == NotificationChannel::discord);
                EXPECT_EQ(settings.notificationCategoryEnabled(category, provider, channel), expected)
                    << rawValue(provider).toStdString() << '.' << rawValue(channel).toStdString() << '.'
                    << rawValue(category).toStdString();
            }
        }
    }

    settings.setNotificationCategory(NotificationCategory::serviceIncidents, MonitoredProvider::codex,
                                     NotificationChannel::discord, true);
    settings.setNotificationCategory(NotificationCategory::lowBalance, MonitoredProvider::claude,
                                     NotificationChannel::local, false);
    // An override cannot offer a category the provider does not have.
    settings.setNotificationCategory(NotificationCategory::couponGrant, MonitoredProvider::claude,
                                     NotificationChannel::local, true);
    EXPECT_EQ(settings.notificationCategoryOverrides,
              (QMap<QString, bool>{{"codex.discord.serviceIncidents", true},
                                   {"claude.local.lowBalance", false},
                                   {"claude.local.couponGrant", true}}));
    EXPECT_TRUE(settings.notificationCategoryEnabled(NotificationCategory::serviceIncidents, MonitoredProvider::codex,
                                                     NotificationChannel::discord));
    EXPECT_FALSE(settings.notificationCategoryEnabled(NotificationCategory::lowBalance, MonitoredProvider::claude,
                                                      NotificationChannel::local));
    EXPECT_TRUE(settings.notificationCategoryEnabled(NotificationCategory::lowBalance, MonitoredProvider::claude,
                                                     NotificationChannel::discord));
    EXPECT_FALSE(settings.notificationCategoryEnabled(NotificationCategory::couponGrant, MonitoredProvider::claude,
                                                      NotificationChannel::local));
}

// Every switch that gates a notification, one at a time, against an "all on" record.
struct GateCase
{
    const char* name;
    void (*change)(AppSettings&);
    NotificationCategory category;
    MonitoredProvider provider;
    NotificationChannel channel;
    bool enabled;
    const char* reason;
};

AppSettings allOn()
{
    AppSettings settings;
    settings.claudeEnabled = true;
    settings.discordResetNotificationsEnabled = true;
    for (const auto provider : allMonitoredProviders) {
        for (const auto category : allNotificationCategories) {
            settings.setNotificationCategory(category, provider, NotificationChannel::discord, true);
        }
    }
    return settings;
}

class NotificationGate : public testing::TestWithParam<GateCase>
{
};

TEST_P(NotificationGate, DecidesDeliveryAndExplainsIt)
{
    const GateCase& c = GetParam();
    AppSettings settings = allOn();
    c.change(settings);
    EXPECT_EQ(settings.isNotificationEnabled(c.category, c.provider, c.channel), c.enabled);
    EXPECT_EQ(NotificationEligibility::reason(settings, c.provider, c.category, c.channel), QString::fromUtf8(c.reason));
}

using C = NotificationCategory;
using P = MonitoredProvider;
using N = NotificationChannel;

INSTANTIATE_TEST_SUITE_P(
    AppSettings, NotificationGate,
    testing::Values(
        GateCase{"allOnLocal", [](AppSettings&) {}, C::lowBalance, P::codex, N::local, true, "対象"},
        GateCase{"allOnDiscord", [](AppSettings&) {}, C::serviceIncidents, P::claude, N::discord, true, "対象"},
        GateCase{"codexOff", [](AppSettings& s) { s.codexEnabled = false; }, C::actualReset, P::codex, N::local, false, "サービスOFF"},
        GateCase{"codexOffLeavesClaude", [](AppSettings& s) { s.codexEnabled = false; }, C::actualReset, P::claude, N::local, true, "対象"},
        GateCase{"claudeOff", [](AppSettings& s) { s.claudeEnabled = false; }, C::lowBalance, P::claude, N::discord, false, "サービスOFF"},
        GateCase{"localMasterOff", [](AppSettings& s) { s.notificationsEnabled = false; }, C::couponGrant, P::codex, N::local, false, "通知OFF"},
        GateCase{"localMasterOffLeavesDiscord", [](AppSettings& s) { s.notificationsEnabled = false; }, C::couponGrant, P::codex, N::discord, true, "対象"},
        GateCase{"discordMasterOff", [](AppSettings& s) { s.discordResetNotificationsEnabled = false; }, C::lowBalance, P::codex, N::discord, false, "通知OFF"},
        GateCase{"providerOffWinsOverChannel", [](AppSettings& s) { s.codexEnabled = false; s.notificationsEnabled = false; }, C::lowBalance, P::codex, N::local, false, "サービスOFF"},
        GateCase{"categoryOff", [](AppSettings& s) { s.setNotificationCategory(C::actualReset, P::claude, N::local, false); }, C::actualReset, P::claude, N::local, false, "項目OFF"},
        GateCase{"categoryNotOffered", [](AppSettings&) {}, C::couponExpiry, P::claude, N::local, false, "項目OFF"},
        GateCase{"discordIncidentsStartOff", [](AppSettings& s) { s.notificationCategoryOverrides.clear(); }, C::serviceIncidents, P::codex, N::discord, false, "項目OFF"},
        GateCase{"expirySwitchOff", [](AppSettings& s) { s.bankedResetExpiryNotificationsEnabled = false; }, C::couponExpiry, P::codex, N::local, false, "期限通知OFF"},
        GateCase{"expirySwitchOffLeavesGrant", [](AppSettings& s) { s.bankedResetExpiryNotificationsEnabled = false; }, C::couponGrant, P::codex, N::discord, true, "対象"},
        GateCase{"expiryCategoryOffWins", [](AppSettings& s) { s.bankedResetExpiryNotificationsEnabled = false; s.setNotificationCategory(C::couponExpiry, P::codex, N::local, false); }, C::couponExpiry, P::codex, N::local, false, "項目OFF"},
        GateCase{"claudeStatusOffLocal", [](AppSettings& s) { s.claudeStatusEnabled = false; }, C::serviceIncidents, P::claude, N::local, false, "Status取得OFF"},
        GateCase{"claudeStatusOffDiscord", [](AppSettings& s) { s.claudeStatusEnabled = false; }, C::serviceIncidents, P::claude, N::discord, false, "Status取得OFF"},
        GateCase{"claudeStatusOffLeavesCodexIncidents", [](AppSettings& s) { s.claudeStatusEnabled = false; }, C::serviceIncidents, P::codex, N::local, true, "対象"},
        GateCase{"claudeStatusOffLeavesClaudeUsage", [](AppSettings& s) { s.claudeStatusEnabled = false; }, C::lowBalance, P::claude, N::local, true, "対象"}),
    [](const testing::TestParamInfo<GateCase>& info) { return info.param.name; });

} // namespace
} // namespace vantorel
