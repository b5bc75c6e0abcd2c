#include "SourcesTestSupport.h"
#include "core/sources/UsageParser.h"

#include <QDateTime>
#include <QElapsedTimer>

namespace vantorel {
namespace {

const QTimeZone tokyo("Asia/Tokyo");
// Sunday 2026-03-01, 09:00 in Tokyo.
const Date now = Date::fromUnixSeconds(1'772'323'200);

Date at(int year, int month, int day, int hour, int minute, const QTimeZone& zone = tokyo)
{
    return Date::fromQDateTime(QDateTime(QDate(year, month, day), QTime(hour, minute), zone));
}

struct Expected
{
    std::optional<double> fiveHour;
    std::optional<double> weekly;
    std::optional<Date> fiveHourReset;
    std::optional<Date> weeklyReset;
    std::optional<Date> reset;
    std::optional<QString> credits;
};

enum class Tool { codex, claude };

struct Sample
{
    const char* name;
    Tool tool;
    QString text;
    std::optional<Expected> expected;
};

const QString codexStatus = QStringLiteral(R"(
╭────────────────────────────────────────────────────────────────────────╮
│  >_ OpenAI Codex (v0.46.0)                                             │
│                                                                        │
│  Model:            gpt-5-codex (reasoning medium, summaries auto)      │
│  Directory:        ~/src/app                                           │
│  Session:          0199a213-81c0-7800-8aa1-bbab2a035a53                │
│                                                                        │
│  Context window:   58% left (135K used / 258K)                         │
│  5h limit:         [████████████████░░░░] 72% left (resets 21:02)      │
│  Weekly limit:     [███████████████████░] 97% left (resets 09:15 on 12 Dec) │
│  Credits:          123 credits                                         │
╰────────────────────────────────────────────────────────────────────────╯
)");

// Claude Code 2.1's /usage screen, as wide terminals show it.
const QString claudeUsage = QStringLiteral(R"(
 Current session
 █████                                              10% used
 Resets 9pm (Asia/Tokyo)

 Current week (all models)
 ███████████████                                    30% used
 Resets Dec 12, 8am (Asia/Tokyo)

 Current week (Sonnet only)
                                                    0% used
 Resets Dec 13, 8am (Asia/Tokyo)

 Claude Code and Cowork credit
 ██                                                 4% used
 One-time credit · Expires March 31

 Usage credits
 ██████                                             12% used
 $6.00 / $50.00 spent · Resets Apr 1

 Esc to cancel
)");

std::vector<Sample> samples()
{
    return {
        {"codex: full status box", Tool::codex, codexStatus,
         Expected{72, 97, at(2026, 3, 1, 21, 2), at(2026, 12, 12, 9, 15), std::nullopt, "123 credits"}},
        {"codex: status box with Windows line ends", Tool::codex, QString(codexStatus).replace("\n", "\r\n"),
         Expected{72, 97, at(2026, 3, 1, 21, 2), at(2026, 12, 12, 9, 15), std::nullopt, "123 credits"}},
        {"codex: used share and a relative reset", Tool::codex, "5h limit: [██░░] 28% used (resets in 2h 3m)",
         Expected{72, {}, now + 7'380, {}, {}, {}}},
        {"codex: time already past today means tomorrow", Tool::codex, "5-hour limit: 40% remaining, resets at 8:30am",
         Expected{40, {}, at(2026, 3, 2, 8, 30), {}, {}, {}}},
        {"codex: day and month before the time", Tool::codex, "Weekly limit: 97% left (resets 12 Dec 09:15)",
         Expected{{}, 97, {}, at(2026, 12, 12, 9, 15), {}, {}}},
        {"codex: a day already past this year means next year", Tool::codex,
         "Weekly limit: 97% left (resets 08:00 on 1 Mar)", Expected{{}, 97, {}, at(2027, 3, 1, 8, 0), {}, {}}},
        {"codex: credits only", Tool::codex, "Credits: $12.40", Expected{{}, {}, {}, {}, {}, "$12.40"}},
        {"codex: credit balance", Tool::codex, "Credit balance: $5", Expected{{}, {}, {}, {}, {}, "$5"}},
        {"codex: out-of-range percent is ignored", Tool::codex, "5h limit: 140% left\nWeekly limit: 3% left",
         Expected{{}, 3, {}, {}, {}, {}}},
        {"codex: a long number is not read by its last digits", Tool::codex, "5h limit: 1000% left\n5h limit: 2.5% left",
         Expected{2.5, {}, {}, {}, {}, {}}},
        {"codex: a reset without a window is not used", Tool::codex, "resets 21:02", std::nullopt},
        {"codex: percents of other things", Tool::codex, "Context window: 58% left\nModel: gpt-5 (100% fun)",
         std::nullopt},
        {"codex: empty", Tool::codex, "", std::nullopt},
        {"codex: an overlong line is skipped", Tool::codex, "5h limit: 72% left " + QString(2'000, 'x'), std::nullopt},
        {"codex: an impossible time gives no reset", Tool::codex, "5h limit: 72% left (resets 25:99)",
         Expected{72, {}, {}, {}, {}, {}}},
        {"claude: full usage screen", Tool::claude, claudeUsage,
         Expected{90, 70, at(2026, 3, 1, 21, 0), at(2026, 12, 12, 8, 0), {}, {}}},
        {"claude: another zone", Tool::claude, "Current session\n██ 45% used\nResets 5:59pm (America/Los_Angeles)",
         Expected{55, {}, at(2026, 2, 28, 17, 59, QTimeZone("America/Los_Angeles")), {}, {}, {}}},
        {"claude: per-model week only", Tool::claude, "Current week (Sonnet only)\n 5% used\n Resets Dec 12, 8am", std::nullopt},
        {"claude: narrow screen puts the reset beside the title", Tool::claude,
         "Current session · Resets 9pm (Asia/Tokyo)\n█████\n10% used", Expected{90, {}, at(2026, 3, 1, 21, 0), {}, {}, {}}},
        {"claude: usage credits are not a weekly window", Tool::claude,
         "Current week (all models)\n Resets Mar 2, 2028, 8am (Asia/Tokyo)\n\n Usage credits\n ███ 12% used\n $6.00 / $50.00 spent · Resets Apr 1",
         Expected{{}, {}, {}, at(2028, 3, 2, 8, 0), {}, {}}},
        {"a next-reset line of a notification", Tool::codex, "Weekly limit: 97% left\nNext reset: Dec 12 9:15\n5時間枠: 残り40%\n次回リセット: 2026/03/01 21:02",
         Expected{40, 97, at(2026, 3, 1, 21, 2), at(2026, 12, 12, 9, 15), {}, {}}},
        {"claude: partial screen, week only", Tool::claude, " Current week (all models)\n ███ 30% used",
         Expected{{}, 70, {}, {}, {}, {}}},
        {"claude: a lone reset is the general reset", Tool::claude, "Resets 9pm", Expected{{}, {}, {}, {}, at(2026, 3, 1, 21, 0), {}}},
        {"claude: midnight in UTC at this very moment is the next one", Tool::claude, "Resets 12am (UTC)",
         Expected{{}, {}, {}, {}, at(2026, 3, 2, 0, 0, QTimeZone::utc()), {}}},
        {"claude: relative in hours and minutes", Tool::claude, "Current session\n 50% used\n Resets in 3 hr 20 min",
         Expected{50, {}, now + 12'000, {}, {}, {}}},
        {"claude: a date with its year", Tool::claude, "Resets 2026/03/05 10:00", Expected{{}, {}, {}, {}, at(2026, 3, 5, 10, 0), {}}},
        {"claude: 29 February waits for a leap year", Tool::claude, "Resets Feb 29", Expected{{}, {}, {}, {}, at(2028, 2, 29, 0, 0), {}}},
    };
}

TEST(UsageParserTest, ReadsPastedScreensOfBothToolsInBothLanguages)
{
    for (const Sample& sample : samples()) {
        const auto snapshot = sample.tool == Tool::codex ? UsageParser::parseCodex(sample.text, now, tokyo)
                                                         : UsageParser::parse(sample.text, now, tokyo);
        ASSERT_EQ(snapshot.has_value(), sample.expected.has_value()) << sample.name;
        if (!snapshot)
            continue;
        const Expected& e = *sample.expected;
        const UsageSnapshot expected{
            .fiveHourRemainingPercent = e.fiveHour, .weeklyRemainingPercent = e.weekly, .creditsRemaining = e.credits,
            .resetAt = e.reset, .fiveHourResetAt = e.fiveHourReset, .weeklyResetAt = e.weeklyReset,
            .source = UsageSource::pasted, .updatedAt = now,
            .codexPeriodValidationVersion = sample.tool == Tool::codex ? std::optional<std::int64_t>(1) : std::nullopt};
        EXPECT_EQ(*snapshot, expected) << sample.name;
    }
}

TEST(UsageParserTest, AHugeOrHostileClipboardIsReadQuicklyAndSafely)
{
    const QString line = "5h limit: [" + QString(40, QChar(0x2588)) + "] 90% left (resets in 99999999999999999999d 99h)\n";
    const QString huge = line.repeated(20'000) + QString(5'000'000, QChar('['));
    QElapsedTimer timer;
    timer.start();
    const auto snapshot = UsageParser::parseCodex(huge, now, tokyo);
    EXPECT_LT(timer.elapsed(), 5'000);
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->fiveHourRemainingPercent, 90);

    static const char bytes[] = "\0\xff\xfe 5h limit: \xed\xa0\x80 %";
    const QString binary = QString::fromUtf8(QByteArray(bytes, sizeof bytes - 1));
    EXPECT_FALSE(UsageParser::parse(binary, now, tokyo));
}

TEST(UsageParserTest, ValidatesHandTypedPercentsLikeTheCLocale)
{
    const std::pair<const char*, std::optional<double>> accepted[] = {
        {"100", 100}, {"0", 0}, {"72.5", 72.5}, {"72 %", 72}, {"７２％", 72}, {" 50% ", 50},
        {"1e1", 10}, {"+5", 5}, {"72.", 72}, {"", std::nullopt}, {"  \n", std::nullopt}, {"　", std::nullopt},
    };
    for (const auto& [text, value] : accepted) {
        const auto snapshot = UsageParser::validatedManualSnapshot(QString::fromUtf8(text), "", "c", std::nullopt, now);
        ASSERT_TRUE(snapshot) << text;
        EXPECT_EQ(snapshot->fiveHourRemainingPercent, value) << text;
        const auto weekly = UsageParser::validatedManualSnapshot("", QString::fromUtf8(text), "c", std::nullopt, now);
        ASSERT_TRUE(weekly) << text;
        EXPECT_EQ(weekly->weeklyRemainingPercent, value) << text;
    }
    for (const char* refused : {"101", "-1", "100.0001", "72%%", "72,5", "abc", "nan", "inf", "%", "5 0", "1,000",
                                "0x", "٧٢"}) {
        EXPECT_FALSE(UsageParser::validatedManualSnapshot(QString::fromUtf8(refused), "50", "", std::nullopt, now)) << refused;
        EXPECT_FALSE(UsageParser::validatedManualSnapshot("50", QString::fromUtf8(refused), "", std::nullopt, now)) << refused;
    }
}

TEST(UsageParserTest, BuildsTheManualSnapshotFromWhatWasGiven)
{
    const Date reset = now + 3'600;
    const auto full = UsageParser::validatedManualSnapshot("72", "51", "  $12.40 \n", reset, now);
    ASSERT_TRUE(full);
    EXPECT_EQ(*full, (UsageSnapshot{.fiveHourRemainingPercent = 72, .weeklyRemainingPercent = 51,
                                    .creditsRemaining = "$12.40", .resetAt = reset, .source = UsageSource::manual,
                                    .updatedAt = now}));
    EXPECT_TRUE(full->codexPeriodsAreConfirmed());

    EXPECT_TRUE(UsageParser::validatedManualSnapshot("", "", "12", std::nullopt, now));
    const auto onlyReset = UsageParser::validatedManualSnapshot(" ", "", "  ", reset, now);
    ASSERT_TRUE(onlyReset);
    EXPECT_FALSE(onlyReset->creditsRemaining);
    EXPECT_FALSE(UsageParser::validatedManualSnapshot("", "", " \t", std::nullopt, now));
    EXPECT_FALSE(UsageParser::validatedManualSnapshot("50", "101", "12", reset, now));
}

} // namespace
} // namespace vantorel
