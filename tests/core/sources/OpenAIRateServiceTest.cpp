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

std::optional<OpenAIRateServiceError::Code> rateFailureOf(const HttpHeaders& headers)
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
        {" 7.25s ", 7.25},   {"2h", 7200.0},      {"0.5", 0.5},
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
    const RateLimitSnapshot full{5000, 4999, 2000000, 1999978, 0.012, 3723.5, "gpt-5-codex",
                                 OpenAIRateService::snapshotSource, probedAt};
    EXPECT_EQ(OpenAIRateService::snapshot(fullHeaders(), "gpt-5-codex", probedAt), full);

    HttpHeaders odd = fullHeaders();
    odd.set("x-ratelimit-limit-requests", "-5");
    odd.set("x-ratelimit-remaining-requests", "12.5");
    odd.set("x-ratelimit-limit-tokens", "99999999999999999999");
    odd.set("x-ratelimit-remaining-tokens", "");
    odd.set("x-ratelimit-reset-requests", "soon");
    const RateLimitSnapshot partial{.tokenResetSeconds = 3723.5, .model = "m",
                                    .source = OpenAIRateService::snapshotSource, .updatedAt = probedAt};
    EXPECT_EQ(OpenAIRateService::snapshot(odd, "m", probedAt), partial);

    EXPECT_EQ(rateFailureOf({}), OpenAIRateServiceError::Code::missingRateLimitHeaders);
    EXPECT_EQ(rateFailureOf({{"x-request-id", "req_1"}, {"openai-processing-ms", "12"}}),
              OpenAIRateServiceError::Code::missingRateLimitHeaders);
    EXPECT_EQ(rateFailureOf({{"x-ratelimit-limit-requests", "lots"}, {"x-ratelimit-reset-tokens", "later"}}),
              OpenAIRateServiceError::Code::invalidResponse);
    EXPECT_EQ(rateFailureOf({{"x-ratelimit-remaining-tokens", "0"}}), std::nullopt);
}

// Fixtures need a name with linkage: GCC rejects a test deriving from an anonymous one when this
// file is part of a unity batch.
namespace openAIRateServiceTest {

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

    TaskOutcome<RateLimitSnapshot> fetch(OpenAIRateService& service, const QString& key, const QString& model)
    {
        return waitForOutcome(service.fetchRateLimits(key, model));
    }

    std::optional<OpenAIRateServiceError> errorOf(const QString& key = "sk", const QString& model = "m")
    {
        OpenAIRateService service = makeService();
        return fetch(service, key, model).errorAs<OpenAIRateServiceError>();
    }
};

} // namespace openAIRateServiceTest

using openAIRateServiceTest::OpenAIRateServiceIntegration;

TEST_F(OpenAIRateServiceIntegration, AsksForTheModelWithTheKey)
{
    server.respond("/v1/models/gpt-5-codex", modelAnswer());
    OpenAIRateService service = makeService();
    const auto outcome = fetch(service, " sk-test-123\n", "  gpt-5-codex ");
    ASSERT_TRUE(outcome.value);
    EXPECT_EQ(outcome.value->model, "gpt-5-codex");
    EXPECT_EQ(outcome.value->tokensRemaining, 1999978);
    ASSERT_EQ(server.requestCount(), 1);
    const auto request = server.requests().first();
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.headers.value("Authorization"), QByteArray("Bearer sk-test-123"));

    // A model name is one path segment whatever it holds.
    server.setHandler([](const RecordedHttpRequest&) { return modelAnswer(); });
    const auto odd = fetch(service, "sk", "ft:gpt/4o?x=1#y");
    ASSERT_TRUE(odd.value);
    EXPECT_EQ(server.requests().last().path, "/v1/models/ft%3Agpt%2F4o%3Fx%3D1%23y");
    EXPECT_EQ(server.requests().last().query, QString());
}

TEST_F(OpenAIRateServiceIntegration, RefusesBadInputBeforeSendingAnything)
{
    for (const QString model : {"", "  \t\n"}) {
        const auto error = errorOf("sk", model);
        ASSERT_EQ(error, OpenAIRateServiceError(OpenAIRateServiceError::Code::emptyModel));
        EXPECT_EQ(error->message(), "モデル名が空です。設定でモデル名を入力してください。");
    }
    OpenAIRateService service = makeService();
    for (const QString key : {"sk\r\nX-Injected: 1", "sk-ü", ""})
        EXPECT_EQ(transportError(fetch(service, key, "m")), HttpError::Kind::other);
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(OpenAIRateServiceIntegration, StatusesRedirectsAndUnusableAnswersFailWithTheirCase)
{
    server.respond("/elsewhere", modelAnswer());
    const auto redirect = [&](int status) { return TestHttpResponse::redirect(server.url("/elsewhere"), status); };
    auto huge = modelAnswer();
    huge.body = QByteArray(OpenAIRateService::maximumResponseBytes + 1, 'x');
    using Error = OpenAIRateServiceError;
    const QList<std::pair<TestHttpResponse, std::optional<Error>>> cases = {
        {modelAnswer(200), std::nullopt},
        {modelAnswer(204), std::nullopt},
        {redirect(302), Error::badHTTPStatus(302)},
        {redirect(307), Error::badHTTPStatus(307)},
        {modelAnswer(401), Error::badHTTPStatus(401)},
        {modelAnswer(404), Error::badHTTPStatus(404)},
        {modelAnswer(429), Error::badHTTPStatus(429)},
        {modelAnswer(503), Error::badHTTPStatus(503)},
        {TestHttpResponse::json(R"({"id":"m"})"), Error(Error::Code::missingRateLimitHeaders)},
        {huge, Error(Error::Code::invalidResponse)},
    };
    for (const auto& [answer, error] : cases) {
        SCOPED_TRACE(testing::Message() << answer.status << ' ' << answer.body.left(20).toStdString());
        server.enqueue("/v1/models/m", answer);
        OpenAIRateService service = makeService();
        const auto outcome = fetch(service, "sk", "m");
        EXPECT_EQ(outcome.value.has_value(), !error);
        EXPECT_EQ(outcome.errorAs<Error>(), error);
    }
    EXPECT_EQ(Error::badHTTPStatus(429).message(), "OpenAI APIが HTTP 429 を返しました。");
    EXPECT_TRUE(server.requests("/elsewhere").isEmpty()) << "the key followed a redirect";
}
