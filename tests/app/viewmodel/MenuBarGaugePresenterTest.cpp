#include "app/ui/GaugeProbe.h"
#include "app/viewmodel/MenuBarGaugePresenter.h"

#include <gtest/gtest.h>

#include <limits>

namespace vantorel {
namespace {

using namespace gaugetest;
using Presenter = MenuBarGaugePresenter;
using Values = QList<MenuBarGaugeValue>;
constexpr Date presenterNow{800'000'000};

// Codex shows a confirmed CLI reading; with `claude` set, only Claude is on and shows that one.
MenuBarGaugeState showing(std::optional<double> fiveHour, std::optional<double> weekly,
                          std::optional<QString> claudeError = std::nullopt, bool claude = false)
{
    UsageSnapshot snapshot;
    snapshot.fiveHourRemainingPercent = fiveHour;
    snapshot.weeklyRemainingPercent = weekly;
    snapshot.source = claude ? UsageSource::claudeOAuth : UsageSource::codexCLI;
    snapshot.codexPeriodValidationVersion = 1;
    snapshot.updatedAt = presenterNow.addingTimeInterval(-300);
    MenuBarGaugeState state{.claudeUsageDisplayErrorMessage = claudeError, .claudeNow = presenterNow};
    state.settings.codexEnabled = !claude;
    state.settings.claudeEnabled = claude;
    (claude ? state.displayedClaudeUsageSnapshot : state.displayedCodexUsageSnapshot) = snapshot;
    if (!claude)
        state.usageSnapshot = snapshot;
    return state;
}

TEST(MenuBarGaugePresenter, ValuesAndHelpTextFollowSwitchesReadingsAndNotices)
{
    auto switchesOff = showing(37, 80);
    switchesOff.settings.showCodexFiveHourInMenuBar = switchesOff.settings.showCodexWeeklyInMenuBar = false;
    // A confirmed CLI reading with a weekly value only: the five-hour window is paused.
    auto paused = showing(std::nullopt, 60);
    paused.settings.showCodexWeeklyInMenuBar = false;
    auto unconfirmed = showing(std::nullopt, std::nullopt);
    unconfirmed.codexPeriodsNeedConfirmation = true;
    unconfirmed.usageSnapshot->weeklyRemainingPercent = 60;
    auto weeklyOnly = showing(37.5, 99.6);
    weeklyOnly.settings.showCodexFiveHourInMenuBar = false;
    auto bothOff = showing(1, 1);
    bothOff.settings.codexEnabled = false;
    const auto unknown = std::nullopt;

    const std::vector<std::tuple<const char*, MenuBarGaugeState, Values, QString>> cases{
        {"both windows", showing(37, 80), {fiveHour(37), weekly(80)}, "Codex 5h 残り37% / Codex 1W 残り80%"},
        {"rounded, not clamped", showing(37.5, 120), {fiveHour(37.5), weekly(120)},
         "Codex 5h 残り38% / Codex 1W 残り120%"},
        {"weekly switch only", weeklyOnly, {weekly(99.6)}, "Codex 1W 残り100%"},
        {"switches off", switchesOff, {}, "Codex 枠表示OFF"},
        {"paused five-hour", paused, {}, "Codex 5h 一時停止中（自動非表示）"},
        {"unconfirmed", unconfirmed, {fiveHour(unknown), weekly(unknown)},
         "Codex 5h 未取得 / Codex 1W 未取得 / Codex 利用枠の形式を確認できません"},
        {"Claude stale", showing(50, 70, QStringLiteral("x"), true), {fiveHour(unknown), weekly(unknown)},
         "Claude 5h 残り50% / Claude 1W 残り70% / Claude 更新できません・最終値、このPCで取得5分前"},
        {"both off", bothOff, {fiveHour(1), weekly(1)}, "CodexとClaudeはOFFです。クリックして設定できます。"},
    };
    for (const auto& [name, state, codexValues, helpText] : cases) {
        EXPECT_EQ(Presenter::menuBarGaugeHelpText(state), helpText) << name;
        EXPECT_EQ(Presenter::codexMenuBarGaugeValues(state), codexValues) << name;
    }
    EXPECT_TRUE(Presenter::codexFiveHourWindowIsTemporarilyUnavailable(paused));
    EXPECT_FALSE(Presenter::codexFiveHourWindowIsTemporarilyUnavailable(unconfirmed));
    EXPECT_EQ(Presenter::menuBarGaugeHelpText(showing(std::numeric_limits<double>::quiet_NaN(), 5)),
              QStringLiteral("Codex 5h 未取得 / Codex 1W 残り5%"));

    // The tray's tool tip body: each service's lines on one line of their own.
    auto both = showing(50, 70, QStringLiteral("x"), true);
    both.settings.codexEnabled = true;
    both.displayedCodexUsageSnapshot = both.usageSnapshot = unconfirmed.usageSnapshot;
    both.codexPeriodsNeedConfirmation = true;
    EXPECT_EQ(Presenter::menuBarGaugeHelpLines(both),
              (QStringList{"Codex 5h 未取得 / Codex 1W 残り60% / Codex 利用枠の形式を確認できません",
                           "Claude 5h 残り50% / Claude 1W 残り70% / Claude 更新できません・最終値、このPCで取得5分前"}));
    EXPECT_EQ(Presenter::menuBarGaugeHelpText(both), Presenter::menuBarGaugeHelpLines(both).join(u" / "));
    EXPECT_EQ(Presenter::menuBarGaugeHelpLines(bothOff),
              (QStringList{"CodexとClaudeはOFFです。クリックして設定できます。"}));
}

TEST(MenuBarGaugePresenter, WidthEqualsTheRenderedImageWidth)
{
    auto both = showing(100, 8);
    both.settings.claudeEnabled = true;
    both.settings.claudeMenuBarIdentityStyle = MenuBarProviderIdentityStyle::text;
    auto detailed = both;
    detailed.settings.menuBarCompactMode = false;
    detailed.settings.menuBarGaugeLabelStyle = MenuBarGaugeLabelStyle::remainingPercent;
    auto nothing = both;
    nothing.settings.codexEnabled = nothing.settings.claudeEnabled = false;
    for (const auto& state : {both, detailed, nothing}) {
        RendererRig rig;
        EXPECT_EQ(rig.renderer.make(Presenter::menuBarGaugeInput(state)).width(), Presenter::menuBarGaugeWidth(state));
    }
    EXPECT_EQ(Presenter::menuBarGaugeWidth(both), 117);
    EXPECT_EQ(Presenter::menuBarGaugeWidth(nothing), 30);
}

} // namespace
} // namespace vantorel
