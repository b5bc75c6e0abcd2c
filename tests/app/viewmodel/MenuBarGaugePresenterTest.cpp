#include "app/shell/GaugeProbe.h"
#include "app/viewmodel/MenuBarGaugePresenter.h"

#include <gtest/gtest.h>

#include <limits>

namespace vantorel {
namespace {

using namespace gaugetest;
using Presenter = MenuBarGaugePresenter;
constexpr Date now{800'000'000};

UsageSnapshot reading(std::optional<double> fiveHourPercent, std::optional<double> weeklyPercent,
                      UsageSource source = UsageSource::codexCLI)
{
    UsageSnapshot snapshot;
    snapshot.fiveHourRemainingPercent = fiveHourPercent;
    snapshot.weeklyRemainingPercent = weeklyPercent;
    snapshot.source = source;
    snapshot.codexPeriodValidationVersion = 1;
    snapshot.updatedAt = now.addingTimeInterval(-300);
    return snapshot;
}

MenuBarGaugeState codexShowing(std::optional<double> fiveHourPercent, std::optional<double> weeklyPercent)
{
    MenuBarGaugeState state;
    state.usageSnapshot = reading(fiveHourPercent, weeklyPercent);
    state.displayedCodexUsageSnapshot = state.usageSnapshot;
    state.claudeNow = now;
    return state;
}

MenuBarGaugeState claudeShowing(std::optional<UsageSnapshot> snapshot, std::optional<QString> error)
{
    MenuBarGaugeState state;
    state.settings.codexEnabled = false;
    state.settings.claudeEnabled = true;
    state.displayedClaudeUsageSnapshot = snapshot;
    state.claudeUsageDisplayErrorMessage = error;
    state.claudeNow = now;
    return state;
}

TEST(MenuBarGaugePresenter, HelpTextAndValuesFollowSwitchesReadingsAndNotices)
{
    struct Case {
        const char* name;
        MenuBarGaugeState state;
        QList<MenuBarGaugeValue> codexValues;
        QString helpText;
    };
    auto bothOff = codexShowing(37, 80);
    bothOff.settings.showCodexFiveHourInMenuBar = bothOff.settings.showCodexWeeklyInMenuBar = false;
    // A confirmed CLI reading with a weekly value only: the five-hour window is paused.
    auto paused = codexShowing(std::nullopt, 60);
    paused.settings.showCodexWeeklyInMenuBar = false;
    auto unconfirmed = codexShowing(std::nullopt, std::nullopt);
    unconfirmed.codexPeriodsNeedConfirmation = true;
    unconfirmed.usageSnapshot = reading(std::nullopt, 60);
    auto weeklyOnly = codexShowing(37.5, 99.6);
    weeklyOnly.settings.showCodexFiveHourInMenuBar = false;
    auto nothing = codexShowing(1, 1);
    nothing.settings.codexEnabled = false;

    const std::vector<Case> cases{
        {"both windows", codexShowing(37, 80), {fiveHour(37), weekly(80)},
         QStringLiteral("Codex 5h 残り37% / Codex 1W 残り80%")},
        {"rounded, not clamped", codexShowing(37.5, 120), {fiveHour(37.5), weekly(120)},
         QStringLiteral("Codex 5h 残り38% / Codex 1W 残り120%")},
        {"weekly switch only", weeklyOnly, {weekly(99.6)}, QStringLiteral("Codex 1W 残り100%")},
        {"switches off", bothOff, {}, QStringLiteral("Codex 枠表示OFF")},
        {"paused five-hour", paused, {}, QStringLiteral("Codex 5h 一時停止中（自動非表示）")},
        {"unconfirmed periods", unconfirmed, {fiveHour(std::nullopt), weekly(std::nullopt)},
         QStringLiteral("Codex 5h 未取得 / Codex 1W 未取得 / Codex 利用枠の形式を確認できません")},
        {"not finite", codexShowing(std::numeric_limits<double>::quiet_NaN(), std::nullopt), {},
         QStringLiteral("Codex 5h 未取得 / Codex 1W 未取得")},
        {"Claude stale", claudeShowing(reading(50, 70, UsageSource::claudeOAuth), QStringLiteral("x")),
         {fiveHour(std::nullopt), weekly(std::nullopt)},
         QStringLiteral("Claude 5h 残り50% / Claude 1W 残り70% / Claude 更新できません・最終値、Mac取得5分前")},
        {"Claude error without reading", claudeShowing(std::nullopt, QStringLiteral("x")),
         {fiveHour(std::nullopt), weekly(std::nullopt)}, QStringLiteral("Claude 5h 未取得 / Claude 1W 未取得")},
        {"both off", nothing, {fiveHour(1), weekly(1)},
         QStringLiteral("CodexとClaudeはOFFです。クリックして設定できます。")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Presenter::menuBarGaugeHelpText(c.state), c.helpText) << c.name;
        // NaN equals nothing, so that row's values are not compared.
        if (c.name != std::string("not finite")) {
            EXPECT_EQ(Presenter::codexMenuBarGaugeValues(c.state), c.codexValues) << c.name;
        }
    }
    EXPECT_TRUE(Presenter::codexFiveHourWindowIsTemporarilyUnavailable(paused));
    EXPECT_FALSE(Presenter::codexFiveHourWindowIsTemporarilyUnavailable(unconfirmed));
}

TEST(MenuBarGaugePresenter, WidthEqualsTheRenderedImageWidth)
{
    auto both = codexShowing(100, 8);
    both.settings.claudeEnabled = true;
    both.displayedClaudeUsageSnapshot = reading(std::nullopt, 55, UsageSource::claudeOAuth);
    both.settings.claudeMenuBarIdentityStyle = MenuBarProviderIdentityStyle::text;
    auto detailed = both;
    detailed.settings.menuBarCompactMode = false;
    detailed.settings.menuBarGaugeLabelStyle = MenuBarGaugeLabelStyle::remainingPercent;
    auto nothing = both;
    nothing.settings.codexEnabled = nothing.settings.claudeEnabled = false;
    const std::vector<std::pair<MenuBarGaugeState, int>> cases{{both, 117}, {detailed, 0}, {nothing, 30}};
    for (const auto& [state, expected] : cases) {
        RendererRig rig;
        const int width = Presenter::menuBarGaugeWidth(state);
        if (expected) {
            EXPECT_EQ(width, expected);
        }
        EXPECT_EQ(rig.renderer.make(Presenter::menuBarGaugeInput(state)).width(), width);
    }
}

} // namespace
} // namespace vantorel
