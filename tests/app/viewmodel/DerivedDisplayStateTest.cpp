#include "app/viewmodel/AppState.h"
#include "app/viewmodel/DerivedDisplayState.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

UsageSnapshot reading(UsageSource source, std::optional<std::int64_t> version = 1)
{
    UsageSnapshot snapshot;
    snapshot.fiveHourRemainingPercent = 40;
    snapshot.weeklyRemainingPercent = 70;
    snapshot.fiveHourResetAt = Date(100);
    snapshot.planType = QStringLiteral("plus");
    snapshot.source = source;
    snapshot.codexPeriodValidationVersion = version;
    snapshot.updatedAt = Date(500);
    return snapshot;
}

TEST(DerivedDisplayState, UnconfirmedCodexPeriodsShowTheReadingWithoutValues)
{
    AppState state;
    state.usageSnapshot = reading(UsageSource::codexCLI, std::nullopt);
    const auto shown = derived::displayedCodexUsageSnapshot(state);
    ASSERT_TRUE(shown);
    EXPECT_FALSE(shown->fiveHourRemainingPercent || shown->weeklyRemainingPercent || shown->fiveHourResetAt);
    EXPECT_EQ(shown->planType, QStringLiteral("plus"));
    state.usageSnapshot = reading(UsageSource::codexCLI);
    EXPECT_EQ(derived::displayedCodexUsageSnapshot(state), state.usageSnapshot);
    state.settings.codexEnabled = false;
    EXPECT_FALSE(derived::displayedCodexUsageSnapshot(state));
}

TEST(DerivedDisplayState, ClaudeErrorFollowsTheShownReading)
{
    struct Case {
        const char* name;
        std::optional<UsageSnapshot> reading;
        bool hidesOAuth;
        std::optional<QString> error;
        std::optional<Date> failedAt;
        bool shown;
        std::optional<QString> message;
    };
    const auto oauth = reading(UsageSource::claudeOAuth);
    const auto error = QStringLiteral("認証エラー");
    const std::vector<Case> cases{
        {"pasted reading hides the error", reading(UsageSource::pasted), false, error, {}, true, {}},
        {"OAuth reading with error", oauth, false, error, {}, true, error},
        {"hidden OAuth reading", oauth, true, error, {}, false, error},
        {"last values after a failed fetch", oauth, false, {}, Date(500), true,
         QStringLiteral("更新できません・最終値。最後の取得は失敗しています。")},
        {"failure of an older reading", oauth, false, {}, Date(499), true, {}},
    };
    for (const auto& c : cases) {
        AppState state;
        state.settings.claudeEnabled = true;
        state.claudeUsageSnapshot = c.reading;
        state.claudeUsageErrorHidesOAuthSnapshot = c.hidesOAuth;
        state.claudeUsageErrorMessage = c.error;
        state.claudeFailedSnapshotDate = c.failedAt;
        EXPECT_EQ(derived::displayedClaudeUsageSnapshot(state).has_value(), c.shown) << c.name;
        EXPECT_EQ(derived::claudeUsageDisplayErrorMessage(state), c.message) << c.name;
        state.settings.claudeEnabled = false;
        EXPECT_FALSE(derived::claudeUsageDisplayErrorMessage(state)) << c.name;
    }
}

} // namespace
} // namespace vantorel
