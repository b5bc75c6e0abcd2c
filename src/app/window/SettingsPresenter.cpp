#include "app/window/SettingsPresenter.h"

#include "app/setup/MenuBarTrayNote.h"

#include "core/model/NotificationEligibility.h"
#include "sync/onboarding/OnboardingProgressStore.h"

namespace vantorel {

SettingsPresenter::FlowRow SettingsPresenter::flowRow(Flow flow, const OnboardingProgress& progress)
{
    const bool deferred = progress.state == OnboardingCompletionState::deferred;
    FlowRow row;
    if (flow == Flow::guide) {
        row.title = QStringLiteral("使い方ガイド");
        row.symbol = QStringLiteral("questionmark.circle");
        row.description = QStringLiteral("取得元、更新間隔、iPhone同期、通知、履歴の見方を9画面で確認できます。設定内容は自動変更しません。");
        row.openTitle = deferred ? QStringLiteral("続きから見る") : QStringLiteral("ガイドを開く");
        row.openSymbol = QStringLiteral("book.pages");
    } else {
        row.title = QStringLiteral("初回設定");
        row.symbol = QStringLiteral("slider.horizontal.3");
        row.description = QStringLiteral("サービス、認証、更新、通知、iPhone連携、トレイを順番に確認します。最後の確認までは現在の設定を変更しません。");
        row.openTitle = deferred ? QStringLiteral("続きから設定") : QStringLiteral("初回設定を開く");
        row.openSymbol = QStringLiteral("checklist");
    }
    row.showsRestart = progress.currentStep > 0;
    return row;
}

QList<OnboardingProgress> SettingsPresenter::open(OnboardingProgressStore& store, const OnboardingProgress& current)
{
    QList<OnboardingProgress> published{store.begin()};
    if (current.state == OnboardingCompletionState::completed)
        published.append(store.move(0));
    return published;
}

std::optional<QString> SettingsPresenter::errorLine(const QStringList& activeErrorMessages,
                                                    const std::optional<QString>& claudeUsageErrorMessage)
{
    for (const QString& message : activeErrorMessages) {
        if (!claudeUsageErrorMessage || message != *claudeUsageErrorMessage)
            return message;
    }
    return std::nullopt;
}

SettingsPresenter::ClaudeLine SettingsPresenter::claudeLine(bool claudeEnabled,
                                                            const std::optional<ClaudeUsageFailure>& failure,
                                                            const std::optional<QString>& claudeUsageErrorMessage)
{
    if (!claudeEnabled)
        return ClaudeLine::none;
    if (failure)
        return ClaudeLine::recovery;
    return claudeUsageErrorMessage ? ClaudeLine::message : ClaudeLine::none;
}

QList<SettingsPresenter::ActionButton> SettingsPresenter::actionButtons(const ActionState& state)
{
    const bool claudeBusy = state.isRefreshingClaudeUsage || state.isWaitingForClaudeLogin;
    QList<ActionButton> buttons{{Action::refreshCodex, QStringLiteral("Codexを更新"), QStringLiteral("arrow.clockwise"),
                                 state.codexEnabled && !state.isRefreshingCodexCLI}};
    const auto failure = state.claudeUsageFailure;
    // The failures that the recovery view's own button answers by fetching or signing in again
    // take the Claude refresh button away.
    const bool offersRefresh = !failure || *failure == ClaudeUsageFailure::accessDenied
                               || *failure == ClaudeUsageFailure::unsupportedStorage
                               || *failure == ClaudeUsageFailure::responseFormat;
    if (offersRefresh)
        buttons.append({Action::refreshClaude, QStringLiteral("Claudeを更新"), QStringLiteral("arrow.clockwise"),
                        state.claudeEnabled && !claudeBusy});
    if (!failure)
        buttons.append({Action::claudeAuthentication, QStringLiteral("Claude認証"), QStringLiteral("key"),
                        state.claudeEnabled && !claudeBusy});
    buttons.append({Action::restart, QStringLiteral("再起動"), QStringLiteral("restart"), true});
    buttons.append({Action::quit, QStringLiteral("終了"), QStringLiteral("power"), true});
    return buttons;
}

QString SettingsPresenter::menuBarDescription(const AppSettings& settings)
{
    if (settings.menuBarCompactMode)
        return QStringLiteral("選択した枠のうち、各サービスで最も少ない残量をリング表示します。");
    return settings.menuBarGaugeLabelStyle == MenuBarGaugeLabelStyle::remainingPercent
               ? QStringLiteral("選択した枠だけを表示中。円の横は残り%表示です。")
               : QStringLiteral("選択した枠だけを表示中。円内は期間表示です。");
}

QString SettingsPresenter::menuBarTrayNote(const AppSettings& settings)
{
    return MenuBarTrayNote::text(settings);
}

QString SettingsPresenter::everyoneNote(const AppSettings& settings)
{
    if (settings.discordMentionMigratedFromLegacy)
        return QStringLiteral("全員通知はONです。以前のDiscord設定を引き継いでいます。");
    if (!settings.discordMentionEveryone)
        return QStringLiteral("以前の全員通知設定は、保存済みWebhookの確認待ちです。");
    return QString();
}

QString SettingsPresenter::targetTitle(MonitoredProvider provider, NotificationCategory category)
{
    return QStringLiteral("%1・%2").arg(displayName(provider), label(category));
}

QString SettingsPresenter::targetReasons(const AppSettings& settings, MonitoredProvider provider,
                                         NotificationCategory category)
{
    return QStringLiteral("デスクトップ通知: %1 / Discord: %2")
        .arg(NotificationEligibility::reason(settings, provider, category, NotificationChannel::local),
             NotificationEligibility::reason(settings, provider, category, NotificationChannel::discord));
}

QString SettingsPresenter::secretStoreMissingText()
{
    return QStringLiteral("キーリング（Secret Service）が動いていません。Discord Webhook URL、API Key、iPhoneの接続情報を"
                            "保存できないため、Discord通知、API Keyによる取得、Wi-Fi連携は使えません。");
}

} // namespace vantorel
