#include "SourcesTestSupport.h"
#include "core/model/CodexPeriodValidation.h"
#include "core/sources/CodexCLIUsageError.h"
#include "core/sources/CodexCLIUsageService.h"
#include "support/FakeCodexAppServer.h"
#include "support/ManualClock.h"
#include "support/ManualSleeper.h"
#include "support/TestFiles.h"
#include "support/WaitUntil.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cerrno>

#include <sys/wait.h>

namespace vantorel {
namespace {

using CodexCode = CodexCLIUsageError::Code;

const QString initializeAnswer = QStringLiteral(R"(send {"id":{id},"result":{"userAgent":"fake/1"}})");
const QString rateLimitsAnswer = QStringLiteral(
    R"(send {"id":{id},"result":{"rateLimits":{"primary":{"usedPercent":28,"windowDurationMins":300,"resetsAt":1772330400},)"
    R"("secondary":{"usedPercent":3,"windowDurationMins":10080,"resetsAt":1772841600},)"
    R"("credits":{"hasCredits":true,"unlimited":false,"balance":"123"},"planType":"plus","limitId":"codex"},)"
    R"("rateLimitsByLimitId":null,"rateLimitResetCredits":{"availableCount":1,"credits":null}}})");

Json parsed(const char* text)
{
    return *json::parse(QByteArray(text));
}

bool noChildLeft()
{
    siginfo_t info{};
    return ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == -1 && errno == ECHILD;
}

class CodexCLIUsageServiceTest : public testing::Test
{
public:
    ManualClock clock;
    std::shared_ptr<ManualSleeper> sleeper = std::make_shared<ManualSleeper>(clock);
    CodexCLIUsageService service{QStringList(), 8, {"Vantorel", "1.2.3"}, sleeper, clock.clock()};

    TaskOutcome<UsageSnapshot> fetch(const FakeCodexAppServer& fake, CancelToken token = {})
    {
        return waitForOutcome(service.fetchUsage(fake.executablePath(), token));
    }

    // A reading is handed over before its child is reaped: each test ends once the event loop
    // has reaped them all, so that no process object outlives it.
    void TearDown() override { EXPECT_TRUE(waitUntil(noChildLeft)); }
};

TEST_F(CodexCLIUsageServiceTest, SkipsNoiseAroundTheAnswersAndSpeaksTheProtocol)
{
    FakeCodexAppServer fake({
        "expect",
        R"(send {"method":"configWarning","params":{"summary":"no sandbox"}})",
        R"(send {"id":{id},"method":"item/requestApproval","params":{}})",
        initializeAnswer,
        "expect",
        "expect",
        R"(send {"method":"remoteControl/status/changed","params":{}})",
        "send not json at all",
        "send [1,2,3]",
        // Nested too deeply to be read, though it carries the awaited id.
        R"(send {"id":{id},"result":)" + QString(100'000, QLatin1Char('[')) + QString(100'000, QLatin1Char(']')) + "}",
        R"(send {"id":99,"result":{}})",
        rateLimitsAnswer,
        "drain",
    });
    const UsageSnapshot expected{.fiveHourRemainingPercent = 72.0, .weeklyRemainingPercent = 97.0,
                                 .creditsRemaining = "123", .bankedReset = BankedResetSummary{.availableCount = 1},
                                 .fiveHourResetAt = Date::fromUnixSeconds(1772330400),
                                 .weeklyResetAt = Date::fromUnixSeconds(1772841600), .planType = "plus",
                                 .limitId = "codex", .source = UsageSource::codexCLI, .updatedAt = clock.now(),
                                 .codexPeriodValidationVersion = 1};
    EXPECT_EQ(fetch(fake).value, expected);

    const QStringList log = fake.log();
    ASSERT_GE(log.size(), 4);
    EXPECT_EQ(log[0], R"(args ["app-server"])");
    const Json initialize = *json::parse(log[1].toUtf8());
    EXPECT_EQ(initialize["method"], "initialize");
    EXPECT_EQ(initialize["params"]["clientInfo"], (Json{{"name", "Vantorel"}, {"version", "1.2.3"}}));
    const Json initialized = *json::parse(log[2].toUtf8());
    EXPECT_EQ(initialized["method"], "initialized");
    EXPECT_FALSE(initialized.contains("id"));
    const Json read = *json::parse(log[3].toUtf8());
    EXPECT_EQ(read["method"], "account/rateLimits/read");
    EXPECT_NE(read["id"], initialize["id"]);
}

TEST_F(CodexCLIUsageServiceTest, MapsEveryWayTheChildFailsToAnError)
{
    const QString authError =
        R"(send {"id":{id},"error":{"code":-32600,"message":"codex account authentication required to read rate limits"}})";
    struct Case
    {
        const char* name;
        QStringList scenario;
        CodexCode code;
        std::optional<QString> detail; // none: any text the system gives
    };
    const Case cases[] = {
        {"error answer to the read", {"expect", initializeAnswer, "expect", "expect", authError, "hang"}, CodexCode::rpc,
         "codex account authentication required to read rate limits"},
        {"error answer to initialize without a message",
         {"expect", R"(send {"jsonrpc":"2.0","id":{id},"error":{"code":-32601}})", "hang"}, CodexCode::rpc, "code -32601"},
        {"answer without result or error", {"expect", R"(send {"id":{id}})", "hang"}, CodexCode::rpc, "answer without result"},
        {"a line over the cap", {"expect", "big 1048578", "hang"}, CodexCode::rpc, "answer line over 1 MiB"},
        {"an endless line without a line feed", {"expect", "bytes 2000000", "hang"}, CodexCode::rpc, "answer line over 1 MiB"},
        {"exit before any answer", {"expect", "exit 0"}, CodexCode::processExited, ""},
        {"garbage, then exit", {"expect", "send {\"id\":", "raw \xff\xfe", "exit 1"}, CodexCode::processExited, ""},
        {"exit after initialize", {"expect", initializeAnswer, "exit 0"}, CodexCode::processExited, ""},
        {"crash", {"expect", initializeAnswer, "expect", "signal 9"}, CodexCode::processExited, ""},
        {"no result object", {"expect", initializeAnswer, "expect", "expect", R"(send {"id":{id},"result":[]})", "hang"},
         CodexCode::unconfirmedUsageFormat, ""},
        {"input closed", {"expect", "closein", initializeAnswer, "hang"}, CodexCode::writeFailed, std::nullopt},
    };
    for (const auto& testCase : cases) {
        FakeCodexAppServer fake(testCase.scenario);
        const auto error = fetch(fake).errorAs<CodexCLIUsageError>();
        ASSERT_TRUE(error) << testCase.name;
        EXPECT_EQ(error->code(), testCase.code) << testCase.name;
        if (testCase.detail) {
            EXPECT_EQ(error->detail(), *testCase.detail) << testCase.name;
        } else {
            EXPECT_FALSE(error->detail().isEmpty()) << testCase.name;
        }
    }
}

TEST_F(CodexCLIUsageServiceTest, AnExecutableThatCannotRunIsALaunchFailure)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("codex");
    ASSERT_TRUE(test::writeFileBytes(path, "#!/nonexistent/interpreter\n"));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);

    const auto error = waitForOutcome(service.fetchUsage(path)).errorAs<CodexCLIUsageError>();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), CodexCode::launchFailed);
    EXPECT_FALSE(error->detail().isEmpty());
    EXPECT_EQ(waitForOutcome(service.fetchUsage(dir.filePath("none"))).errorAs<CodexCLIUsageError>(),
              CodexCLIUsageError(CodexCode::executableNotFound));
}

// Whether the child's process is still there (running or not yet reaped) when the reading it
// answered arrives; the awaiting coroutine resumes as the fetch returns, without an event between.
QCoro::Task<bool> childThereWhenTheReadingArrives(QCoro::Task<UsageSnapshot> fetch, qint64 pid)
{
    co_await std::move(fetch);
    co_return QFile::exists(QStringLiteral("/proc/%1").arg(pid));
}

// A reading is handed over as soon as it is read: the child is killed then and reaped afterwards.
TEST_F(CodexCLIUsageServiceTest, AReadingDoesNotWaitForTheChildToBeReaped)
{
    FakeCodexAppServer fake({"pid ready", "expect", initializeAnswer, "expect", "expect", rateLimitsAnswer, "hang"});
    const QString ready = fake.makeFifo("ready");
    auto fetch = service.fetchUsage(fake.executablePath());
    const auto pid = fake.awaitPid(ready);
    ASSERT_TRUE(pid);
    EXPECT_EQ(waitForOutcome(childThereWhenTheReadingArrives(std::move(fetch), *pid)).value, true);
    EXPECT_TRUE(waitUntil([&] { return !QFile::exists(QStringLiteral("/proc/%1").arg(*pid)); }));
}

// Silence until the deadline and a cancelled caller both end the child before the call returns.
TEST_F(CodexCLIUsageServiceTest, TimeOutAndCancellationEndTheChild)
{
    for (const bool cancel : {false, true}) {
        FakeCodexAppServer fake({"pid ready", "expect", initializeAnswer, "hang"});
        const QString ready = fake.makeFifo("ready");
        CancelToken token;
        auto task = service.fetchUsage(fake.executablePath(), token);
        const auto pid = fake.awaitPid(ready);
        ASSERT_TRUE(pid);
        sleeper->advance(7.9);
        cancel ? token.cancel() : sleeper->advance(0.1);
        const auto outcome = waitForOutcome(std::move(task));
        EXPECT_EQ(outcome.cancelled(), cancel);
        EXPECT_EQ(outcome.errorAs<CodexCLIUsageError>(),
                  cancel ? std::nullopt : std::optional(CodexCLIUsageError(CodexCode::timeout)));
        EXPECT_FALSE(QFile::exists(QStringLiteral("/proc/%1").arg(*pid)));
    }
}

// A line that may have been the answer but could not be read turns the end of the wait into an
// error answer; noise that is no message still ends as a time-out.
TEST_F(CodexCLIUsageServiceTest, AnUnreadableAnswerIsReportedWhenTheWaitEnds)
{
    const CodexCLIUsageError unreadable =
        CodexCLIUsageError::rpc("answer could not be read (invalid UTF-8 or nested too deeply)");
    const struct
    {
        const char* name;
        QString line;
        CodexCLIUsageError expected;
    } cases[] = {
        // {"id":2,"result":"\xff"}
        {"invalid UTF-8", "hexline 7b226964223a322c22726573756c74223a22ff227d", unreadable},
        {"nested past the limit",
         R"(send {"id":2,"result":)" + QString(200, QLatin1Char('[')) + QString(200, QLatin1Char(']')) + "}", unreadable},
        {"noise", "send not json at all", CodexCLIUsageError(CodexCode::timeout)},
    };
    for (const auto& testCase : cases) {
        FakeCodexAppServer fake({"expect", testCase.line, initializeAnswer, "expect", "expect", "hang"});
        auto task = service.fetchUsage(fake.executablePath());
        // The client sends its read only after it has taken every line before the answer.
        ASSERT_TRUE(waitUntil([&] { return fake.log().join('\n').contains("account/rateLimits/read"); }))
            << testCase.name;
        sleeper->advance(8);
        EXPECT_EQ(waitForOutcome(std::move(task)).errorAs<CodexCLIUsageError>(), testCase.expected) << testCase.name;
    }
}

TEST(CodexCLIUsageServiceLookupTest, FindsTheSettingsPathThenTheCandidatesThenPath)
{
    QTemporaryDir dir;
    const auto makeFile = [&](const QString& name, bool executable) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.setPermissions(executable ? QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                       : QFile::ReadOwner | QFile::WriteOwner);
        return dir.filePath(name);
    };
    QDir(dir.path()).mkdir("onpath");
    QDir(dir.path()).mkdir("folder");
    const QString configured = makeFile("configured", true);
    const QString plain = makeFile("plain", false);
    const QString candidate = makeFile("candidate", true);
    const QString onPath = makeFile("onpath/codex", true);
    const QString pathVariable = dir.filePath("missing") + ":" + dir.filePath("onpath");
    const QStringList candidates{dir.filePath("none"), plain, dir.filePath("folder"), candidate};

    struct Case
    {
        const char* name;
        std::optional<QString> setting;
        QStringList candidates;
        std::optional<QString> expected;
    };
    const Case cases[] = {
        {"setting is trimmed", "  " + configured + "\n", candidates, configured},
        {"a missing setting does not fall back", dir.filePath("none"), candidates, std::nullopt},
        {"a setting that is not executable", plain, candidates, std::nullopt},
        {"a bare name in the setting is looked up on PATH", QString("codex"), candidates, onPath},
        {"no setting: first executable candidate", std::nullopt, candidates, candidate},
        {"blank setting: candidates", QString("   "), candidates, candidate},
        {"no usable candidate: PATH", QString(), {plain, dir.filePath("folder")}, onPath},
    };
    for (const auto& testCase : cases)
        EXPECT_EQ(CodexCLIUsageService::findExecutable(testCase.setting, testCase.candidates, pathVariable),
                  testCase.expected)
            << testCase.name;
    EXPECT_FALSE(CodexCLIUsageService::findExecutable(std::nullopt, {}, dir.filePath("missing")));
}

TEST(CodexCLIUsageServiceMappingTest, RecognisesWindowsByTheirLength)
{
    const Date now = Date::fromUnixSeconds(1772323200);
    const auto window = [](double used, int minutes) {
        return Json{{"usedPercent", used}, {"windowDurationMins", minutes}};
    };
    const Json absent(Json::value_t::discarded);
    struct Case
    {
        const char* name;
        Json primary;
        Json secondary;
        std::optional<double> fiveHour;
        std::optional<double> weekly;
        bool confirmed;
    };
    const Case cases[] = {
        {"swapped order", window(10, 10080), window(40, 300), 60, 90, true},
        {"weekly only", nullptr, window(5, 10080), {}, 95, true},
        {"no windows", absent, absent, {}, {}, true},
        {"unknown length", window(5, 60), window(5, 10080), {}, 95, false},
        {"no length", {{"usedPercent", 5}}, absent, {}, {}, false},
        {"the same length twice", window(5, 300), window(50, 300), 95, {}, false},
        {"no usage", {{"windowDurationMins", 300}}, absent, {}, {}, false},
        {"a window that is not an object", 7, absent, {}, {}, false},
        {"over and under the range", window(140, 300), window(-3.5, 10080), 0, 100, true},
    };
    for (const auto& testCase : cases) {
        Json rateLimits = Json::object();
        if (!testCase.primary.is_discarded())
            rateLimits["primary"] = testCase.primary;
        if (!testCase.secondary.is_discarded())
            rateLimits["secondary"] = testCase.secondary;
        const UsageSnapshot snapshot = CodexCLIUsageService::usage({{"rateLimits", rateLimits}}, now);
        EXPECT_EQ(snapshot.fiveHourRemainingPercent, testCase.fiveHour) << testCase.name;
        EXPECT_EQ(snapshot.weeklyRemainingPercent, testCase.weekly) << testCase.name;
        EXPECT_EQ(snapshot.codexPeriodsAreConfirmed(), testCase.confirmed) << testCase.name;
        EXPECT_EQ(snapshot.codexPeriodValidationVersion.has_value(), testCase.confirmed) << testCase.name;
    }

    for (const char* unusable : {R"({"rateLimits":null})", R"({"rateLimits":[1]})", R"({})", "[]", "null"}) {
        try {
            CodexCLIUsageService::usage(parsed(unusable), now);
            ADD_FAILURE() << unusable;
        } catch (const CodexCLIUsageError& error) {
            EXPECT_EQ(error.code(), CodexCode::unconfirmedUsageFormat) << unusable;
            EXPECT_EQ(error.message(), CodexPeriodValidation::unconfirmedMessage());
        }
    }
}

TEST(CodexCLIUsageServiceMappingTest, ReadsCreditsPlanAndBankedResets)
{
    const Date now = Date::fromUnixSeconds(1772323200);
    const UsageSnapshot unlimited = CodexCLIUsageService::usage(
        parsed(R"({"rateLimits":{"credits":{"hasCredits":true,"unlimited":true,"balance":"5"},"planType":" ","limitId":null}})"), now);
    EXPECT_EQ(unlimited.creditsRemaining, "無制限");
    EXPECT_FALSE(unlimited.planType);
    EXPECT_FALSE(unlimited.limitId);
    EXPECT_FALSE(unlimited.bankedReset);

    const UsageSnapshot banked = CodexCLIUsageService::usage(parsed(R"({
        "rateLimits":{"credits":{"hasCredits":true,"unlimited":false,"balance":" 12.40 "}},
        "rateLimitResetCredits":{"availableCount":-2,"credits":[
            {"id":"rc_1","resetType":"codexRateLimits","status":"available","grantedAt":1772000000,
             "expiresAt":1774000000,"title":"Reset","description":null},
            {"resetType":"codexRateLimits","status":"available","grantedAt":1772000000},
            "junk",
            {"id":"rc_2","resetType":"unknown","status":"redeemed","grantedAt":1772000001,"expiresAt":null}]}})"),
                                                                 now);
    EXPECT_EQ(banked.creditsRemaining, "12.40");
    ASSERT_TRUE(banked.bankedReset);
    EXPECT_EQ(banked.bankedReset->availableCount, 0);
    const QList<BankedResetCredit> expected{
        {"rc_1", "codexRateLimits", "available", Date::fromUnixSeconds(1772000000), Date::fromUnixSeconds(1774000000),
         "Reset", std::nullopt},
        {"rc_2", "unknown", "redeemed", Date::fromUnixSeconds(1772000001), std::nullopt, std::nullopt, std::nullopt},
    };
    EXPECT_EQ(banked.bankedReset->credits, expected);
}

TEST(CodexCLIUsageErrorTest, EveryCaseHasItsOwnJapaneseMessage)
{
    QStringList messages;
    for (const auto code : CodexCLIUsageError::allCodes)
        messages.append(CodexCLIUsageError(code).message());
    messages.removeDuplicates();
    EXPECT_EQ(messages.size(), qsizetype(CodexCLIUsageError::allCodes.size()));

    const CodexCLIUsageError long_ = CodexCLIUsageError::rpc(QString(500, QChar(0x3042)) + "\n\n tail");
    EXPECT_EQ(long_.detail().size(), CodexCLIUsageError::maximumDetailLength + 1);
    EXPECT_TRUE(long_.message().endsWith(QStringLiteral("…")));
    const CodexCLIUsageError surrogates = CodexCLIUsageError::rpc(QString::fromUtf8("😀").repeated(200));
    EXPECT_FALSE(surrogates.detail().at(surrogates.detail().size() - 2).isHighSurrogate());
}

// Runs the real Codex CLI when one is installed, with an empty Codex home so that no login is
// found: the app-server must answer the read with its authentication error.
TEST(CodexCLIUsageServiceIntegrationTest, RealAppServerWithoutLoginAnswersWithAnError)
{
    const QString codex = QStandardPaths::findExecutable("codex");
    if (codex.isEmpty())
        GTEST_SKIP() << "no codex on PATH";
    QTemporaryDir home;
    const QByteArray previous = qgetenv("CODEX_HOME");
    qputenv("CODEX_HOME", home.path().toUtf8());
    CodexCLIUsageService service({}, 30);
    const auto outcome = waitForOutcome(service.fetchUsage(codex));
    if (previous.isNull())
        qunsetenv("CODEX_HOME");
    else
        qputenv("CODEX_HOME", previous);
    const auto error = outcome.errorAs<CodexCLIUsageError>();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), CodexCode::rpc);
    EXPECT_TRUE(error->detail().contains("authentication required")) << error->detail().toStdString();
}

} // namespace
} // namespace vantorel
