#include "app/viewmodel/AppState.h"
#include "app/viewmodel/DerivedDisplayState.h"
#include "core/model/CodexPeriodValidation.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using State = OverallCodexState;
const std::optional<QString> none;

UsageSnapshot reading(UsageSource source, std::optional<std::int64_t> version = 1)
{
    return {.fiveHourRemainingPercent = 40, .weeklyRemainingPercent = 70, .creditsRemaining = QStringLiteral("5"),
            .resetAt = Date(90), .fiveHourResetAt = Date(100), .weeklyResetAt = Date(200),
            .planType = QStringLiteral("plus"), .source = source, .updatedAt = Date(500),
            .codexPeriodValidationVersion = version};
}

AppState providers(bool codex, bool claude)
{
    AppState state;
    state.settings.codexEnabled = codex;
    state.settings.claudeEnabled = claude;
    return state;
}

TEST(DerivedDisplayState, BothProvidersOffShowNothingToWatch)
{
    const AppState state = providers(false, false);
    EXPECT_EQ(derived::activeProviderTitle(state), QStringLiteral("AI"));
    EXPECT_EQ(derived::planBadgeTexts(state), QStringList{QStringLiteral("待機中")});
    EXPECT_FALSE(derived::autoRefreshIsEnabled(state));
    EXPECT_FALSE(derived::hasEnabledProvider(state));
}

TEST(DerivedDisplayState, OverallStatusTakesTheMostSevereShownPage)
{
    struct Row
    {
        bool codex, claude, claudeStatus;
        State codexState, claudeState, expected;
    };
    const Row rows[] = {
        {true, true, true, State::degraded, State::fetchFailed, State::degraded},
        {true, true, true, State::normal, State::fetchFailed, State::fetchFailed},
        {true, true, true, State::fetchFailed, State::degraded, State::degraded},
        {true, true, true, State::outage, State::degraded, State::outage},
        {true, true, true, State::degraded, State::outage, State::outage},
        {true, true, false, State::normal, State::outage, State::normal},
        {false, true, true, State::outage, State::degraded, State::degraded},
        {false, false, true, State::outage, State::outage, State::normal},
    };
    for (const Row& row : rows) {
        AppState state = providers(row.codex, row.claude);
        state.settings.claudeStatusEnabled = row.claudeStatus;
        state.statusSummary.overallStatus = row.codexState;
        state.claudeStatusSummary.overallStatus = row.claudeState;
        EXPECT_EQ(derived::combinedOverallStatus(state), row.expected)
            << rawValue(row.codexState).toStdString() << " + " << rawValue(row.claudeState).toStdString();
    }
}

TEST(DerivedDisplayState, UnconfirmedCodexPeriodsShowTheReadingWithoutValues)
{
    AppState state = providers(true, false);
    state.usageSnapshot = reading(UsageSource::codexCLI, std::nullopt);
    const auto shown = derived::displayedCodexUsageSnapshot(state);
    ASSERT_TRUE(shown);
    UsageSnapshot expected = *state.usageSnapshot;
    expected.fiveHourRemainingPercent = expected.weeklyRemainingPercent = std::nullopt;
    expected.resetAt = expected.fiveHourResetAt = expected.weeklyResetAt = std::nullopt;
    EXPECT_EQ(*shown, expected);
    EXPECT_EQ(derived::codexUsageDisplayErrorMessage(state), CodexPeriodValidation::unconfirmedMessage());
    EXPECT_EQ(derived::planBadgeTexts(state), QStringList{QStringLiteral("Codex Plus")});
}

TEST(DerivedDisplayState, CodexErrorLineFollowsTheShownReading)
{
    const auto cliError = QStringLiteral("codex が見つかりません");
    struct Row
    {
        const char* name;
        std::optional<UsageSnapshot> snapshot;
        bool cliAuto;
        std::optional<QString> expected;
    };
    const Row rows[] = {
        {"no reading", std::nullopt, true, cliError},
        {"no reading, CLI refresh off", std::nullopt, false, none},
        {"CLI reading", reading(UsageSource::codexCLI), true, cliError},
        {"pasted reading hides the CLI error", reading(UsageSource::pasted), true, none},
        {"manual reading hides the CLI error", reading(UsageSource::manual), true, none},
    };
    for (const Row& row : rows) {
        AppState state = providers(true, false);
        state.usageSnapshot = row.snapshot;
        state.settings.codexCLIAutoRefreshEnabled = row.cliAuto;
        state.codexCLIErrorMessage = cliError;
        EXPECT_EQ(derived::codexUsageDisplayErrorMessage(state), row.expected) << row.name;
    }
}

TEST(DerivedDisplayState, ClaudeErrorFollowsTheShownReading)
{
    const auto oauth = reading(UsageSource::claudeOAuth);
    const auto error = QStringLiteral("認証エラー");
    const auto lastValues = QStringLiteral("更新できません・最終値。最後の取得は失敗しています。");
    const std::optional<Date> never;
    // reading, hidden OAuth reading, error, failed reading's date -> shown, message
    const std::vector<std::tuple<UsageSnapshot, bool, std::optional<QString>, std::optional<Date>, bool,
                                 std::optional<QString>>>
        cases{
            {reading(UsageSource::pasted), false, error, never, true, none},
            {oauth, false, error, never, true, error},
            {oauth, true, error, never, false, error},
            {oauth, false, none, Date(500), true, lastValues},
            {oauth, false, none, Date(499), true, none},
        };
    for (const auto& [snapshot, hides, message, failedAt, shown, expected] : cases) {
        AppState state = providers(false, true);
        state.claudeUsageSnapshot = snapshot;
        state.claudeUsageErrorHidesOAuthSnapshot = hides;
        state.claudeUsageErrorMessage = message;
        state.claudeFailedSnapshotDate = failedAt;
        EXPECT_EQ(derived::displayedClaudeUsageSnapshot(state).has_value(), shown);
        EXPECT_EQ(derived::claudeUsageDisplayErrorMessage(state), expected);
    }
}

TEST(DerivedDisplayState, ErrorListKeepsOrderAndDuplicatesOfEnabledSources)
{
    const auto same = QStringLiteral("通信できません");
    AppState state = providers(true, true);
    state.lastErrorMessage = same;
    state.codexCLIErrorMessage = QStringLiteral("CLI");
    state.apiRateErrorMessage = QStringLiteral("API");
    state.claudeStatusErrorMessage = same;
    state.claudeUsageErrorMessage = QStringLiteral("Claude");
    state.settings.apiRateAutoRefreshEnabled = true;
    EXPECT_EQ(derived::activeErrorMessages(state),
              (QStringList{same, QStringLiteral("CLI"), QStringLiteral("API"), same, QStringLiteral("Claude")}));

    state.settings.apiRateAutoRefreshEnabled = false;
    state.settings.claudeStatusEnabled = false;
    EXPECT_EQ(derived::activeErrorMessages(state), (QStringList{same, QStringLiteral("CLI"), QStringLiteral("Claude")}));
    state.settings.codexEnabled = false;
    state.settings.claudeEnabled = false;
    EXPECT_TRUE(derived::activeErrorMessages(state).isEmpty());
}

TEST(DerivedDisplayState, PlanBadgesComeFromTheShownReadingOrTheLogin)
{
    struct Row
    {
        const char* name;
        std::optional<UsageSnapshot> codex;
        std::optional<UsageSnapshot> claude;
        std::optional<QString> loginPlan;
        QStringList expected;
    };
    UsageSnapshot claudeWithoutPlan = reading(UsageSource::claudeOAuth);
    claudeWithoutPlan.planType.reset();
    UsageSnapshot max = reading(UsageSource::pasted);
    max.planType = QStringLiteral("max");
    const Row rows[] = {
        {"no readings", std::nullopt, std::nullopt, none, {QStringLiteral("Codex"), QStringLiteral("Claude")}},
        {"no readings, logged in", std::nullopt, std::nullopt, QStringLiteral("max_20x"),
         {QStringLiteral("Codex"), QStringLiteral("Claude Max 20x")}},
        {"readings without plan", reading(UsageSource::manual), claudeWithoutPlan, none,
         {QStringLiteral("Codex Plus"), QStringLiteral("Claude ログイン中")}},
        {"pasted Claude plan wins over the login", std::nullopt, max, QStringLiteral("pro"),
         {QStringLiteral("Codex"), QStringLiteral("Claude Max")}},
    };
    for (const Row& row : rows) {
        AppState state = providers(true, true);
        state.usageSnapshot = row.codex;
        state.claudeUsageSnapshot = row.claude;
        state.claudeAuthenticatedPlanType = row.loginPlan;
        EXPECT_EQ(derived::planBadgeTexts(state), row.expected) << row.name;
    }
}

TEST(DerivedDisplayState, ProgressTextsCountStepsFromOne)
{
    using enum OnboardingCompletionState;
    AppState state;
    const std::tuple<OnboardingCompletionState, std::int64_t, const char*, const char*> rows[] = {
        {notPresented, 0, "未確認", "未設定"},
        {deferred, 0, "途中（1/9）", "途中（1/7）"},
        {deferred, 6, "途中（7/9）", "途中（7/7）"},
        {completed, 3, "確認済み", "設定済み"},
    };
    for (const auto& [progress, step, onboarding, initialSetup] : rows) {
        state.onboardingProgress = state.initialSetupProgress = {.version = 1, .state = progress, .currentStep = step};
        EXPECT_EQ(derived::onboardingStatusText(state), QString::fromUtf8(onboarding));
        EXPECT_EQ(derived::initialSetupStatusText(state), QString::fromUtf8(initialSetup));
    }
}

} // namespace
} // namespace vantorel
