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
    // Not an object: the record does not decode at all.
    EXPECT_FALSE(appSettingsFromJson(json::parseOrThrow("[]")).has_value());
    EXPECT_FALSE(appSettingsFromJson(json::parseOrThrow("\"settings\"")).has_value());
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
    // A provider interval that cannot be read follows the common one.
    expected.codexRefreshIntervalSeconds = 120;
    expected.claudeRefreshIntervalSeconds = 120;
    expected.codexCLIExecutablePath = "/opt/codex/bin/codex";
    expected.componentNames = {"Codex", "API"};
    expected.menuBarGaugeLabelStyle = MenuBarGaugeLabelStyle::remainingPercent;
    expected.notificationCategoryOverrides = {{"codex.local.lowBalance", false}};
    EXPECT_EQ(settings, expected);
}

TEST(AppSettings, AMissingMentionChoiceIsUnsettledOnlyWhileDiscordIsOn)
{
    const std::pair<const char*, std::optional<bool>> cases[] = {
        {R"({"discordResetNotificationsEnabled": true})", std::nullopt},
        {R"({"discordResetNotificationsEnabled": false})", false},
        {R"({"discordResetNotificationsEnabled": true, "discordMentionEveryone": "x"})", std::nullopt},
        {R"({"discordResetNotificationsEnabled": true, "discordMentionEveryone": false})", false},
        {R"({"discordMentionEveryone": true})", true},
    };
    for (const auto& [text, mention] : cases)
        EXPECT_EQ(decoded(text).discordMentionEveryone, mention) << text;
}

TEST(AppSettings, WarningDaysAreClampedWhenSetAndWhenRead)
{
    const std::pair<std::int64_t, std::int64_t> cases[] = {{-5, 1}, {0, 1}, {1, 1}, {30, 30}, {31, 30}};
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
TEST(AppSettings, NotificationGateDecidesDeliveryAndExplainsIt)
{
    using C = NotificationCategory;
    using P = MonitoredProvider;
    using N = NotificationChannel;
    struct Case
    {
        const char* name;
        void (*change)(AppSettings&);
        C category;
        P provider;
        N channel;
        bool enabled;
        const char* reason;
    };
    const Case cases[] = {
        {"allOnLocal", [](AppSettings&) {}, C::lowBalance, P::codex, N::local, true, "対象"},
        {"allOnDiscord", [](AppSettings&) {}, C::serviceIncidents, P::claude, N::discord, true, "対象"},
        {"codexOff", [](AppSettings& s) { s.codexEnabled = false; }, C::actualReset, P::codex, N::local, false, "サービスOFF"},
        {"codexOffLeavesClaude", [](AppSettings& s) { s.codexEnabled = false; }, C::actualReset, P::claude, N::local, true, "対象"},
        {"claudeOff", [](AppSettings& s) { s.claudeEnabled = false; }, C::lowBalance, P::claude, N::discord, false, "サービスOFF"},
        {"localMasterOff", [](AppSettings& s) { s.notificationsEnabled = false; }, C::couponGrant, P::codex, N::local, false, "通知OFF"},
        {"localMasterOffLeavesDiscord", [](AppSettings& s) { s.notificationsEnabled = false; }, C::couponGrant, P::codex, N::discord, true, "対象"},
        {"discordMasterOff", [](AppSettings& s) { s.discordResetNotificationsEnabled = false; }, C::lowBalance, P::codex, N::discord, false, "通知OFF"},
        {"providerOffWinsOverChannel", [](AppSettings& s) { s.codexEnabled = false; s.notificationsEnabled = false; }, C::lowBalance, P::codex, N::local, false, "サービスOFF"},
        {"categoryOff", [](AppSettings& s) { s.setNotificationCategory(C::actualReset, P::claude, N::local, false); }, C::actualReset, P::claude, N::local, false, "項目OFF"},
        {"categoryNotOffered", [](AppSettings&) {}, C::couponExpiry, P::claude, N::local, false, "項目OFF"},
        {"discordIncidentsStartOff", [](AppSettings& s) { s.notificationCategoryOverrides.clear(); }, C::serviceIncidents, P::codex, N::discord, false, "項目OFF"},
        {"expirySwitchOff", [](AppSettings& s) { s.bankedResetExpiryNotificationsEnabled = false; }, C::couponExpiry, P::codex, N::local, false, "期限通知OFF"},
        {"expirySwitchOffLeavesGrant", [](AppSettings& s) { s.bankedResetExpiryNotificationsEnabled = false; }, C::couponGrant, P::codex, N::discord, true, "対象"},
        {"expiryCategoryOffWins", [](AppSettings& s) { s.bankedResetExpiryNotificationsEnabled = false; s.setNotificationCategory(C::couponExpiry, P::codex, N::local, false); }, C::couponExpiry, P::codex, N::local, false, "項目OFF"},
        {"claudeStatusOffDiscord", [](AppSettings& s) { s.claudeStatusEnabled = false; }, C::serviceIncidents, P::claude, N::discord, false, "Status取得OFF"},
        {"claudeStatusOffLeavesCodexIncidents", [](AppSettings& s) { s.claudeStatusEnabled = false; }, C::serviceIncidents, P::codex, N::local, true, "対象"},
        {"claudeStatusOffLeavesClaudeUsage", [](AppSettings& s) { s.claudeStatusEnabled = false; }, C::lowBalance, P::claude, N::local, true, "対象"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AppSettings settings;
        settings.claudeEnabled = true;
        settings.discordResetNotificationsEnabled = true;
        for (const auto provider : allMonitoredProviders)
            for (const auto category : allNotificationCategories)
                settings.setNotificationCategory(category, provider, N::discord, true);
        c.change(settings);
        EXPECT_EQ(settings.isNotificationEnabled(c.category, c.provider, c.channel), c.enabled);
        EXPECT_EQ(NotificationEligibility::reason(settings, c.provider, c.category, c.channel), QString::fromUtf8(c.reason));
    }
}

} // namespace
} // namespace vantorel
