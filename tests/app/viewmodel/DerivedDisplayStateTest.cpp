#include "app/viewmodel/AppState.h"
#include "app/viewmodel/DerivedDisplayState.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

UsageSnapshot reading(UsageSource source, std::optional<std::int64_t> version = 1)
{
    return {.fiveHourRemainingPercent = 40, .fiveHourResetAt = Date(100), .planType = QStringLiteral("plus"),
            .source = source, .updatedAt = Date(500), .codexPeriodValidationVersion = version};
}

TEST(DerivedDisplayState, UnconfirmedCodexPeriodsShowTheReadingWithoutValues)
{
    AppState state;
    state.usageSnapshot = reading(UsageSource::codexCLI, std::nullopt);
    const auto shown = derived::displayedCodexUsageSnapshot(state);
    ASSERT_TRUE(shown);
    EXPECT_FALSE(shown->fiveHourRemainingPercent || shown->fiveHourResetAt);
    EXPECT_EQ(shown->planType, QStringLiteral("plus"));
}

TEST(DerivedDisplayState, ClaudeErrorFollowsTheShownReading)
{
    const auto oauth = reading(UsageSource::claudeOAuth);
    const std::optional<QString> error = QStringLiteral("認証エラー"), none;
    const std::optional<Date> never;
    // reading, OAuth reading hidden, error, date of the failed fetch's reading -> shown, message
    const std::vector<std::tuple<UsageSnapshot, bool, std::optional<QString>, std::optional<Date>, bool,
                                 std::optional<QString>>>
        cases{
            {reading(UsageSource::pasted), false, error, never, true, none},
            {oauth, false, error, never, true, error},
            {oauth, true, error, never, false, error},
            {oauth, false, none, Date(500), true, QStringLiteral("更新できません・最終値。最後の取得は失敗しています。")},
            {oauth, false, none, Date(499), true, none},
        };
    for (const auto& [snapshot, hides, message, failedAt, shown, expected] : cases) {
        AppState state;
        state.settings.claudeEnabled = true;
        state.claudeUsageSnapshot = snapshot;
        state.claudeUsageErrorHidesOAuthSnapshot = hides;
        state.claudeUsageErrorMessage = message;
        state.claudeFailedSnapshotDate = failedAt;
        EXPECT_EQ(derived::displayedClaudeUsageSnapshot(state).has_value(), shown);
        EXPECT_EQ(derived::claudeUsageDisplayErrorMessage(state), expected);
    }
}

} // namespace
} // namespace vantorel
