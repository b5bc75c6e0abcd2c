#include "SourcesTestSupport.h"
#include "core/sources/ClaudeUsageService.h"
#include "core/sources/ClaudeUsageServiceError.h"

#include <QElapsedTimer>

#include <cmath>

using namespace vantorel;
using namespace vantorel::testing_support;
using Code = ClaudeUsageServiceError::Code;

namespace {

const Date readAt = Date::fromUnixSeconds(1'772'352'900);
const QString plan = QStringLiteral("max");

// Shaped like the endpoint's answer, with a bucket we ignore and fields we do not read.
const QByteArray usageAnswer = R"json({
  "five_hour": {"utilization": 37.5, "resets_at": "2026-03-01T10:59:59.681467+00:00"},
  "seven_day": {"utilization": 12, "resets_at": "2026-03-05T09:00:00.000+09:00"},
  "seven_day_oauth_apps": null,
  "seven_day_opus": {"utilization": 99, "resets_at": null},
  "extra_usage": {"is_enabled": false}
})json";

std::optional<Code> failureOf(const QByteArray& body)
{
    try {
        ClaudeUsageService::usage(body, plan, readAt);
        return std::nullopt;
    } catch (const ClaudeUsageServiceError& error) {
        return error.code();
    }
}

} // namespace

TEST(ClaudeUsageReading, ReadsBothWindowsFromTheAnswer)
{
    const UsageSnapshot snapshot = ClaudeUsageService::usage(usageAnswer, plan, readAt);
    EXPECT_EQ(snapshot.fiveHourRemainingPercent, 62.5);
    EXPECT_EQ(snapshot.weeklyRemainingPercent, 88.0);
    ASSERT_TRUE(snapshot.fiveHourResetAt);
    EXPECT_NEAR(snapshot.fiveHourResetAt->timeIntervalSince1970(), 1'772'362'799.681, 0.001);
    EXPECT_EQ(snapshot.weeklyResetAt, Date::fromUnixSeconds(1'772'668'800));
    EXPECT_EQ(snapshot.resetAt, std::nullopt);
    EXPECT_EQ(snapshot.planType, plan);
    EXPECT_EQ(snapshot.source, UsageSource::claudeOAuth);
    EXPECT_EQ(snapshot.updatedAt, readAt);
    EXPECT_EQ(snapshot.creditsRemaining, std::nullopt);
    EXPECT_EQ(snapshot.codexPeriodValidationVersion, std::nullopt);
    EXPECT_EQ(ClaudeUsageService::usage(usageAnswer, std::nullopt, readAt).planType, std::nullopt);
}

TEST(ClaudeUsageReading, ClampsSkipsUnusableBucketsAndRefusesWhatIsNotAnAnswer)
{
    struct Case
    {
        const char* body;
        std::optional<double> fiveHour;
        std::optional<double> weekly;
        bool fiveHourReset;
    };
    const QList<Case> cases = {
        {R"({"five_hour": {"utilization": 130, "resets_at": null}, "seven_day": {"utilization": -4}})", 0.0, 100.0,
         false},
        {R"({"five_hour": null, "seven_day": {"utilization": 0.25, "resets_at": "2026-03-05T09:00:00Z"}})",
         std::nullopt, 99.75, false},
        {R"({"five_hour": {"utilization": "37"}, "seven_day": {"utilization": 100}})", std::nullopt, 0.0, false},
        {R"({"five_hour": {"utilization": 10, "resets_at": "tomorrow"}})", 90.0, std::nullopt, false},
        {R"({"five_hour": {"utilization": 10, "resets_at": 1772352900}})", 90.0, std::nullopt, false},
        {R"({"five_hour": {"utilization": 10, "resets_at": "2026-03-01T10:00:00Z"}, "seven_day": []})", 90.0,
         std::nullopt, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        const UsageSnapshot snapshot = ClaudeUsageService::usage(c.body, plan, readAt);
        EXPECT_EQ(snapshot.fiveHourRemainingPercent, c.fiveHour);
        EXPECT_EQ(snapshot.weeklyRemainingPercent, c.weekly);
        EXPECT_EQ(snapshot.fiveHourResetAt.has_value(), c.fiveHourReset);
    }

    for (const char* body : {"{}", R"({"five_hour": null, "seven_day": null})",
                             R"({"seven_day_opus": {"utilization": 20}})",
                             R"({"five_hour": {"resets_at": "2026-03-01T10:00:00Z"}, "seven_day": "full"})"}) {
        SCOPED_TRACE(body);
        EXPECT_EQ(failureOf(body), Code::missingUsageBuckets);
    }
    for (const QByteArray& body : {QByteArray(), QByteArray("<html>"), QByteArray("[]"), QByteArray("null"),
                                   QByteArray(R"({"five_hour": )"), QByteArray(100'000, '['),
                                   QByteArray(R"({"five_hour": {"utilization": 1e400}})")}) {
        SCOPED_TRACE(body.left(20).toStdString());
        EXPECT_EQ(failureOf(body), Code::invalidResponse);
    }
}

TEST(ClaudeUsageRetryAfter, ReadsOnlyFiniteNonNegativeDecimals)
{
    struct Case
    {
        std::optional<QByteArray> header;
        std::optional<double> seconds;
    };
    const std::optional<double> none;
    const QList<Case> cases = {
        {std::nullopt, none},   {"120", 120.0},  {"2.5", 2.5},   {" 7 ", 7.0},
        {"0", 0.0},             {"1e3", 1000.0}, {"9.2e18", 9.2e18},
        {"-1", none},           {"nan", none},   {"inf", none},  {"1e30", none},
        {"9223372036854775808", none},           {"Wed, 21 Oct 2026 07:28:00 GMT", none},
        {"", none},             {"0x10", none},  {"12s", none},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header.value_or("<absent>").toStdString());
        EXPECT_EQ(ClaudeUsageService::retryAfterSeconds(c.header), c.seconds);
    }
}

TEST(ClaudeUsageServiceErrors, MessagesCarryTheirPayload)
{
    EXPECT_EQ(ClaudeUsageServiceError::badHTTPStatus(403).message(),
              QStringLiteral("Claude使用量APIが HTTP 403 を返しました。"));
    // A wait is rounded up and written in full, never in exponent form.
    EXPECT_EQ(ClaudeUsageServiceError::rateLimited(2.5).message(),
              QStringLiteral("Claude使用量APIがレート制限中です。3秒後に再試行できます。"));
    EXPECT_EQ(ClaudeUsageServiceError::rateLimited(9.2e18).message(),
              QStringLiteral("Claude使用量APIがレート制限中です。9200000000000000000秒後に再試行できます。"));
}

namespace {

class ClaudeUsageServiceIntegration : public LoopbackServerTest
{
protected:
    ClaudeUsageService makeService(double requestTimeoutSeconds = 2.0)
    {
        return ClaudeUsageService(server.url(path),
                                  loopbackClient(ClaudeUsageService::transportOptions(), requestTimeoutSeconds),
                                  [] { return readAt; });
    }

    Outcome<UsageSnapshot> fetch(ClaudeUsageService& service, const QString& accessToken = QStringLiteral("tok-1"),
                                 CancelToken token = {})
    {
        return outcomeOf(service.fetchUsage(accessToken, plan, token));
    }

    static TestHttpResponse answer(int status, const char* retryAfter = nullptr)
    {
        auto response = TestHttpResponse::json(status == 200 ? usageAnswer : R"({"error":{"type":"x"}})", status);
        if (retryAfter)
            response.headers.add("Retry-After", retryAfter);
        return response;
    }

    const QString path = QStringLiteral("/api/oauth/usage");
};

} // namespace

TEST_F(ClaudeUsageServiceIntegration, SendsOneAuthenticatedGet)
{
    server.respond(path, answer(200));
    ClaudeUsageService service = makeService();
    const auto outcome = fetch(service, QStringLiteral("  sk-ant-oat01-abc\n"));
    ASSERT_TRUE(outcome.value);
    EXPECT_EQ(outcome.value->fiveHourRemainingPercent, 62.5);
    EXPECT_EQ(outcome.value->planType, plan);
    ASSERT_EQ(server.requestCount(), 1);
    const auto request = server.requests().first();
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.path, path);
    EXPECT_EQ(request.headers.value("authorization"), QByteArray("Bearer sk-ant-oat01-abc"));
    EXPECT_EQ(request.headers.value("anthropic-beta"), QByteArray("oauth-2025-04-20"));
}

TEST_F(ClaudeUsageServiceIntegration, EveryStatusClassMapsToItsCase)
{
    server.respond(QStringLiteral("/elsewhere"), answer(200));
    struct Case
    {
        TestHttpResponse response;
        std::optional<Code> code;
        int status = 0;
        std::optional<double> retryAfter;
    };
    const QList<Case> cases = {
        {answer(200), std::nullopt},
        {answer(204), Code::badHTTPStatus, 204},
        {TestHttpResponse::redirect(server.url(QStringLiteral("/elsewhere")), 302), Code::badHTTPStatus, 302},
        {TestHttpResponse::redirect(server.url(QStringLiteral("/elsewhere")), 308), Code::badHTTPStatus, 308},
        {answer(400), Code::badHTTPStatus, 400},
        {answer(401), Code::unauthorized},
        {answer(403), Code::badHTTPStatus, 403},
        {answer(429), Code::rateLimited},
        {answer(429, "120"), Code::rateLimited, 0, 120.0},
        {answer(429, "2.5"), Code::rateLimited, 0, 2.5},
        {answer(429, "-1"), Code::rateLimited},
        {answer(429, "nan"), Code::rateLimited},
        {answer(429, "1e30"), Code::rateLimited},
        {answer(429, "Wed, 21 Oct 2026 07:28:00 GMT"), Code::rateLimited},
        {answer(500), Code::badHTTPStatus, 500},
        {answer(529), Code::badHTTPStatus, 529},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.response.status);
        server.enqueue(path, c.response);
        ClaudeUsageService service = makeService();
        const auto outcome = fetch(service);
        EXPECT_EQ(outcome.value.has_value(), !c.code);
        if (!c.code)
            continue;
        const auto error = outcome.errorAs<ClaudeUsageServiceError>();
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), *c.code);
        EXPECT_EQ(error->statusCode(), c.status);
        EXPECT_EQ(error->retryAfterSeconds(), c.retryAfter);
    }
    EXPECT_TRUE(server.requests(QStringLiteral("/elsewhere")).isEmpty()) << "the token followed a redirect";
}

TEST_F(ClaudeUsageServiceIntegration, RefusesATokenThatCannotBeSent)
{
    ClaudeUsageService service = makeService();
    for (const QString& token : {QString(), QStringLiteral(" \n\t"), QStringLiteral("tok\r\nX-Evil: 1"),
                                 QStringLiteral("tök")}) {
        SCOPED_TRACE(token.toStdString());
        EXPECT_EQ(fetch(service, token).errorAs<ClaudeUsageServiceError>(),
                  ClaudeUsageServiceError(Code::emptyAccessToken));
    }
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(ClaudeUsageServiceIntegration, MalformedAndOversizedBodiesAreInvalidResponses)
{
    ClaudeUsageService service = makeService();
    for (const QByteArray& body :
         {QByteArray("<html>login</html>"), QByteArray(ClaudeUsageService::maximumResponseBytes + 1, ' ')}) {
        SCOPED_TRACE(body.left(20).toStdString());
        server.enqueue(path, TestHttpResponse::json(body));
        EXPECT_EQ(fetch(service).errorAs<ClaudeUsageServiceError>(), ClaudeUsageServiceError(Code::invalidResponse));
    }
    server.enqueue(path, TestHttpResponse::json(R"({"seven_day_opus": {"utilization": 3}})"));
    EXPECT_EQ(fetch(service).errorAs<ClaudeUsageServiceError>(), ClaudeUsageServiceError(Code::missingUsageBuckets));
}

TEST_F(ClaudeUsageServiceIntegration, TransportFailuresAndCancellationPassThrough)
{
    auto slow = answer(200);
    slow.delaySeconds = 5.0;
    server.enqueue(path, slow);
    ClaudeUsageService impatient = makeService(0.2);
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(transportError(fetch(impatient)), HttpError::Kind::timedOut);
    EXPECT_LT(elapsed.elapsed(), 4000);

    auto cut = answer(200);
    cut.drop = TestHttpResponse::Drop::midBody;
    server.enqueue(path, cut);
    ClaudeUsageService service = makeService();
    EXPECT_EQ(transportError(fetch(service)), HttpError::Kind::networkConnectionLost);

    auto stalled = answer(200);
    stalled.delaySeconds = 30.0;
    server.enqueue(path, stalled);
    CancelToken token;
    cancelOnArrival(token);
    auto owned = std::make_unique<ClaudeUsageService>(makeService());
    auto task = owned->fetchUsage(QStringLiteral("tok"), plan, token);
    owned.reset();
    const auto cancelled = outcomeOf(std::move(task));
    EXPECT_TRUE(cancelled.cancelled());
    EXPECT_FALSE(cancelled.errorAs<ClaudeUsageServiceError>());

    CancelToken already;
    already.cancel();
    const int before = server.requestCount();
    EXPECT_TRUE(fetch(service, QStringLiteral("tok"), already).cancelled());
    EXPECT_EQ(server.requestCount(), before);
}
