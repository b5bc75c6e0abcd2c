#include "app/setup/MacInitialSetupDraft.h"
#include "app/setup/MacInitialSetupPage.h"
#include "app/setup/MacInitialSetupSummary.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace vantorel {
namespace {

// Every field differs from the defaults.
AppSettings everyFieldChanged()
{
    AppSettings s;
    s.launchAtLogin = s.notificationsEnabled = s.codexEnabled = s.claudeStatusEnabled = false;
    s.claudeUsageAutoRefreshEnabled = s.codexCLIAutoRefreshEnabled = s.bankedResetExpiryNotificationsEnabled = false;
    s.menuBarCompactMode = s.backgroundMonitoringEnabled = false;
    s.showCodexFiveHourInMenuBar = s.showCodexWeeklyInMenuBar = false;
    s.showClaudeFiveHourInMenuBar = s.showClaudeWeeklyInMenuBar = false;
    s.claudeEnabled = s.apiRateAutoRefreshEnabled = s.discordResetNotificationsEnabled = true;
    s.discordMentionMigratedFromLegacy = s.claudeAuthenticationAutoRecoveryEnabled = true;
    s.claudeAuthAutoOpenOnExpiry = s.usesSeparateRefreshIntervals = true;
    s.discordMentionEveryone = true;
    s.apiRateModel = QStringLiteral("other-model");
    s.codexCLIExecutablePath = QStringLiteral("/opt/codex");
    s.componentNames = {QStringLiteral("A")};
    s.claudeComponentNames = {QStringLiteral("B")};
    s.setBankedResetExpiryWarningDays(12);
    s.menuBarGaugeLabelStyle = MenuBarGaugeLabelStyle::remainingPercent;
    s.codexMenuBarIdentityStyle = s.claudeMenuBarIdentityStyle = MenuBarProviderIdentityStyle::text;
    s.notificationCategoryOverrides.insert(QStringLiteral("codex.discord.lowBalance"), false);
    s.refreshIntervalSeconds = 900;
    s.codexRefreshIntervalSeconds = 600;
    s.claudeRefreshIntervalSeconds = 1800;
    s.menuDisplayMode = MenuDisplayMode::statusOnly;
    return s;
}

TEST(MacInitialSetupTest, MergeTakesTheWizardFieldsFromTheDraftAndKeepsTheRest)
{
    const std::set<std::string> kept{"menuDisplayMode", "componentNames", "claudeComponentNames",
                                     "apiRateAutoRefreshEnabled", "apiRateModel", "codexCLIExecutablePath",
                                     "discordMentionEveryone", "discordMentionMigratedFromLegacy",
                                     "notificationCategoryOverrides", "claudeAuthAutoOpenOnExpiry"};
    const AppSettings current;
    const MacInitialSetupDraft draft{everyFieldChanged(), false, false};
    const Json merged = toJson(draft.applying(current));
    const Json fromCurrent = toJson(current);
    const Json fromDraft = toJson(draft.settings);
    ASSERT_EQ(merged.size(), 34u);
    for (const auto& [key, value] : merged.items()) {
        ASSERT_NE(fromCurrent.at(key), fromDraft.at(key)) << key;
        EXPECT_EQ(value, kept.count(key) ? fromCurrent.at(key) : fromDraft.at(key)) << key;
    }
}

TEST(MacInitialSetupTest, OnlyChannelsWhoseFlagDiffersAreSwitched)
{
    using Switches = MacInitialSetupDraft::SyncSwitches;
    for (int bits = 0; bits < 16; ++bits) {
        const bool wifiNow = bits & 1, cloudNow = bits & 2, wifiWanted = bits & 4, cloudWanted = bits & 8;
        const MacInitialSetupDraft draft{AppSettings{}, wifiWanted, cloudWanted};
        Switches expected;
        if (wifiNow != wifiWanted)
            expected.wifi = wifiWanted;
        if (cloudNow != cloudWanted)
            expected.cloud = cloudWanted;
        EXPECT_EQ(draft.syncSwitches(wifiNow, cloudNow), expected) << bits;
    }
}

TEST(MacInitialSetupTest, FrameForStoredSteps)
{
    const struct {
        std::int64_t step;
        std::int64_t index;
        const char* counter;
        bool back;
        const char* objectName;
        int spacing;
    } cases[] = {
        {-3, 0, "1 / 7", false, "initial-setup.next", 14},
        {0, 0, "1 / 7", false, "initial-setup.next", 14},
        {5, 5, "6 / 7", true, "initial-setup.next", 12},
        {6, 6, "7 / 7", true, "initial-setup.apply", 11},
        {42, 6, "7 / 7", true, "initial-setup.apply", 11},
    };
    for (const auto& c : cases) {
        const MacInitialSetupFrame frame = MacInitialSetupFrame::forStep(c.step);
        EXPECT_EQ(frame.index, c.index) << c.step;
        EXPECT_EQ(frame.counterText, QString::fromUtf8(c.counter)) << c.step;
        EXPECT_EQ(frame.backEnabled, c.back) << c.step;
        EXPECT_EQ(frame.forwardObjectName, QString::fromUtf8(c.objectName)) << c.step;
        EXPECT_EQ(frame.forwardTitle, frame.forwardApplies ? "この設定で開始" : "次へ") << c.step;
        EXPECT_EQ(frame.contentSpacing, c.spacing) << c.step;
    }
    EXPECT_EQ(MacInitialSetupPage::all().size(), MacInitialSetupPage::stepCount);
}

TEST(MacInitialSetupTest, ReviewSummaries)
{
    auto draftWith = [](auto edit) {
        MacInitialSetupDraft draft;
        edit(draft.settings);
        return draft;
    };
    using Summary = MacInitialSetupSummary;
    const MacInitialSetupDraft defaults;
    EXPECT_EQ(QStringList({Summary::provider(defaults), Summary::authentication(defaults), Summary::refresh(defaults),
                           Summary::background(defaults), Summary::notification(defaults), Summary::sync(defaults),
                           Summary::menuBar(defaults)}),
              QStringList({"Codex", "Codex自動取得ON", "共通 5分", "取得を継続", "デスクトップ通知 ON・Discord OFF", "OFF",
                           "Codex 5h＋1W"}));

    const auto bothOff = draftWith([](AppSettings& s) { s.codexEnabled = false; });
    EXPECT_EQ(Summary::provider(bothOff), "どちらもOFF");
    EXPECT_EQ(Summary::authentication(bothOff), "対象なし");
    EXPECT_EQ(Summary::menuBar(bothOff), "表示対象なし");

    const auto both = draftWith([](AppSettings& s) {
        s.claudeEnabled = true;
        s.codexCLIAutoRefreshEnabled = false;
        s.showCodexWeeklyInMenuBar = false;
        s.showClaudeFiveHourInMenuBar = false;
    });
    EXPECT_EQ(Summary::provider(both), "Codex・Claude");
    EXPECT_EQ(Summary::authentication(both), "Codex自動取得OFF、Claude自動復旧OFF");
    EXPECT_EQ(Summary::menuBar(both), "Codex 5h・Claude 1W");

    const auto claudeHidden = draftWith([](AppSettings& s) {
        s.codexEnabled = false;
        s.claudeEnabled = true;
        s.showClaudeFiveHourInMenuBar = s.showClaudeWeeklyInMenuBar = false;
    });
    EXPECT_EQ(Summary::menuBar(claudeHidden), "Claude 枠非表示");

    for (const auto& [seconds, expected] :
         {std::pair{0, "共通 1分"}, {59, "共通 1分"}, {60, "共通 1分"}, {90, "共通 1分"}, {150, "共通 2分"}}) {
        const auto draft = draftWith([&](AppSettings& s) { s.refreshIntervalSeconds = seconds; });
        EXPECT_EQ(Summary::refresh(draft), QString::fromUtf8(expected)) << seconds;
    }
    const auto separate = draftWith([](AppSettings& s) {
        s.usesSeparateRefreshIntervals = true;
        s.codexRefreshIntervalSeconds = 300;
        s.claudeRefreshIntervalSeconds = 30;
    });
    EXPECT_EQ(Summary::refresh(separate), "Codex 5分・Claude 1分");

    const struct {
        bool wifi;
        bool cloud;
        const char* expected;
    } syncCases[] = {{true, true, "Wi-Fi＋iCloud"}, {true, false, "Wi-Fiのみ"}, {false, true, "iCloudのみ"},
                     {false, false, "OFF"}};
    for (const auto& c : syncCases)
        EXPECT_EQ(Summary::sync({AppSettings{}, c.wifi, c.cloud}), QString::fromUtf8(c.expected));
}

} // namespace
} // namespace vantorel
