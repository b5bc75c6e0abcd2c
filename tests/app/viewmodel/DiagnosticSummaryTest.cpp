#include "app/viewmodel/AppState.h"
#include "app/viewmodel/DiagnosticSummary.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

// 2026/03/07 9:05 in Tokyo, the zone the tests run in.
const Date now = *Date::fromIso8601(u"2026-03-07T00:05:00Z");
const QString nowText = QStringLiteral("2026/03/07 9:05");

QStringList summaryLines(const AppState& state)
{
    return DiagnosticSummary::diagnosticSummaryText(state, now).split(u'\n');
}

TEST(DiagnosticSummary, LinesOfEachProviderAsTheUserSeesThem)
{
    struct Row
    {
        const char* name;
        std::function<void(AppState&)> setUp;
        QStringList expected;
    };
    const QString head[] = {QStringLiteral("Vantorel サマリー"), QStringLiteral("作成: ") + nowText};
    const Row rows[] = {
        {"nothing watched",
         [](AppState& s) { s.settings.codexEnabled = false; },
         {QStringLiteral("監視対象: なし")}},
        {"status error, no reading, API limits without remaining counts",
         [](AppState& s) {
             s.lastErrorMessage = QStringLiteral("接続できません");
             s.apiRateSnapshot = RateLimitSnapshot{.requestLimit = 500, .tokenLimit = 90'000};
         },
         {QStringLiteral("Codex Status: 要確認 (接続できません)"), QStringLiteral("Codex 使用量: 未取得"),
          QStringLiteral("OpenAI API: リクエスト 未取得 / トークン 未取得"), QStringLiteral("確認事項: 接続できません")}},
        {"paused five-hour window, empty credits, an expired banked reset, API numbers all absent",
         [](AppState& s) {
             s.statusSummary.updatedAt = now;
             const BankedResetCredit expired{.id = QStringLiteral("c"), .status = QStringLiteral("available"),
                                             .expiresAt = now - 1};
             s.usageSnapshot = UsageSnapshot{
                 .weeklyRemainingPercent = 70, .creditsRemaining = QString(),
                 .bankedReset = BankedResetSummary{.availableCount = 2, .credits = QList{expired}},
                 .weeklyResetAt = now, .source = UsageSource::codexCLI, .codexPeriodValidationVersion = 1};
             s.apiRateSnapshot = RateLimitSnapshot{};
         },
         {QStringLiteral("Codex Status: 正常 / 更新 ") + nowText,
          QStringLiteral("Codex 使用量: 5時間枠 一時停止中（復活時に自動再開） / 週間枠 70% / クレジット 未取得"),
          QStringLiteral("Codex リセット: 5時間枠 未取得 / 週間枠 ") + nowText, QStringLiteral("Codex リセット券: 残り2回")}},
        {"pasted Claude reading with one reset date, degraded page with an open incident",
         [](AppState& s) {
             s.settings.codexEnabled = false;
             s.settings.claudeEnabled = true;
             s.claudeStatusSummary.overallStatus = OverallCodexState::degraded;
             s.claudeStatusSummary.updatedAt = now;
             s.claudeStatusSummary.incidents = {{.name = QStringLiteral("API errors"), .status = QStringLiteral("identified")}};
             s.claudeUsageSnapshot = UsageSnapshot{.fiveHourRemainingPercent = 71.5, .resetAt = now,
                                                   .source = UsageSource::pasted};
         },
         {QStringLiteral("Claude Status: 不安定 / 更新 ") + nowText,
          QStringLiteral("Claude 使用量: 5時間枠 72% / 週間枠 未取得 / クレジット 未取得"),
          QStringLiteral("Claude リセット: 5時間枠 ") + nowText + QStringLiteral(" / 週間枠 ") + nowText,
          QStringLiteral("進行中のインシデント: API errors")}},
    };
    for (const Row& row : rows) {
        AppState state;
        row.setUp(state);
        EXPECT_EQ(summaryLines(state), QStringList(std::begin(head), std::end(head)) + row.expected) << row.name;
    }
}

} // namespace
} // namespace vantorel
