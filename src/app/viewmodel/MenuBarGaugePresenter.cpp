#include "app/viewmodel/MenuBarGaugePresenter.h"

#include "app/viewmodel/AppState.h"
#include "app/viewmodel/DerivedDisplayState.h"
#include "core/model/MenuBarGaugeSelection.h"
#include "core/model/NotificationMessageBuilder.h"
#include "sync/presentation/UsageFreshnessPresentation.h"

#include <QStringList>

#include <cmath>

namespace vantorel {

namespace {

std::optional<double> fiveHourOf(const std::optional<UsageSnapshot>& snapshot)
{
    return snapshot ? snapshot->fiveHourRemainingPercent : std::nullopt;
}

std::optional<double> weeklyOf(const std::optional<UsageSnapshot>& snapshot)
{
    return snapshot ? snapshot->weeklyRemainingPercent : std::nullopt;
}

void appendValueLines(QStringList& lines, const QString& provider, const QList<MenuBarGaugeValue>& values)
{
    for (const auto& value : values) {
        const auto window = value.window == MenuBarUsageWindow::weekly ? u"1W" : u"5h";
        // The gauge draws a non-finite reading as missing; the tool tip says so too, where the
        // percent text alone would read "残り--".
        const bool known = value.remainingPercent && std::isfinite(*value.remainingPercent);
        const auto status = known ? u"残り" + NotificationMessageBuilder::percentText(*value.remainingPercent)
                                  : QStringLiteral("未取得");
        lines.append(provider + u' ' + window + u' ' + status);
    }
}

} // namespace

MenuBarGaugeState MenuBarGaugePresenter::stateOf(const AppState& state, Date claudeNow)
{
    return {
        .settings = state.settings,
        .usageSnapshot = state.usageSnapshot,
        .displayedCodexUsageSnapshot = derived::displayedCodexUsageSnapshot(state),
        .displayedClaudeUsageSnapshot = derived::displayedClaudeUsageSnapshot(state),
        .codexPeriodsNeedConfirmation = derived::codexPeriodsNeedConfirmation(state),
        .claudeUsageDisplayErrorMessage = derived::claudeUsageDisplayErrorMessage(state),
        .claudeNow = claudeNow,
    };
}

bool MenuBarGaugePresenter::codexFiveHourWindowIsTemporarilyUnavailable(const MenuBarGaugeState& state)
{
    if (state.codexPeriodsNeedConfirmation)
        return false;
    return state.usageSnapshot && state.usageSnapshot->codexFiveHourWindowIsTemporarilyUnavailable();
}

QList<MenuBarGaugeValue> MenuBarGaugePresenter::codexMenuBarGaugeValues(const MenuBarGaugeState& state)
{
    return MenuBarGaugeSelection::values(fiveHourOf(state.displayedCodexUsageSnapshot),
                                         weeklyOf(state.displayedCodexUsageSnapshot),
                                         state.settings.showCodexFiveHourInMenuBar,
                                         state.settings.showCodexWeeklyInMenuBar,
                                         codexFiveHourWindowIsTemporarilyUnavailable(state));
}

QList<MenuBarGaugeValue> MenuBarGaugePresenter::claudeMenuBarGaugeValues(const MenuBarGaugeState& state)
{
    return MenuBarGaugeSelection::values(fiveHourOf(state.displayedClaudeUsageSnapshot),
                                         weeklyOf(state.displayedClaudeUsageSnapshot),
                                         state.settings.showClaudeFiveHourInMenuBar,
                                         state.settings.showClaudeWeeklyInMenuBar, false);
}

MenuBarGaugeImageRenderer::Input MenuBarGaugePresenter::menuBarGaugeInput(const MenuBarGaugeState& state)
{
    const auto& settings = state.settings;
    return {
        .codexEnabled = settings.codexEnabled,
        .claudeEnabled = settings.claudeEnabled,
        .codexValues = codexMenuBarGaugeValues(state),
        .claudeValues = claudeMenuBarGaugeValues(state),
        .compact = settings.menuBarCompactMode,
        .labelStyle = settings.menuBarGaugeLabelStyle,
        .codexIdentityStyle = settings.codexMenuBarIdentityStyle,
        .claudeIdentityStyle = settings.claudeMenuBarIdentityStyle,
    };
}

int MenuBarGaugePresenter::menuBarGaugeWidth(const MenuBarGaugeState& state)
{
    return MenuBarGaugeImageRenderer::imageWidth(menuBarGaugeInput(state));
}

QString MenuBarGaugePresenter::menuBarGaugeHelpText(const MenuBarGaugeState& state)
{
    return menuBarGaugeHelpLines(state).join(QStringLiteral(" / "));
}

QStringList MenuBarGaugePresenter::menuBarGaugeHelpLines(const MenuBarGaugeState& state)
{
    const auto& settings = state.settings;
    QStringList services;
    if (settings.codexEnabled) {
        QStringList lines;
        const auto values = codexMenuBarGaugeValues(state);
        appendValueLines(lines, QStringLiteral("Codex"), values);
        if (settings.showCodexFiveHourInMenuBar && codexFiveHourWindowIsTemporarilyUnavailable(state))
            lines.append(QStringLiteral("Codex 5h 一時停止中（自動非表示）"));
        else if (values.isEmpty())
            lines.append(QStringLiteral("Codex 枠表示OFF"));
        if (state.codexPeriodsNeedConfirmation)
            lines.append(QStringLiteral("Codex 利用枠の形式を確認できません"));
        services.append(lines.join(QStringLiteral(" / ")));
    }
    if (settings.claudeEnabled) {
        QStringList lines;
        const auto values = claudeMenuBarGaugeValues(state);
        appendValueLines(lines, QStringLiteral("Claude"), values);
        if (values.isEmpty())
            lines.append(QStringLiteral("Claude 枠表示OFF"));
        if (state.claudeUsageDisplayErrorMessage && state.displayedClaudeUsageSnapshot)
            lines.append(QStringLiteral("Claude 更新できません・最終値、このPCで取得%1")
                             .arg(UsageFreshnessPresentation::age(state.displayedClaudeUsageSnapshot->updatedAt,
                                                                  state.claudeNow)));
        services.append(lines.join(QStringLiteral(" / ")));
    }
    if (services.isEmpty())
        return {QStringLiteral("CodexとClaudeはOFFです。クリックして設定できます。")};
    return services;
}

} // namespace vantorel
