#include "core/rules/DiscordWebhookService.h"

#include "core/foundation/CancellationError.h"
#include "core/foundation/HttpClient.h"
#include "core/foundation/Json.h"
#include "core/rules/DiscordWebhookError.h"
#include "support/LoopbackTransport.h"
#include "support/TestHttpServer.h"

#include <QTcpServer>

#include <gtest/gtest.h>

#include <variant>

namespace vantorel {
namespace {

template<typename Case>
std::string caseName(const testing::TestParamInfo<Case>& info)
{
    return info.param.name;
}

// ---- URL validation -------------------------------------------------------------------------

struct ValidCase
{
    const char* name;
    const char* input;
    const char* url;
    const char* webhookID;
    const char* threadID; // nullptr: none
};

void PrintTo(const ValidCase& c, std::ostream* os)
{
    *os << c.name;
}

class DiscordWebhookValidURL : public testing::TestWithParam<ValidCase>
{
};

TEST_P(DiscordWebhookValidURL, IsRebuiltWithWaitTrue)
{
    const ValidCase& c = GetParam();
    const auto url = DiscordWebhookService::validatedURL(QString::fromUtf8(c.input));
    ASSERT_TRUE(url.has_value());
    EXPECT_EQ(url->url, QString::fromUtf8(c.url));
    EXPECT_EQ(url->webhookID, QString::fromUtf8(c.webhookID));
    EXPECT_EQ(url->threadID, c.threadID ? std::optional(QString::fromUtf8(c.threadID)) : std::nullopt);
    EXPECT_TRUE(DiscordWebhookService::isValidWebhookURL(QString::fromUtf8(c.input)));
}

INSTANTIATE_TEST_SUITE_P(
    Table, DiscordWebhookValidURL,
    testing::Values(
        ValidCase{"plain", "https://discord.com/api/webhooks/123/abc_DEF-9",
                  "https://discord.com/api/webhooks/123/abc_DEF-9?wait=true", "123", nullptr},
        ValidCase{"upperCaseSchemeAndHostKept", "HTTPS://DISCORD.COM/api/webhooks/123/tok",
                  "HTTPS://DISCORD.COM/api/webhooks/123/tok?wait=true", "123", nullptr},
        ValidCase{"apiVersion", "https://discord.com/api/v10/webhooks/123/tok",
                  "https://discord.com/api/v10/webhooks/123/tok?wait=true", "123", nullptr},
        ValidCase{"surroundingWhiteSpace", "  https://discord.com/api/webhooks/123/tok \n",
                  "https://discord.com/api/webhooks/123/tok?wait=true", "123", nullptr},
        ValidCase{"waitFalseReplaced", "https://discord.com/api/webhooks/123/tok?wait=false",
                  "https://discord.com/api/webhooks/123/tok?wait=true", "123", nullptr},
        ValidCase{"explicitPort443", "https://discord.com:443/api/webhooks/123/tok",
                  "https://discord.com:443/api/webhooks/123/tok?wait=true", "123", nullptr},
        ValidCase{"subdomainOfSecondDomain", "https://canary.discordapp.com/api/webhooks/123/tok",
                  "https://canary.discordapp.com/api/webhooks/123/tok?wait=true", "123", nullptr},
        ValidCase{"threadGoesAfterWait", "https://discord.com/api/webhooks/123/tok?thread_id=456&wait=true",
                  "https://discord.com/api/webhooks/123/tok?wait=true&thread_id=456", "123", "456"},
        ValidCase{"largestWebhookID", "https://discord.com/api/webhooks/18446744073709551615/tok",
                  "https://discord.com/api/webhooks/18446744073709551615/tok?wait=true",
                  "18446744073709551615", nullptr}),
    caseName<ValidCase>);

struct InvalidCase
{
    const char* name;
    const char* input;
};

void PrintTo(const InvalidCase& c, std::ostream* os)
{
    *os << c.name;
}

class DiscordWebhookInvalidURL : public testing::TestWithParam<InvalidCase>
{
};

TEST_P(DiscordWebhookInvalidURL, IsRejected)
{
    EXPECT_FALSE(DiscordWebhookService::validatedURL(QString::fromUtf8(GetParam().input)).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Table, DiscordWebhookInvalidURL,
    testing::Values(
        InvalidCase{"empty", ""},
        InvalidCase{"threadIDLeadingZero", "https://discord.com/api/webhooks/123/tok?thread_id=0456"},
        InvalidCase{"threadIDTwice", "https://discord.com/api/webhooks/123/tok?thread_id=4&thread_id=5"},
        InvalidCase{"threadIDWithoutValue", "https://discord.com/api/webhooks/123/tok?thread_id"},
        InvalidCase{"threadIDEmpty", "https://discord.com/api/webhooks/123/tok?thread_id="},
        InvalidCase{"waitOne", "https://discord.com/api/webhooks/123/tok?wait=1"},
        InvalidCase{"waitWithoutValue", "https://discord.com/api/webhooks/123/tok?wait"},
        InvalidCase{"waitUpperCaseName", "https://discord.com/api/webhooks/123/tok?Wait=true"},
        InvalidCase{"otherQueryItem", "https://discord.com/api/webhooks/123/tok?wait=true&x=1"},
        InvalidCase{"emptyQueryItem", "https://discord.com/api/webhooks/123/tok?wait=true&"},
        InvalidCase{"port444", "https://discord.com:444/api/webhooks/123/tok"},
        InvalidCase{"emptyPort", "https://discord.com:/api/webhooks/123/tok"},
        InvalidCase{"versionZero", "https://discord.com/api/v0/webhooks/123/tok"},
        InvalidCase{"versionLeadingZero", "https://discord.com/api/v01/webhooks/123/tok"},
        InvalidCase{"trailingSlash", "https://discord.com/api/webhooks/123/tok/"},
        InvalidCase{"webhookIDZero", "https://discord.com/api/webhooks/0/tok"},
        InvalidCase{"webhookIDLeadingZero", "https://discord.com/api/webhooks/0123/tok"},
        InvalidCase{"webhookIDBeyond64Bits", "https://discord.com/api/webhooks/18446744073709551616/tok"},
        InvalidCase{"percentInPath", "https://discord.com/api/webhooks/123/to%6Ben"},
        InvalidCase{"percentInQuery", "https://discord.com/api/webhooks/123/tok?wait=tru%65"},
        InvalidCase{"percentInHost", "https://disc%6Frd.com/api/webhooks/123/tok"},
        InvalidCase{"encodedSlashInPath", "https://discord.com/api/webhooks/123/tok%2F..%2Fx"},
        InvalidCase{"userInfo", "https://user:pw@discord.com/api/webhooks/123/tok"},
        InvalidCase{"emptyUserInfo", "https://@discord.com/api/webhooks/123/tok"},
        InvalidCase{"fragment", "https://discord.com/api/webhooks/123/tok#x"},
        InvalidCase{"emptyFragment", "https://discord.com/api/webhooks/123/tok#"},
        InvalidCase{"httpScheme", "http://discord.com/api/webhooks/123/tok"},
        InvalidCase{"foreignHost", "https://example.com/api/webhooks/123/tok"},
        InvalidCase{"lookAlikeHost", "https://evildiscord.com/api/webhooks/123/tok"},
        InvalidCase{"discordAsSubdomain", "https://discord.com.example.com/api/webhooks/123/tok"},
        InvalidCase{"labelStartsWithHyphen", "https://-x.discord.com/api/webhooks/123/tok"},
        InvalidCase{"labelOver63", "https://aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.discord.com/"
                                   "api/webhooks/123/tok"},
        InvalidCase{"trailingDotHost", "https://discord.com./api/webhooks/123/tok"},
        InvalidCase{"missingToken", "https://discord.com/api/webhooks/123"},
        InvalidCase{"spaceInside", "https://discord.com/api/webhooks/123/t ok"},
        InvalidCase{"nonASCIIToken", "https://discord.com/api/webhooks/123/tök"},
        InvalidCase{"noAuthority", "https:/api/webhooks/123/tok"}),
    caseName<InvalidCase>);

TEST(DiscordWebhookValidation, OverlongHostIsRejected)
{
    QString host;
    while (host.size() < 250)
        host += QStringLiteral("abcdefghi.");
    EXPECT_FALSE(DiscordWebhookService::isValidWebhookURL(QStringLiteral("https://") + host
                                                          + QStringLiteral("discord.com/api/webhooks/1/t")));
}

// ---- Mentions -------------------------------------------------------------------------------

struct MentionCase
{
    const char* name;
    const char16_t* input;
    const char16_t* expected;
};

void PrintTo(const MentionCase& c, std::ostream* os)
{
    *os << c.name;
}

class DiscordWebhookMention : public testing::TestWithParam<MentionCase>
{
};

TEST_P(DiscordWebhookMention, OnlyOneLeadingEveryoneStaysLive)
{
    EXPECT_EQ(DiscordWebhookService::contentMentioningEveryone(QString::fromUtf16(GetParam().input)),
              QString::fromUtf16(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Table, DiscordWebhookMention,
    testing::Values(
        MentionCase{"leadingSpacesKept", u"  @everyone hi @here", u"  @everyone hi @\u200Bhere"},
        MentionCase{"everyoneGluedToWord", u"@everyonex", u"@everyone\n@\u200Beveryonex"},
        MentionCase{"noMention", u"hello", u"@everyone\nhello"},
        MentionCase{"laterEveryoneNeutralised", u"hi @everyone", u"@everyone\nhi @\u200Beveryone"},
        MentionCase{"exactlyEveryone", u"@everyone", u"@everyone"},
        MentionCase{"repeatedLeading", u"@everyone @everyone", u"@everyone @\u200Beveryone"},
        MentionCase{"lineBreakBefore", u"\n@everyone\nx", u"\n@everyone\nx"},
        MentionCase{"ideographicSpaceBefore", u"\u3000@everyone x", u"\u3000@everyone x"}),
    caseName<MentionCase>);

// ---- Retry delay ----------------------------------------------------------------------------

struct DelayCase
{
    const char* name;
    const char* header; // nullptr: no header
    const char* body;
    double expected;
};

void PrintTo(const DelayCase& c, std::ostream* os)
{
    *os << c.name;
}

class DiscordWebhookRetryDelay : public testing::TestWithParam<DelayCase>
{
};

TEST_P(DiscordWebhookRetryDelay, TakesTheLargerUsableCandidate)
{
    const DelayCase& c = GetParam();
    const std::optional<QByteArray> header = c.header ? std::optional(QByteArray(c.header)) : std::nullopt;
    EXPECT_DOUBLE_EQ(DiscordWebhookService::retryDelay(header, QByteArray(c.body)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DiscordWebhookRetryDelay,
    testing::Values(DelayCase{"headerLarger", "2.5", R"({"retry_after":1.2})", 2.5},
                    DelayCase{"bodyLarger", "1", R"({"retry_after":3.25})", 3.25},
                    DelayCase{"bodyOnly", nullptr, R"({"retry_after":0.7})", 0.7},
                    DelayCase{"integerBody", nullptr, R"({"retry_after":4})", 4},
                    DelayCase{"headerTrimmed", " 7\r\n", "", 7},
                    DelayCase{"headerZero", "0", "", 60},
                    DelayCase{"negativeBody", nullptr, R"({"retry_after":-3})", 60},
                    DelayCase{"neither", nullptr, "", 60},
                    DelayCase{"httpDateHeader", "Wed, 21 Oct 2015 07:28:00 GMT", R"({"retry_after":1.5})", 1.5},
                    DelayCase{"headerWithTrailingText", "5s", "", 60},
                    DelayCase{"infiniteHeader", "inf", R"({"retry_after":2})", 2},
                    DelayCase{"bodyStringIgnored", nullptr, R"({"retry_after":"9"})", 60},
                    DelayCase{"absurdHeaderCapped", "999999999", "", 3600},
                    DelayCase{"absurdBodyCapped", nullptr, R"({"retry_after":1e300})", 3600}),
    caseName<DelayCase>);

// ---- Sending over a loopback socket ---------------------------------------------------------

const QString webhookPath = QStringLiteral("/api/webhooks/123/tok");
const QString webhookURL = QStringLiteral("https://discord.com/api/webhooks/123/tok");

// Not std::monostate: QCoro keeps its result in a variant that starts with monostate, and a
// returned monostate would be taken for "no result yet".
struct Delivered
{
};
using Outcome = std::variant<Delivered, DiscordWebhookError, CancellationError>;

QCoro::Task<Outcome> attempt(DiscordWebhookService* service, QString content, QString url, bool mention,
                             CancelToken token)
{
    try {
        co_await service->send(std::move(content), std::move(url), mention, std::move(token));
        co_return Delivered{};
    } catch (const DiscordWebhookError& error) {
        co_return error;
    } catch (const CancellationError& error) {
        co_return error;
    }
}

QByteArray confirmation(const char* webhookID = "123", const char* channelID = "456")
{
    return QByteArray(R"({"id":"789","channel_id":")") + channelID + R"(","webhook_id":")" + webhookID + R"("})";
}

class DiscordWebhookSend : public testing::Test
{
protected:
    DiscordWebhookSend()
        : loopback(std::make_shared<LoopbackTransport>(
              std::make_shared<HttpClient>(DiscordWebhookService::transportOptions(), TestHttpServer::networkManager()),
              server.url()))
        , service(loopback)
    {
    }

    Outcome send(const QString& content, bool mention = false, const QString& url = webhookURL,
                 CancelToken token = {})
    {
        return QCoro::waitFor(attempt(&service, content, url, mention, token));
    }

    static std::optional<DiscordWebhookError> errorOf(const Outcome& outcome)
    {
        if (const auto* error = std::get_if<DiscordWebhookError>(&outcome))
            return *error;
        return std::nullopt;
    }

    TestHttpServer server;
    std::shared_ptr<LoopbackTransport> loopback;
    DiscordWebhookService service;
};

TEST_F(DiscordWebhookSend, ConfirmedPostCarriesTheExpectedRequest)
{
    server.respond(webhookPath, TestHttpResponse::json(confirmation()));
    const Outcome outcome = send(QStringLiteral("残り 10% / @here"), true);
    EXPECT_TRUE(std::holds_alternative<Delivered>(outcome));

    const QList<RecordedHttpRequest> requests = server.requests(webhookPath);
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].query, QStringLiteral("wait=true"));
    EXPECT_EQ(requests[0].headers.value("Content-Type"), QByteArray("application/json"));
    const std::optional<Json> body = json::parse(requests[0].body);
    ASSERT_TRUE(body.has_value());
    EXPECT_EQ(json::string(*body, "content"), QStringLiteral("@everyone\n残り 10% / @\u200Bhere"));
    const Json expectedMentions = {
        {"parse", Json::array({"everyone"})}, {"users", Json::array()}, {"roles", Json::array()}, {"replied_user", false}};
    EXPECT_EQ(body->at("allowed_mentions"), expectedMentions);
}

TEST_F(DiscordWebhookSend, WithoutMentionTheContentGoesOutUnchangedAndNothingPings)
{
    server.respond(webhookPath, TestHttpResponse::json(confirmation()));
    EXPECT_TRUE(std::holds_alternative<Delivered>(send(QStringLiteral("@everyone look"))));
    const std::optional<Json> body = json::parse(server.requests(webhookPath).value(0).body);
    ASSERT_TRUE(body.has_value());
    EXPECT_EQ(json::string(*body, "content"), QStringLiteral("@everyone look"));
    EXPECT_EQ(body->at("allowed_mentions").at("parse"), Json::array());
}

TEST_F(DiscordWebhookSend, ThreadIDMustMatchTheConfirmedChannel)
{
    server.respond(webhookPath, TestHttpResponse::json(confirmation("123", "456")));
    EXPECT_TRUE(std::holds_alternative<Delivered>(send(QStringLiteral("x"), false, webhookURL + QStringLiteral("?thread_id=456"))));
    EXPECT_EQ(server.requests(webhookPath).value(0).query, QStringLiteral("wait=true&thread_id=456"));
    EXPECT_EQ(errorOf(send(QStringLiteral("x"), false, webhookURL + QStringLiteral("?thread_id=999"))),
              DiscordWebhookError::outcomeUnknown());
}

struct LengthCase
{
    const char* name;
    QString content;
    bool mention;
    bool accepted;
};

TEST_F(DiscordWebhookSend, ContentLengthIsCountedInUTF16Units)
{
    const QString emoji = QStringLiteral("😀");
    const std::vector<LengthCase> cases = {
        {"exactly2000", QString(2000, u'a'), false, true},
        {"2001", QString(2001, u'a'), false, false},
        {"emojiMakes2000", QString(1998, u'a') + emoji, false, true},
        {"emojiMakes2001", QString(1999, u'a') + emoji, false, false},
        {"addedMentionLineFits", QString(1990, u'a'), true, true},
        {"addedMentionLineOverflows", QString(1991, u'a'), true, false},
    };
    server.respond(webhookPath, TestHttpResponse::json(confirmation()));
    for (const LengthCase& c : cases) {
        SCOPED_TRACE(c.name);
        const int before = server.requestCount();
        const Outcome outcome = send(c.content, c.mention);
        if (c.accepted) {
            EXPECT_TRUE(std::holds_alternative<Delivered>(outcome));
        } else {
            EXPECT_EQ(errorOf(outcome), DiscordWebhookError::invalidContent());
            EXPECT_EQ(server.requestCount(), before) << "refused content must not be sent";
        }
    }
}

TEST_F(DiscordWebhookSend, InvalidURLSendsNothing)
{
    EXPECT_EQ(errorOf(send(QStringLiteral("x"), false, QStringLiteral("https://discord.com:444/api/webhooks/1/t"))),
              DiscordWebhookError::invalidURL());
    EXPECT_EQ(loopback->requestCount(), 0);
}

struct AnswerCase
{
    const char* name;
    TestHttpResponse response;
    std::optional<DiscordWebhookError> expected;
};

TEST_F(DiscordWebhookSend, EveryAnswerIsClassified)
{
    TestHttpResponse rateLimited = TestHttpResponse::json(R"({"retry_after":1.2})", 429);
    rateLimited.headers.set("Retry-After", "2.5");
    TestHttpResponse absurdRateLimit = TestHttpResponse::json(R"({"retry_after":86400000})", 429);
    const std::vector<AnswerCase> cases = {
        {"confirmed", TestHttpResponse::json(confirmation()), std::nullopt},
        {"foreignWebhookID", TestHttpResponse::json(confirmation("124")), DiscordWebhookError::outcomeUnknown()},
        {"messageIDNotSnowflake", TestHttpResponse::json(R"({"id":"0","channel_id":"4","webhook_id":"123"})"),
         DiscordWebhookError::outcomeUnknown()},
        {"confirmationFieldNotText", TestHttpResponse::json(R"({"id":789,"channel_id":"4","webhook_id":"123"})"),
         DiscordWebhookError::outcomeUnknown()},
        {"bodyNotJSON", TestHttpResponse::text("ok"), DiscordWebhookError::outcomeUnknown()},
        {"noContent", TestHttpResponse::text({}, 204), DiscordWebhookError::outcomeUnknown()},
        {"redirectRefused", TestHttpResponse::redirect(server.url(QStringLiteral("/elsewhere"))),
         DiscordWebhookError::badHTTPStatus(302)},
        {"notFound", TestHttpResponse::text("gone", 404), DiscordWebhookError::badHTTPStatus(404)},
        {"badRequest", TestHttpResponse::json("{}", 400), DiscordWebhookError::badHTTPStatus(400)},
        {"requestTimeout", TestHttpResponse::text({}, 408), DiscordWebhookError::outcomeUnknown()},
        {"rateLimited", rateLimited, DiscordWebhookError::rateLimited(2.5)},
        {"rateLimitCapped", absurdRateLimit, DiscordWebhookError::rateLimited(3600)},
        {"serverError", TestHttpResponse::text({}, 503), DiscordWebhookError::outcomeUnknown()},
        {"status500", TestHttpResponse::text({}, 500), DiscordWebhookError::outcomeUnknown()},
        {"droppedMidBody", TestHttpResponse::dropped(TestHttpResponse::Drop::midBody),
         DiscordWebhookError::outcomeUnknown()},
    };
    for (const AnswerCase& c : cases) {
        SCOPED_TRACE(c.name);
        server.enqueue(webhookPath, c.response);
        EXPECT_EQ(errorOf(send(QStringLiteral("hello"))), c.expected);
    }
    EXPECT_TRUE(server.requests(QStringLiteral("/elsewhere")).isEmpty()) << "redirects must not be followed";
}

TEST_F(DiscordWebhookSend, ConnectionDroppedBeforeAnyAnswerLeavesTheOutcomeUnknown)
{
    // Every attempt is dropped: the network layer may resend a request whose connection closed
    // before any answer, so only a standing drop reaches the caller as a lost connection.
    server.respond(webhookPath, TestHttpResponse::dropped());
    EXPECT_EQ(errorOf(send(QStringLiteral("x"))), DiscordWebhookError::outcomeUnknown());
}

TEST_F(DiscordWebhookSend, ConnectionRefusedMeansNothingWasSent)
{
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        closedPort = probe.serverPort();
    }
    loopback->setTarget(QUrl(QStringLiteral("http://127.0.0.1:") + QString::number(closedPort)));
    EXPECT_EQ(errorOf(send(QStringLiteral("x"))), DiscordWebhookError::temporarilyUnavailable());
}

TEST_F(DiscordWebhookSend, UnknownHostMeansNothingWasSent)
{
    loopback->setTarget(QUrl(QStringLiteral("http://vantorel-test.invalid:8080")));
    EXPECT_EQ(errorOf(send(QStringLiteral("x"))), DiscordWebhookError::temporarilyUnavailable());
}

TEST_F(DiscordWebhookSend, CancelledBeforeSendingThrowsCancellationAndSendsNothing)
{
    CancelToken token;
    token.cancel();
    const Outcome outcome = send(QStringLiteral("x"), false, webhookURL, token);
    EXPECT_TRUE(std::holds_alternative<CancellationError>(outcome));
    EXPECT_EQ(loopback->requestCount(), 0);
}

} // namespace
} // namespace vantorel
