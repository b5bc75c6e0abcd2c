#include "SourcesTestSupport.h"
#include "core/sources/ClaudeUsageService.h"
#include "core/sources/ClaudeUsageServiceError.h"

#include <QElapsedTimer>

#include <cmath>

using namespace vantorel;
using namespace vantorel::testing_support;
using ClaudeCode = ClaudeUsageServiceError::Code;

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

std::optional<ClaudeCode> failureOf(const QByteArray& body)
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
    ASSERT_TRUE(snapshot.fiveHourResetAt);
    EXPECT_NEAR(snapshot.fiveHourResetAt->timeIntervalSince1970(), 1'772'362'799.681, 0.001);
    const UsageSnapshot expected{.fiveHourRemainingPercent = 62.5, .weeklyRemainingPercent = 88.0,
                                 .fiveHourResetAt = snapshot.fiveHourResetAt,
                                 .weeklyResetAt = Date::fromUnixSeconds(1'772'668'800), .planType = plan,
                                 .source = UsageSource::claudeOAuth, .updatedAt = readAt};
    EXPECT_EQ(snapshot, expected);
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
                             R"({"five_hour": {"resets_at": "2026-03-01T10:00:00Z"}, "seven_day": "full"})"})
        EXPECT_EQ(failureOf(body), ClaudeCode::missingUsageBuckets) << body;
    for (const QByteArray& body : {QByteArray(), QByteArray("[]"), QByteArray("null"), QByteArray(R"({"five_hour": )"),
                                   QByteArray(100'000, '['), QByteArray(R"({"five_hour": {"utilization": 1e400}})")})
        EXPECT_EQ(failureOf(body), ClaudeCode::invalidResponse) << body.left(20).toStdString();
}

// Forms beyond those the loopback cases below send.
TEST(ClaudeUsageRetryAfter, ReadsOnlyFiniteNonNegativeDecimals)
{
    const std::optional<double> none;
    const QList<std::pair<QByteArray, std::optional<double>>> cases = {
        {" 7 ", 7.0}, {"0", 0.0},  {"1e3", 1000.0}, {"9.2e18", 9.2e18}, {"inf", none},
        {"9223372036854775808", none}, {"", none}, {"0x10", none},   {"12s", none},
    };
    for (const auto& [header, seconds] : cases)
        EXPECT_EQ(ClaudeUsageService::retryAfterSeconds(header), seconds) << header.toStdString();
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

// Fixtures need a name with linkage: GCC rejects a test deriving from an anonymous one when this
// file is part of a unity batch.
namespace claudeUsageServiceTest {

class ClaudeUsageServiceIntegration : public LoopbackServerTest
{
protected:
    ClaudeUsageService makeService(double requestTimeoutSeconds = 2.0)
    {
        return ClaudeUsageService(server.url(path),
                                  loopbackClient(ClaudeUsageService::transportOptions(), requestTimeoutSeconds),
                                  [] { return readAt; });
    }

    TaskOutcome<UsageSnapshot> fetch(ClaudeUsageService& service, const QString& accessToken = "tok-1",
                                     CancelToken token = {})
    {
        return waitForOutcome(service.fetchUsage(accessToken, plan, token));
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

} // namespace claudeUsageServiceTest

using claudeUsageServiceTest::ClaudeUsageServiceIntegration;

TEST_F(ClaudeUsageServiceIntegration, SendsOneAuthenticatedGet)
{
    server.respond(path, answer(200));
    ClaudeUsageService service = makeService();
    const auto outcome = fetch(service, "  sk-ant-oat01-abc\n");
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

TEST_F(ClaudeUsageServiceIntegration, EveryStatusClassAndUnusableBodyMapsToItsCase)
{
    server.respond("/elsewhere", answer(200));
    const auto redirect = [&](int status) { return TestHttpResponse::redirect(server.url("/elsewhere"), status); };
    using Error = ClaudeUsageServiceError;
    const auto limited = Error(ClaudeCode::rateLimited);
    const QList<std::pair<TestHttpResponse, std::optional<Error>>> cases = {
        {answer(200), std::nullopt},
        {answer(204), Error::badHTTPStatus(204)},
        {redirect(302), Error::badHTTPStatus(302)},
        {redirect(308), Error::badHTTPStatus(308)},
        {answer(400), Error::badHTTPStatus(400)},
        {answer(401), Error(ClaudeCode::unauthorized)},
        {answer(403), Error::badHTTPStatus(403)},
        {answer(429), limited},
        {answer(429, "120"), Error::rateLimited(120.0)},
        {answer(429, "2.5"), Error::rateLimited(2.5)},
        {answer(429, "-1"), limited},
        {answer(429, "nan"), limited},
        {answer(429, "1e30"), limited},
        {answer(429, "Wed, 21 Oct 2026 07:28:00 GMT"), limited},
        {answer(500), Error::badHTTPStatus(500)},
        {TestHttpResponse::json("<html>login</html>"), Error(ClaudeCode::invalidResponse)},
        {TestHttpResponse::json(QByteArray(ClaudeUsageService::maximumResponseBytes + 1, ' ')),
         Error(ClaudeCode::invalidResponse)},
        {TestHttpResponse::json(R"({"seven_day_opus": {"utilization": 3}})"), Error(ClaudeCode::missingUsageBuckets)},
    };
    for (const auto& [response, error] : cases) {
        SCOPED_TRACE(testing::Message() << response.status << ' ' << response.body.left(20).toStdString());
        server.enqueue(path, response);
        ClaudeUsageService service = makeService();
        const auto outcome = fetch(service);
        EXPECT_EQ(outcome.value.has_value(), !error);
        EXPECT_EQ(outcome.errorAs<ClaudeUsageServiceError>(), error);
    }
    EXPECT_TRUE(server.requests("/elsewhere").isEmpty()) << "the token followed a redirect";
}

TEST_F(ClaudeUsageServiceIntegration, RefusesATokenThatCannotBeSent)
{
    ClaudeUsageService service = makeService();
    for (const QString token : {"", " \n\t", "tok\r\nX-Evil: 1", "tök"}) {
        SCOPED_TRACE(token.toStdString());
        EXPECT_EQ(fetch(service, token).errorAs<ClaudeUsageServiceError>(),
                  ClaudeUsageServiceError(ClaudeCode::emptyAccessToken));
    }
    EXPECT_EQ(server.requestCount(), 0);
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
    auto task = owned->fetchUsage("tok", plan, token);
    owned.reset();
    const auto cancelled = waitForOutcome(std::move(task));
    EXPECT_TRUE(cancelled.cancelled());
    EXPECT_FALSE(cancelled.errorAs<ClaudeUsageServiceError>());

    CancelToken already;
    already.cancel();
    const int before = server.requestCount();
    EXPECT_TRUE(fetch(service, "tok", already).cancelled());
    EXPECT_EQ(server.requestCount(), before);
}
