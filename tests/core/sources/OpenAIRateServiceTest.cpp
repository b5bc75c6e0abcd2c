#include "SourcesTestSupport.h"
#include "core/foundation/HttpHeaders.h"
#include "core/sources/OpenAIRateService.h"
#include "core/sources/OpenAIRateServiceError.h"

using namespace vantorel;
using namespace vantorel::testing_support;

namespace {

const Date probedAt = Date::fromUnixSeconds(1'772'352'900);

HttpHeaders fullHeaders()
{
    return {
        {"x-ratelimit-limit-requests", "5000"},      {"x-ratelimit-remaining-requests", "4999"},
        {"x-ratelimit-reset-requests", "12ms"},      {"X-RateLimit-Limit-Tokens", "2000000"},
        {"x-ratelimit-remaining-tokens", " 1999978 "}, {"x-ratelimit-reset-tokens", "1h2m3.5s"},
    };
}

std::optional<OpenAIRateServiceError::Code> failureOf(const HttpHeaders& headers)
{
    try {
        OpenAIRateService::snapshot(headers, QStringLiteral("m"), probedAt);
        return std::nullopt;
    } catch (const OpenAIRateServiceError& error) {
        return error.code();
    }
}

} // namespace

TEST(OpenAIRateDurations, ReadsResetDurations)
{
    struct Case
    {
        const char* text;
        std::optional<double> seconds;
    };
    const std::optional<double> none;
    const QList<Case> cases = {
        {"1s", 1.0},         {"6m0s", 360.0},     {"20ms", 0.02},     {"1h2m3.5s", 3723.5},
        {"250us", 0.00025},  {"250\xC2\xB5s", 0.00025}, {"100ns", 1e-7}, {"0s", 0.0},
        {" 7.25s ", 7.25},   {"2h", 7200.0},      {"0.5", 0.5},       {"3", 3.0},
        {"", none},          {"s", none},         {"-1s", none},      {"+1s", none},
        {"1m30", none},      {"1 s", none},       {"1d", none},       {"1.2.3s", none},
        {"1e3s", none},      {"nans", none},      {"infs", none},     {"1mm", none},
        {"1e400s", none},
    };
    EXPECT_EQ(OpenAIRateService::durationSeconds(QByteArray(QByteArray(400, '9') + "h")), none) << "out of range";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto seconds = OpenAIRateService::durationSeconds(c.text);
        ASSERT_EQ(seconds.has_value(), c.seconds.has_value());
        if (seconds) {
            EXPECT_DOUBLE_EQ(*seconds, *c.seconds);
        }
    }
}

TEST(OpenAIRateHeaders, ReadsTheSixHeadersAndLeavesOutWhatItCannotRead)
{
    const RateLimitSnapshot full = OpenAIRateService::snapshot(fullHeaders(), QStringLiteral("gpt-5-codex"), probedAt);
    EXPECT_EQ(full.requestLimit, 5000);
    EXPECT_EQ(full.requestsRemaining, 4999);
    EXPECT_EQ(full.requestResetSeconds, 0.012);
    EXPECT_EQ(full.tokenLimit, 2000000);
    EXPECT_EQ(full.tokensRemaining, 1999978);
    EXPECT_EQ(full.tokenResetSeconds, 3723.5);
    EXPECT_EQ(full.model, QStringLiteral("gpt-5-codex"));
    EXPECT_EQ(full.source, OpenAIRateService::snapshotSource);
    EXPECT_EQ(full.updatedAt, probedAt);

    HttpHeaders odd = fullHeaders();
    odd.set("x-ratelimit-limit-requests", "-5");
    odd.set("x-ratelimit-remaining-requests", "12.5");
    odd.set("x-ratelimit-limit-tokens", "99999999999999999999");
    odd.set("x-ratelimit-remaining-tokens", "");
    odd.set("x-ratelimit-reset-requests", "soon");
    const RateLimitSnapshot partial = OpenAIRateService::snapshot(odd, QStringLiteral("m"), probedAt);
    EXPECT_EQ(partial.requestLimit, std::nullopt);
    EXPECT_EQ(partial.requestsRemaining, std::nullopt);
    EXPECT_EQ(partial.tokenLimit, std::nullopt);
    EXPECT_EQ(partial.tokensRemaining, std::nullopt);
    EXPECT_EQ(partial.requestResetSeconds, std::nullopt);
    EXPECT_EQ(partial.tokenResetSeconds, 3723.5);

    EXPECT_EQ(failureOf({}), OpenAIRateServiceError::Code::missingRateLimitHeaders);
    EXPECT_EQ(failureOf({{"x-request-id", "req_1"}, {"openai-processing-ms", "12"}}),
              OpenAIRateServiceError::Code::missingRateLimitHeaders);
    EXPECT_EQ(failureOf({{"x-ratelimit-limit-requests", "lots"}, {"x-ratelimit-reset-tokens", "later"}}),
              OpenAIRateServiceError::Code::invalidResponse);
    EXPECT_EQ(failureOf({{"x-ratelimit-remaining-tokens", "0"}}), std::nullopt);
}

namespace {

class OpenAIRateServiceIntegration : public LoopbackServerTest
{
protected:
    OpenAIRateService makeService()
    {
        return OpenAIRateService(server.url(QStringLiteral("/v1")),
                                 loopbackClient(OpenAIRateService::transportOptions()),
                                 [] { return probedAt; });
    }

    static TestHttpResponse modelAnswer(int status = 200)
    {
        auto answer = TestHttpResponse::json(R"({"id":"gpt-5-codex","object":"model","owned_by":"system"})", status);
        answer.headers = fullHeaders();
        answer.headers.set("Content-Type", "application/json");
        return answer;
    }

    Outcome<RateLimitSnapshot> fetch(OpenAIRateService& service, const QString& key, const QString& model,
                                     CancelToken token = {})
    {
        return outcomeOf(service.fetchRateLimits(key, model, token));
    }
};

} // namespace

TEST_F(OpenAIRateServiceIntegration, AsksForTheModelWithTheKey)
{
    server.respond(QStringLiteral("/v1/models/gpt-5-codex"), modelAnswer());
    OpenAIRateService service = makeService();
    const auto outcome = fetch(service, QStringLiteral(" sk-test-123\n"), QStringLiteral("  gpt-5-codex "));
    ASSERT_TRUE(outcome.value);
    EXPECT_EQ(outcome.value->model, QStringLiteral("gpt-5-codex"));
    EXPECT_EQ(outcome.value->tokensRemaining, 1999978);
    ASSERT_EQ(server.requestCount(), 1);
    const auto request = server.requests().first();
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.headers.value("Authorization"), QByteArray("Bearer sk-test-123"));

    // A model name is one path segment whatever it holds.
    server.setHandler([](const RecordedHttpRequest&) { return modelAnswer(); });
    const auto odd = fetch(service, QStringLiteral("sk"), QStringLiteral("ft:gpt/4o?x=1#y"));
    ASSERT_TRUE(odd.value);
    EXPECT_EQ(server.requests().last().path, QStringLiteral("/v1/models/ft%3Agpt%2F4o%3Fx%3D1%23y"));
    EXPECT_EQ(server.requests().last().query, QString());
}

TEST_F(OpenAIRateServiceIntegration, RefusesBadInputBeforeSendingAnything)
{
    OpenAIRateService service = makeService();
    for (const QString& model : {QString(), QStringLiteral("  \t\n")}) {
        const auto outcome = fetch(service, QStringLiteral("sk"), model);
        const auto error = outcome.errorAs<OpenAIRateServiceError>();
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), OpenAIRateServiceError::Code::emptyModel);
        EXPECT_EQ(error->message(), QStringLiteral("モデル名が空です。設定でモデル名を入力してください。"));
    }
    for (const QString& key : {QStringLiteral("sk\r\nX-Injected: 1"), QStringLiteral("sk-ü"), QString()})
        EXPECT_EQ(transportError(fetch(service, key, QStringLiteral("m"))), HttpError::Kind::other);
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(OpenAIRateServiceIntegration, StatusesAndRedirectsFailWithTheirCode)
{
    const QString path = QStringLiteral("/v1/models/m");
    server.respond(QStringLiteral("/elsewhere"), modelAnswer());
    struct Case
    {
        TestHttpResponse answer;
        std::optional<int> failure;
    };
    const QList<Case> cases = {
        {modelAnswer(200), std::nullopt},
        {modelAnswer(204), std::nullopt},
        {TestHttpResponse::redirect(server.url(QStringLiteral("/elsewhere")), 302), 302},
        {TestHttpResponse::redirect(server.url(QStringLiteral("/elsewhere")), 307), 307},
        {modelAnswer(401), 401},
        {modelAnswer(404), 404},
        {modelAnswer(429), 429},
        {modelAnswer(500), 500},
        {modelAnswer(503), 503},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer.status);
        server.enqueue(path, c.answer);
        OpenAIRateService service = makeService();
        const auto outcome = fetch(service, QStringLiteral("sk"), QStringLiteral("m"));
        EXPECT_EQ(outcome.value.has_value(), !c.failure);
        if (!c.failure)
            continue;
        const auto error = outcome.errorAs<OpenAIRateServiceError>();
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code(), OpenAIRateServiceError::Code::badHTTPStatus);
        EXPECT_EQ(error->statusCode(), *c.failure);
        EXPECT_EQ(error->message(), QStringLiteral("OpenAI APIが HTTP %1 を返しました。").arg(*c.failure));
    }
    EXPECT_TRUE(server.requests(QStringLiteral("/elsewhere")).isEmpty()) << "the key followed a redirect";
}

TEST_F(OpenAIRateServiceIntegration, MissingHeadersAndOversizedBodies)
{
    const QString path = QStringLiteral("/v1/models/m");
    OpenAIRateService service = makeService();

    server.enqueue(path, TestHttpResponse::json(R"({"id":"m"})"));
    EXPECT_EQ(fetch(service, QStringLiteral("sk"), QStringLiteral("m")).errorAs<OpenAIRateServiceError>(),
              OpenAIRateServiceError(OpenAIRateServiceError::Code::missingRateLimitHeaders));

    auto huge = modelAnswer();
    huge.body = QByteArray(OpenAIRateService::maximumResponseBytes + 1, 'x');
    server.enqueue(path, huge);
    EXPECT_EQ(fetch(service, QStringLiteral("sk"), QStringLiteral("m")).errorAs<OpenAIRateServiceError>(),
              OpenAIRateServiceError(OpenAIRateServiceError::Code::invalidResponse));
}
