#include "app/setup/MacOverviewQuickActions.h"
#include "app/window/DashboardPresenter.h"
#include "app/window/ProviderUsageGroupPresenter.h"
#include "app/window/UsageMeterPresenter.h"
#include "core/model/CodexPeriodValidation.h"

#include <gtest/gtest.h>

#include <limits>

namespace vantorel {
namespace {

const QTimeZone tokyo("Asia/Tokyo");
// 2026-12-05 09:05 in Tokyo.
const Date nineOFive = Date::fromUnixSeconds(1'796'429'100);
const double notANumber = std::numeric_limits<double>::quiet_NaN();

UsageSnapshot reading(std::optional<double> fiveHour, std::optional<double> weekly,
                      UsageSource source = UsageSource::codexCLI)
{
    UsageSnapshot snapshot;
    snapshot.fiveHourRemainingPercent = fiveHour;
    snapshot.weeklyRemainingPercent = weekly;
    snapshot.source = source;
    snapshot.updatedAt = nineOFive;
    return snapshot;
}

RateLimitSnapshot rate(std::int64_t requestsRemaining)
{
    RateLimitSnapshot snapshot;
    snapshot.requestLimit = 100;
    snapshot.requestsRemaining = requestsRemaining;
    snapshot.model = QStringLiteral("gpt-4o-mini");
    snapshot.source = QStringLiteral("レート制限ヘッダー");
    snapshot.updatedAt = nineOFive;
    return snapshot;
}

// Both providers on with comfortable readings.
DashboardState healthy()
{
    DashboardState state;
    state.settings.codexEnabled = true;
    state.settings.claudeEnabled = true;
    state.hasEnabledProvider = true;
    state.codexSnapshot = reading(80, 90);
    state.claudeSnapshot = reading(70, 60, UsageSource::claudeOAuth);
    return state;
}

using Change = std::function<void(DashboardState&)>;

TEST(DashboardPresenter, InsightCascade)
{
    const QString unconfirmed = CodexPeriodValidation::unconfirmedMessage();
    const QString limitsNote = QStringLiteral("実際の利用可否には、提供元のその他の制限も適用されます。");
    struct Row {
        const char* name;
        Change change;
        DashboardInsight expected;
    };
    const QList<Row> rows = {
        {"both off wins over everything",
         [](DashboardState& s) {
             s.settings.codexEnabled = s.settings.claudeEnabled = s.hasEnabledProvider = false;
             s.combinedOverallStatus = OverallCodexState::outage;
             s.activeErrorMessages = {QStringLiteral("x")};
         },
         {"pause.circle.fill", "監視は停止中です", "設定でCodexまたはClaudeをONにすると、自動取得を再開します。",
          DashboardTint::secondary}},
        {"outage names the incident",
         [](DashboardState& s) {
             s.combinedOverallStatus = OverallCodexState::outage;
             s.firstActiveIncidentName = QStringLiteral("API障害");
         },
         {"exclamationmark.octagon.fill", "障害を確認してください", "API障害", DashboardTint::red}},
        {"outage without incident", [](DashboardState& s) { s.combinedOverallStatus = OverallCodexState::outage; },
         {"exclamationmark.octagon.fill", "障害を確認してください", "OpenAI または Claude 側で障害が検出されています。",
          DashboardTint::red}},
        {"degraded before usage errors",
         [](DashboardState& s) {
             s.combinedOverallStatus = OverallCodexState::degraded;
             s.codexUsageDisplayErrorMessage = QStringLiteral("CLIエラー");
         },
         {"exclamationmark.triangle.fill", "一部サービスが不安定です",
          "状態ページの詳細を確認してから作業量を調整してください。", DashboardTint::orange}},
        {"fetchFailed falls through",
         [](DashboardState& s) { s.combinedOverallStatus = OverallCodexState::fetchFailed; },
         {"checkmark.seal.fill", "取得済みの残量に警告はありません", limitsNote, DashboardTint::green}},
        {"one usage failure",
         [](DashboardState& s) { s.claudeUsageDisplayErrorMessage = QStringLiteral("Claude認証エラー"); },
         {"exclamationmark.triangle.fill", "Claudeの使用量を取得できていません", "Claude認証エラー",
          DashboardTint::orange}},
        {"two usage failures break the title",
         [](DashboardState& s) {
             s.codexUsageDisplayErrorMessage = QStringLiteral("CLIエラー");
             s.claudeUsageDisplayErrorMessage = QStringLiteral("Claude認証エラー");
         },
         {"exclamationmark.triangle.fill", "Codex・Claudeの使用量を\n取得できていません", "CLIエラー",
          DashboardTint::orange}},
        {"unconfirmed moves to the error list",
         [unconfirmed](DashboardState& s) {
             s.codexUsageDisplayErrorMessage = unconfirmed;
             s.activeErrorMessages = {unconfirmed};
         },
         {"wifi.exclamationmark", "取得できていない情報があります", unconfirmed, DashboardTint::orange}},
        {"empty usage error is no failure",
         [](DashboardState& s) {
             s.codexUsageDisplayErrorMessage = QString();
             s.activeErrorMessages = {QStringLiteral("状態ページエラー"), QString()};
         },
         {"wifi.exclamationmark", "取得できていない情報があります", "状態ページエラー", DashboardTint::orange}},
        {"exactly 20 does not warn", [](DashboardState& s) { s.codexSnapshot = reading(20, 90); },
         {"checkmark.seal.fill", "取得済みの残量に警告はありません", limitsNote, DashboardTint::green}},
        {"19.6 warns orange with a prefix", [](DashboardState& s) { s.codexSnapshot = reading(19.6, 90); },
         {"battery.50", "Codex 5時間枠は残り20%",
          "Codex 20% / Claude 70%。最小値を表示（Codex CLI 自動取得・9:05更新）。", DashboardTint::orange}},
        {"exactly 10 is red", [](DashboardState& s) { s.claudeSnapshot = reading(70, 10, UsageSource::claudeOAuth); },
         {"battery.25", "Claude 週間枠は残り10%",
          "Codex 90% / Claude 10%。最小値を表示（Claude Code 自動取得・9:05更新）。", DashboardTint::red}},
        {"Codex wins a tie with the API",
         [](DashboardState& s) {
             s.settings.claudeEnabled = false;
             s.claudeSnapshot.reset();
             s.codexSnapshot = reading(15, std::nullopt);
             s.apiRateSnapshot = rate(15);
         },
         {"battery.50", "Codex 5時間枠は残り15%", "最小値を表示（Codex CLI 自動取得・9:05更新）。",
          DashboardTint::orange}},
        {"a low API value has no prefix", [](DashboardState& s) { s.apiRateSnapshot = rate(8); },
         {"battery.25", "API リクエストは残り8%", "最小値を表示（レート制限ヘッダー・9:05更新）。", DashboardTint::red}},
        {"API values count only while Codex is on",
         [](DashboardState& s) {
             s.settings.codexEnabled = false;
             s.codexSnapshot.reset();
             s.apiRateSnapshot = rate(8);
         },
         {"checkmark.seal.fill", "取得済みの残量に警告はありません", limitsNote, DashboardTint::green}},
        {"Codex reading missing",
         [](DashboardState& s) {
             s.settings.claudeEnabled = false;
             s.claudeSnapshot.reset();
             s.codexSnapshot.reset();
         },
         {"questionmark.circle", "Codexの使用量は未取得です", "使用量の取得結果を待っています。",
          DashboardTint::secondary}},
        {"both readings without percents",
         [](DashboardState& s) {
             s.codexSnapshot = reading(std::nullopt, std::nullopt);
             s.claudeSnapshot.reset();
         },
         {"questionmark.circle", "Codex・Claudeの使用量は未取得です", "使用量の取得結果を待っています。",
          DashboardTint::secondary}},
        {"non-finite values are no values",
         [](DashboardState& s) {
             s.settings.claudeEnabled = false;
             s.claudeSnapshot.reset();
             s.codexSnapshot = reading(notANumber, std::nullopt);
         },
         {"questionmark.circle", "使用量は未取得です", limitsNote, DashboardTint::secondary}},
    };
    for (const Row& row : rows) {
        DashboardState state = healthy();
        row.change(state);
        EXPECT_EQ(DashboardPresenter::primaryInsight(state, tokyo), row.expected) << row.name;
    }
}

TEST(DashboardPresenter, HeaderSubtitleAndTitle)
{
    DashboardState state = healthy();
    state.activeProviderTitle = QStringLiteral("AI");
    EXPECT_EQ(DashboardPresenter::headerSubtitle(state), "Codex CLI 自動取得 / Claude Code 自動取得");
    EXPECT_EQ(DashboardPresenter::title(state), "AI稼働状況");
    state.codexSnapshot = reading(1, 1, UsageSource::pasted);
    state.claudeSnapshot.reset();
    EXPECT_EQ(DashboardPresenter::headerSubtitle(state), "貼り付け / Claude");
    state.settings.claudeEnabled = false;
    state.codexSnapshot.reset();
    EXPECT_EQ(DashboardPresenter::headerSubtitle(state), "Codex CLI");
    state.settings.codexEnabled = false;
    state.hasEnabledProvider = false;
    EXPECT_EQ(DashboardPresenter::headerSubtitle(state), "すべてOFF");
    EXPECT_EQ(DashboardPresenter::title(state), "AI監視");
}

TEST(DashboardPresenter, HealthOrdersDifferBetweenProviders)
{
    struct Row {
        const char* name;
        Change change;
        DashboardHealth codex;
        DashboardHealth claude;
    };
    const DashboardHealth off{"OFF", DashboardTint::secondary};
    const DashboardHealth manual{"ON・手動", DashboardTint::green};
    const DashboardHealth check{"確認が必要", DashboardTint::orange};
    const DashboardHealth automatic{"自動取得中", DashboardTint::green};
    const QList<Row> rows = {
        {"defaults", [](DashboardState&) {}, automatic, automatic},
        {"off", [](DashboardState& s) { s.settings.codexEnabled = s.settings.claudeEnabled = false; }, off, off},
        {"manual with errors",
         [](DashboardState& s) {
             s.settings.codexCLIAutoRefreshEnabled = false;
             s.settings.claudeStatusEnabled = s.settings.claudeUsageAutoRefreshEnabled = false;
             s.codexUsageDisplayErrorMessage = s.claudeUsageDisplayErrorMessage = QStringLiteral("e");
         },
         manual, check},
        {"manual without errors",
         [](DashboardState& s) { s.settings.claudeStatusEnabled = s.settings.claudeUsageAutoRefreshEnabled = false; },
         automatic, manual},
        {"Claude status error counts only while status is on",
         [](DashboardState& s) {
             s.settings.claudeStatusEnabled = false;
             s.claudeStatusErrorMessage = QStringLiteral("e");
         },
         automatic, automatic},
        {"errors", [](DashboardState& s) {
             s.codexUsageDisplayErrorMessage = QStringLiteral("e");
             s.claudeStatusErrorMessage = QStringLiteral("e");
         },
         check, check},
    };
    for (const Row& row : rows) {
        DashboardState state = healthy();
        row.change(state);
        EXPECT_EQ(DashboardPresenter::codexHealth(state), row.codex) << row.name;
        EXPECT_EQ(DashboardPresenter::claudeHealth(state), row.claude) << row.name;
    }

    DashboardState keyed = healthy();
    keyed.apiKeyIsSaved = true;
    EXPECT_EQ(DashboardPresenter::apiKeyHealth(keyed), (DashboardHealth{"キーリング保存済み", DashboardTint::green}));
}

TEST(DashboardPresenter, CreditTexts)
{
    DashboardState state = healthy();
    EXPECT_EQ(DashboardPresenter::bankedResetCountText(state), "未取得");
    EXPECT_EQ(DashboardPresenter::activeCreditsText(state), std::nullopt);
    state.codexSnapshot->bankedReset = BankedResetSummary{.availableCount = 0};
    EXPECT_EQ(DashboardPresenter::bankedResetCountText(state), "残り0回");
    EXPECT_FALSE(DashboardPresenter::hasBankedResetAvailable(state));
    state.codexSnapshot->creditsRemaining = QString();
    state.claudeSnapshot->creditsRemaining = QStringLiteral("$12.50");
    EXPECT_EQ(DashboardPresenter::activeCreditsText(state), "$12.50");
    state.codexSnapshot->creditsRemaining = QStringLiteral("120 credits");
    EXPECT_EQ(DashboardPresenter::activeCreditsText(state), "120 credits");
}

TEST(UsageMeterPresenter, MeterTextAndColour)
{
    struct Row {
        std::optional<double> percent;
        const char* compact;
        const char* row;
        double fraction;
        DashboardTint fill;
        DashboardTint dot;
    };
    const Row rows[] = {
        {100, "残り100%", "残り 100%", 1, DashboardTint::ink, DashboardTint::green},
        {20, "残り20%", "残り 20%", 0.2, DashboardTint::ink, DashboardTint::green},
        {19.9, "残り20%", "残り 20%", 0.199, DashboardTint::orange, DashboardTint::orange},
        {10.4, "残り10%", "残り 10%", 0.104, DashboardTint::orange, DashboardTint::orange},
        {10, "残り10%", "残り 10%", 0.1, DashboardTint::red, DashboardTint::red},
        {42.5, "残り43%", "残り 43%", 0.425, DashboardTint::ink, DashboardTint::green},
        {130, "残り130%", "残り 130%", 1, DashboardTint::ink, DashboardTint::green},
        {-5, "残り-5%", "残り -5%", 0, DashboardTint::red, DashboardTint::red},
        {notANumber, "未取得", "未取得", 0, DashboardTint::secondary, DashboardTint::secondary},
        {std::nullopt, "未取得", "未取得", 0, DashboardTint::secondary, DashboardTint::secondary},
    };
    for (const Row& row : rows) {
        const QString name = row.percent ? QString::number(*row.percent) : QStringLiteral("absent");
        EXPECT_EQ(UsageMeterPresenter::compactLeftText(row.percent, false, false), row.compact) << name.toStdString();
        EXPECT_EQ(UsageMeterPresenter::rowLeftText(row.percent), row.row) << name.toStdString();
        EXPECT_DOUBLE_EQ(UsageMeterPresenter::fillFraction(row.percent), row.fraction) << name.toStdString();
        EXPECT_EQ(UsageMeterPresenter::fillTint(row.percent), row.fill) << name.toStdString();
        EXPECT_EQ(UsageMeterPresenter::dotTint(row.percent), row.dot) << name.toStdString();
    }
    EXPECT_EQ(UsageMeterPresenter::compactLeftText(50, true, true), "未確認");
    EXPECT_EQ(UsageMeterPresenter::compactLeftText(50, true, false), "一時停止中");
}

TEST(UsageMeterPresenter, ResetTexts)
{
    const Date now = nineOFive;
    EXPECT_EQ(UsageMeterPresenter::compactResetSchedule(50, std::nullopt, true, now, tokyo),
              (ResetScheduleText{"自動復帰", std::nullopt, false}));
    EXPECT_EQ(UsageMeterPresenter::compactResetSchedule(std::nullopt, std::nullopt, false, now, tokyo),
              ResetScheduleText{});
    EXPECT_EQ(UsageMeterPresenter::compactResetSchedule(std::nullopt, now + 3600, false, now, tokyo).primary,
              "今日 10:05 リセット予定");
    EXPECT_EQ(UsageMeterPresenter::compactResetSchedule(50, std::nullopt, false, now, tokyo).primary,
              "リセット予定 未取得");
    EXPECT_EQ(UsageMeterPresenter::rowResetText(now + 300, 3700, now), "リセットまで5分");
    EXPECT_EQ(UsageMeterPresenter::rowResetText(std::nullopt, 3700, now), "リセットまで 1h 1m");
    EXPECT_EQ(UsageMeterPresenter::rowResetText(std::nullopt, std::nullopt, now), "リセット不明");
}

TEST(UsageMeterPresenter, StatusBadgeWords)
{
    const std::optional<QString> none;
    EXPECT_EQ(UsageMeterPresenter::statusBadge(OverallCodexState::normal, none),
              (StatusBadgeLook{"稼働: 正常", DashboardTint::green, false}));
    EXPECT_EQ(UsageMeterPresenter::statusBadge(OverallCodexState::degraded, none),
              (StatusBadgeLook{"稼働: 不安定", DashboardTint::orange, false}));
    EXPECT_EQ(UsageMeterPresenter::statusBadge(OverallCodexState::fetchFailed, none),
              (StatusBadgeLook{"稼働: 取得失敗", DashboardTint::secondary, false}));
    EXPECT_EQ(UsageMeterPresenter::statusBadge(OverallCodexState::outage, QString()),
              (StatusBadgeLook{"稼働: 要確認", DashboardTint::red, true}));
}

TEST(ProviderUsageGroupPresenter, HeaderItemNoteAndResetSource)
{
    const QString unconfirmed = CodexPeriodValidation::unconfirmedMessage();
    struct Row {
        const char* name;
        std::optional<UsageSnapshot> snapshot;
        bool paused;
        std::optional<QString> usageError;
        ProviderHeaderItem header;
        std::optional<QString> note;
    };
    const QList<Row> rows = {
        {"nothing yet", std::nullopt, false, std::nullopt, ProviderHeaderItem::usageNotFetched,
         "使用率の更新を待っています。"},
        {"unconfirmed wins over the failure pill", reading(std::nullopt, std::nullopt), false, unconfirmed,
         ProviderHeaderItem::formatUnconfirmed, "利用枠の形式を確認できません"},
        {"empty error is none", reading(50, 60), false, QString(), ProviderHeaderItem::statusBadge, std::nullopt},
        {"error keeps the last values", reading(50, 60), false, QStringLiteral("e"), ProviderHeaderItem::usageFailure,
         "更新できません・最終値"},
        {"error without values", std::nullopt, false, QStringLiteral("e"), ProviderHeaderItem::usageFailure,
         "使用量を更新できません"},
        {"paused hides the missing window", reading(std::nullopt, 60), true, std::nullopt,
         ProviderHeaderItem::statusBadge, "5時間枠は一時停止中です。復活時は自動で表示します。"},
        {"no percents", reading(std::nullopt, std::nullopt), false, std::nullopt, ProviderHeaderItem::usageNotFetched,
         "使用率項目が応答に含まれていません。"},
        {"no five-hour", reading(std::nullopt, 60), false, std::nullopt, ProviderHeaderItem::statusBadge,
         "5時間枠が応答に含まれていません。"},
        {"no weekly", reading(50, std::nullopt), false, std::nullopt, ProviderHeaderItem::statusBadge,
         "週間枠が応答に含まれていません。"},
    };
    for (const Row& row : rows) {
        ProviderUsageGroupInput input;
        input.snapshot = row.snapshot;
        input.fiveHourWindowIsTemporarilyUnavailable = row.paused;
        input.usageErrorMessage = row.usageError;
        EXPECT_EQ(ProviderUsageGroupPresenter::headerItem(input), row.header) << row.name;
        const auto note = ProviderUsageGroupPresenter::note(input);
        EXPECT_EQ(note ? std::optional(note->text) : std::nullopt, row.note) << row.name;
    }

    UsageSnapshot manual = reading(50, 60, UsageSource::manual);
    manual.resetAt = nineOFive + 60;
    manual.weeklyResetAt = nineOFive + 120;
    EXPECT_EQ(ProviderUsageGroupPresenter::meterResetAt(manual, MenuBarUsageWindow::fiveHour), nineOFive + 60);
    EXPECT_EQ(ProviderUsageGroupPresenter::meterResetAt(manual, MenuBarUsageWindow::weekly), nineOFive + 120);
    UsageSnapshot cli = manual;
    cli.source = UsageSource::codexCLI;
    EXPECT_EQ(ProviderUsageGroupPresenter::meterResetAt(cli, MenuBarUsageWindow::fiveHour), std::nullopt);
}

TEST(MacOverviewQuickActions, EnabledVisibleAndSymbol)
{
    using Layout = MacOverviewQuickActions::Layout;
    const QString idle = QStringLiteral("arrow.clockwise");
    const QString busy = QStringLiteral("hourglass");
    struct Row {
        bool codex, claude, refreshing;
        Layout expected;
    };
    const Row rows[] = {
        {false, false, false, {idle, false, false, false, false}},
        {true, false, false, {idle, true, true, true, false}},
        {false, true, false, {idle, true, true, false, true}},
        {true, true, false, {idle, true, true, true, true}},
        {true, true, true, {busy, false, true, true, true}},
        {false, false, true, {busy, false, false, false, false}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(MacOverviewQuickActions::layout(row.codex, row.claude, row.refreshing), row.expected)
            << row.codex << row.claude << row.refreshing;
}

} // namespace
} // namespace vantorel
