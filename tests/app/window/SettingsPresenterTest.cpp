#include "app/setup/RefreshPreferencesView.h"
#include "app/window/ClaudeRecoveryView.h"
#include "app/window/SettingsPresenter.h"
#include "core/foundation/InMemorySettingsStore.h"
#include "sync/onboarding/OnboardingProgressStore.h"

#include <gtest/gtest.h>

#include <functional>

namespace vantorel {
namespace {

using P = SettingsPresenter;
using OnboardingState = OnboardingCompletionState;
using F = ClaudeUsageFailure;

TEST(SettingsPresenterTest, FlowRowsOpenAndRestart)
{
    struct Row
    {
        const char* name;
        P::Flow flow;
        std::optional<OnboardingProgress> stored;
        QString openTitle;
        bool showsRestart;
        OnboardingProgress afterOpen;
    };
    const Row rows[] = {
        {"never opened", P::Flow::guide, std::nullopt, "ガイドを開く", false, {1, OnboardingState::notPresented, 0}},
        {"deferred at step 2 resumes there", P::Flow::guide, OnboardingProgress{1, OnboardingState::deferred, 2}, "続きから見る",
         true, {1, OnboardingState::deferred, 2}},
        {"completed at step 3 opens at 0, still completed", P::Flow::guide, OnboardingProgress{1, OnboardingState::completed, 3},
         "ガイドを開く", true, {1, OnboardingState::completed, 0}},
        {"deferred wizard", P::Flow::setup, OnboardingProgress{1, OnboardingState::deferred, 4}, "続きから設定", true,
         {1, OnboardingState::deferred, 4}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        InMemorySettingsStore defaults;
        OnboardingProgressStore store(defaults, QStringLiteral("flow"), 1, 9);
        if (row.stored) {
            store.begin();
            store.move(row.stored->currentStep);
            if (row.stored->state == OnboardingState::deferred)
                store.deferPresentation();
            else
                store.complete();
            store.move(row.stored->currentStep);
        }
        const OnboardingProgress current = store.load();
        const P::FlowRow texts = P::flowRow(row.flow, current);
        EXPECT_EQ(texts.openTitle, row.openTitle);
        EXPECT_EQ(texts.showsRestart, row.showsRestart);
        const QList<OnboardingProgress> published = P::open(store, current);
        EXPECT_EQ(published.last(), row.afterOpen);
        EXPECT_FALSE(P::flowRow(row.flow, published.last()).showsRestart && row.afterOpen.currentStep == 0);

        const OnboardingProgress restarted = store.restart();
        EXPECT_EQ(restarted, (OnboardingProgress{1, OnboardingState::notPresented, 0}));
        for (const char* suffix : {".version", ".state", ".step"})
            EXPECT_FALSE(defaults.contains(QStringLiteral("flow") + QLatin1String(suffix))) << suffix;
    }
}

TEST(SettingsPresenterTest, ClaudeAndErrorLines)
{
    const QString claude = QStringLiteral("Claude failed");
    const QString other = QStringLiteral("Codex failed");
    struct Row
    {
        QStringList errors;
        std::optional<QString> claudeMessage;
        std::optional<QString> errorLine;
    };
    const Row rows[] = {
        {{}, std::nullopt, std::nullopt},
        {{claude}, claude, std::nullopt},
        {{claude, other}, claude, other},
        {{other, claude}, std::nullopt, other},
        {{claude}, other, claude},
    };
    for (const Row& row : rows)
        EXPECT_EQ(P::errorLine(row.errors, row.claudeMessage), row.errorLine) << row.errors.join('|').toStdString();

    EXPECT_EQ(P::claudeLine(false, F::communication, claude), P::ClaudeLine::none);
    EXPECT_EQ(P::claudeLine(true, F::communication, std::nullopt), P::ClaudeLine::recovery);
    EXPECT_EQ(P::claudeLine(true, std::nullopt, claude), P::ClaudeLine::message);
    EXPECT_EQ(P::claudeLine(true, std::nullopt, std::nullopt), P::ClaudeLine::none);
}

// The grid in one string: titles in order, "-" after a disabled one.
QString grid(const P::ActionState& state)
{
    QStringList cells;
    for (const P::ActionButton& button : P::actionButtons(state))
        cells.append(button.title + (button.enabled ? QString() : QStringLiteral("-")));
    return cells.join(' ');
}

TEST(SettingsPresenterTest, ActionGrid)
{
    const QString all = QStringLiteral("Codexを更新 Claudeを更新 Claude認証 再起動 終了");
    const QString refreshOnly = QStringLiteral("Codexを更新 Claudeを更新 再起動 終了");
    const QString neither = QStringLiteral("Codexを更新 再起動 終了");
    const std::pair<F, QString> failures[] = {
        {F::communication, neither},       {F::rateLimited, neither},        {F::accessDenied, refreshOnly},
        {F::credentialExpired, neither},   {F::reauthenticationRequired, neither}, {F::unsupportedStorage, refreshOnly},
        {F::keychainPermission, neither},  {F::keychainUnavailable, neither}, {F::responseFormat, refreshOnly},
        {F::serviceUnavailable, neither},
    };
    P::ActionState on;
    on.claudeEnabled = true;
    EXPECT_EQ(grid(on), all);
    for (const auto& [failure, expected] : failures) {
        P::ActionState state = on;
        state.claudeUsageFailure = failure;
        EXPECT_EQ(grid(state), expected) << rawValue(failure).toStdString();
    }
    EXPECT_EQ(grid(P::ActionState()), QStringLiteral("Codexを更新 Claudeを更新- Claude認証- 再起動 終了"));
    P::ActionState waiting = on;
    waiting.isWaitingForClaudeLogin = true;
    waiting.codexEnabled = false;
    EXPECT_EQ(grid(waiting), QStringLiteral("Codexを更新- Claudeを更新- Claude認証- 再起動 終了"));
}

TEST(SettingsPresenterTest, RecoveryLabels)
{
    const std::tuple<F, const char*, const char*> rows[] = {
        {F::communication, "Claudeを更新", "arrow.clockwise"},
        {F::rateLimited, "Claudeを更新", "clock"},
        {F::accessDenied, "Claudeの使用量を確認", "arrow.up.right.square"},
        {F::credentialExpired, "Claude Codeを開く", "terminal"},
        {F::reauthenticationRequired, "Claude認証", "key"},
        {F::unsupportedStorage, "保存構成を確認", "arrow.up.right.square"},
        {F::keychainPermission, "認証を再読込", "key"},
        {F::keychainUnavailable, "認証を再読込", "key"},
        {F::responseFormat, "Claudeの使用量を確認", "arrow.up.right.square"},
        {F::serviceUnavailable, "Claudeを更新", "arrow.clockwise"},
    };
    for (const auto& [failure, title, symbol] : rows)
        EXPECT_EQ(ClaudeRecoveryView::recovery(failure),
                  (ClaudeRecoveryView::Recovery{QString::fromUtf8(title), QString::fromUtf8(symbol)}));
}

TEST(SettingsPresenterTest, IntervalSegments)
{
    using S = RefreshPreferencesView::Segment;
    const QList<S> standard{{"1分", 60}, {"5分", 300}, {"15分", 900}, {"30分", 1800}};
    EXPECT_EQ(RefreshPreferencesView::intervalSegments(60), standard);
    EXPECT_EQ(RefreshPreferencesView::intervalSegments(300), standard);
    const std::pair<std::int64_t, const char*> extras[] = {{120, "2分"}, {45, "1分"}, {3600, "60分"}, {1799, "29分"}};
    for (const auto& [seconds, extra] : extras) {
        const QList<S> expected = standard + QList<S>{S{QString::fromUtf8(extra), seconds}};
        EXPECT_EQ(RefreshPreferencesView::intervalSegments(seconds), expected);
    }
}

TEST(SettingsPresenterTest, MenuBarDescriptionAndTargets)
{
    AppSettings settings;
    EXPECT_EQ(P::menuBarDescription(settings), "選択した枠のうち、各サービスで最も少ない残量をリング表示します。");
    settings.menuBarCompactMode = false;
    EXPECT_EQ(P::menuBarDescription(settings), "選択した枠だけを表示中。円内は期間表示です。");
    settings.menuBarGaugeLabelStyle = MenuBarGaugeLabelStyle::remainingPercent;
    EXPECT_EQ(P::menuBarDescription(settings), "選択した枠だけを表示中。円の横は残り%表示です。");
    const QString panelOnly = "「表示形式」（アイコン/文字）は、トレイがないときに出るパネルだけに反映されます。";
    // The number needs room in the centre: the note says it shows on a large tray only.
    EXPECT_EQ(P::menuBarTrayNote(settings), "トレイでは選択した枠ごとの円を表示します。中央の最も少ない残り%は、大きなトレイでだけ表示されます（円が多いほど大きさが必要です）。" + panelOnly);
    settings.menuBarGaugeLabelStyle = MenuBarGaugeLabelStyle::period;
    EXPECT_EQ(P::menuBarTrayNote(settings), "トレイでは選択した枠ごとの円だけを表示します。" + panelOnly);
    settings.menuBarCompactMode = true;
    EXPECT_EQ(P::menuBarTrayNote(settings), "トレイでは各サービス1つの円と、中央に最も少ない残り%を表示します。数字は、トレイのアイコンが小さいと省かれます。" + panelOnly);

    const auto codex = MonitoredProvider::codex;
    const auto claude = MonitoredProvider::claude;
    using C = NotificationCategory;
    struct Row
    {
        const char* name;
        std::function<void(AppSettings&)> tune;
        MonitoredProvider provider;
        C category;
        const char* line;
    };
    const Row rows[] = {
        {"defaults", {}, codex, C::serviceIncidents, "デスクトップ通知: 対象 / Discord: 通知OFF"},
        {"defaults, Claude off", {}, claude, C::lowBalance, "デスクトップ通知: サービスOFF / Discord: サービスOFF"},
        {"Discord on", [](AppSettings& s) { s.discordResetNotificationsEnabled = true; }, codex, C::serviceIncidents,
         "デスクトップ通知: 対象 / Discord: 項目OFF"},
        {"Claude on, its status off", [](AppSettings& s) { s.claudeEnabled = true; s.claudeStatusEnabled = false; },
         claude, C::serviceIncidents, "デスクトップ通知: Status取得OFF / Discord: 通知OFF"},
        {"expiry off", [](AppSettings& s) { s.discordResetNotificationsEnabled = true; s.bankedResetExpiryNotificationsEnabled = false; },
         codex, C::couponExpiry, "デスクトップ通知: 期限通知OFF / Discord: 期限通知OFF"},
    };
    for (const Row& row : rows) {
        AppSettings tuned;
        if (row.tune)
            row.tune(tuned);
        EXPECT_EQ(P::targetReasons(tuned, row.provider, row.category), QString::fromUtf8(row.line)) << row.name;
    }
    EXPECT_EQ(P::targetTitle(codex, C::lowBalance), "Codex・残量低下");
}

} // namespace
} // namespace vantorel
