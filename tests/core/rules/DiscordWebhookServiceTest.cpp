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

// ---- URL validation -------------------------------------------------------------------------

TEST(DiscordWebhookValidation, AcceptedURLsAreRebuiltWithWaitTrue)
{
    struct Case
    {
        const char* input;
        const char* url;
        const char* webhookID = "123";
        const char* threadID = nullptr;
    };
    const Case cases[] = {
        {"https://discord.com/api/webhooks/123/abc_DEF-9", "https://discord.com/api/webhooks/123/abc_DEF-9?wait=true"},
        {"HTTPS://DISCORD.COM/api/webhooks/123/tok", "HTTPS://DISCORD.COM/api/webhooks/123/tok?wait=true"},
        {"https://discord.com/api/v10/webhooks/123/tok", "https://discord.com/api/v10/webhooks/123/tok?wait=true"},
        {"  https://discord.com/api/webhooks/123/tok \n", "https://discord.com/api/webhooks/123/tok?wait=true"},
        {"https://discord.com/api/webhooks/123/tok?wait=false", "https://discord.com/api/webhooks/123/tok?wait=true"},
        {"https://discord.com:443/api/webhooks/123/tok", "https://discord.com:443/api/webhooks/123/tok?wait=true"},
        {"https://canary.discordapp.com/api/webhooks/123/tok", "https://canary.discordapp.com/api/webhooks/123/tok?wait=true"},
        {"https://discord.com/api/webhooks/123/tok?thread_id=456&wait=true",
         "https://discord.com/api/webhooks/123/tok?wait=true&thread_id=456", "123", "456"},
        {"https://discord.com/api/webhooks/18446744073709551615/tok",
         "https://discord.com/api/webhooks/18446744073709551615/tok?wait=true", "18446744073709551615"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        const auto url = DiscordWebhookService::validatedURL(QString::fromUtf8(c.input));
        ASSERT_TRUE(url.has_value());
        EXPECT_EQ(url->url, QString::fromUtf8(c.url));
        EXPECT_EQ(url->webhookID, QString::fromUtf8(c.webhookID));
        EXPECT_EQ(url->threadID, c.threadID ? std::optional(QString::fromUtf8(c.threadID)) : std::nullopt);
        EXPECT_TRUE(DiscordWebhookService::isValidWebhookURL(QString::fromUtf8(c.input)));
    }
}

TEST(DiscordWebhookValidation, RefusesAnythingElse)
{
    const QString base = QStringLiteral("https://discord.com/api/webhooks/123/tok");
    const QString cases[] = {
        QString(),
        base + QStringLiteral("?thread_id=0456"),
        base + QStringLiteral("?thread_id=4&thread_id=5"),
        base + QStringLiteral("?thread_id="),
        base + QStringLiteral("?wait=1"),
        base + QStringLiteral("?Wait=true"),
        base + QStringLiteral("?wait=true&x=1"),
        base + QStringLiteral("/"),
        base + QStringLiteral("#"),
        QStringLiteral("https://discord.com:444/api/webhooks/123/tok"),
        QStringLiteral("https://discord.com:/api/webhooks/123/tok"),
        QStringLiteral("https://discord.com/api/v0/webhooks/123/tok"),
        QStringLiteral("https://discord.com/api/v01/webhooks/123/tok"),
        QStringLiteral("https://discord.com/api/webhooks/0/tok"),
        QStringLiteral("https://discord.com/api/webhooks/0123/tok"),
        QStringLiteral("https://discord.com/api/webhooks/18446744073709551616/tok"),
        QStringLiteral("https://discord.com/api/webhooks/123/to%6Ben"),
        QStringLiteral("https://discord.com/api/webhooks/123/tok?wait=tru%65"),
        QStringLiteral("https://disc%6Frd.com/api/webhooks/123/tok"),
        QStringLiteral("https://user:pw@discord.com/api/webhooks/123/tok"),
        QStringLiteral("https://@discord.com/api/webhooks/123/tok"),
        QStringLiteral("http://discord.com/api/webhooks/123/tok"),
        QStringLiteral("https://example.com/api/webhooks/123/tok"),
        QStringLiteral("https://evildiscord.com/api/webhooks/123/tok"),
        QStringLiteral("https://discord.com.example.com/api/webhooks/123/tok"),
        QStringLiteral("https://-x.discord.com/api/webhooks/123/tok"),
        QStringLiteral("https://") + QString(64, u'a') + QStringLiteral(".discord.com/api/webhooks/123/tok"),
        QStringLiteral("https://") + QStringLiteral("abcdefghi.").repeated(25) + QStringLiteral("discord.com/api/webhooks/1/t"),
        QStringLiteral("https://discord.com./api/webhooks/123/tok"),
        QStringLiteral("https://discord.com/api/webhooks/123"),
        QStringLiteral("https://discord.com/api/webhooks/123/t ok"),
        QStringLiteral("https://discord.com/api/webhooks/123/tök"),
        QStringLiteral("https:/api/webhooks/123/tok"),
    };
    for (const QString& input : cases) {
        SCOPED_TRACE(input.toStdString());
        EXPECT_FALSE(DiscordWebhookService::validatedURL(input).has_value());
        EXPECT_FALSE(DiscordWebhookService::isValidWebhookURL(input));
    }
}

TEST(DiscordWebhookService, OnlyOneLeadingEveryoneStaysLive)
{
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"  @everyone hi @here", u"  @everyone hi @\u200Bhere"},
        {u"@everyonex", u"@everyone\n@\u200Beveryonex"},
        {u"hi @everyone", u"@everyone\nhi @\u200Beveryone"},
        {u"@everyone", u"@everyone"},
        {u"@everyone @everyone", u"@everyone @\u200Beveryone"},
        {u"\n@everyone\nx", u"\n@everyone\nx"},
        {u"\u3000@everyone x", u"\u3000@everyone x"},
    };
    for (const auto& [input, expected] : cases) {
        SCOPED_TRACE(QString::fromUtf16(input).toStdString());
        EXPECT_EQ(DiscordWebhookService::contentMentioningEveryone(QString::fromUtf16(input)), QString::fromUtf16(expected));
    }
}

TEST(DiscordWebhookService, RetryDelayTakesTheLargerUsableCandidate)
{
    struct Case
    {
        const char* header; // nullptr: no header
        const char* body;
        double expected;
    };
    const Case cases[] = {
        {"1", R"({"retry_after":3.25})", 3.25},
        {nullptr, R"({"retry_after":0.7})", 0.7},
        {" 7\r\n", "", 7},
        {"0", "", 60},
        {nullptr, R"({"retry_after":-3})", 60},
        {nullptr, "", 60},
        {"Wed, 21 Oct 2015 07:28:00 GMT", R"({"retry_after":1.5})", 1.5},
        {"5s", "", 60},
        {"inf", R"({"retry_after":2})", 2},
        {nullptr, R"({"retry_after":"9"})", 60},
        {"999999999", "", 3600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.header ? c.header : "-") << " / " << c.body);
        const std::optional<QByteArray> header = c.header ? std::optional(QByteArray(c.header)) : std::nullopt;
        EXPECT_DOUBLE_EQ(DiscordWebhookService::retryDelay(header, QByteArray(c.body)), c.expected);
    }
}

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
              std::make_shared<HttpClient>(DiscordWebhookService::transportOptions()),
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

TEST_F(DiscordWebhookSend, PostCarriesTheContentAndOnlyTheAskedMention)
{
    struct Case
    {
        QString content;
        bool mention;
        QString sent;
        Json parse;
    };
    const Case cases[] = {
        {QStringLiteral("残り 10% / @here"), true, QStringLiteral("@everyone\n残り 10% / @\u200Bhere"), Json::array({"everyone"})},
        {QStringLiteral("@everyone look"), false, QStringLiteral("@everyone look"), Json::array()},
    };
    server.respond(webhookPath, TestHttpResponse::json(confirmation()));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content.toStdString());
        EXPECT_TRUE(std::holds_alternative<Delivered>(send(c.content, c.mention)));
        const RecordedHttpRequest request = server.requests(webhookPath).last();
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.query, QStringLiteral("wait=true"));
        EXPECT_EQ(request.headers.value("Content-Type"), QByteArray("application/json"));
        const std::optional<Json> body = json::parse(request.body);
        ASSERT_TRUE(body.has_value());
        EXPECT_EQ(json::string(*body, "content"), c.sent);
        const Json expectedMentions
            = {{"parse", c.parse}, {"users", Json::array()}, {"roles", Json::array()}, {"replied_user", false}};
        EXPECT_EQ(json::write(body->at("allowed_mentions"), json::Form::sync), json::write(expectedMentions, json::Form::sync));
    }
}

TEST_F(DiscordWebhookSend, ThreadIDMustMatchTheConfirmedChannel)
{
    server.respond(webhookPath, TestHttpResponse::json(confirmation("123", "456")));
    EXPECT_TRUE(std::holds_alternative<Delivered>(send(QStringLiteral("x"), false, webhookURL + QStringLiteral("?thread_id=456"))));
    EXPECT_EQ(server.requests(webhookPath).value(0).query, QStringLiteral("wait=true&thread_id=456"));
    EXPECT_EQ(errorOf(send(QStringLiteral("x"), false, webhookURL + QStringLiteral("?thread_id=999"))),
              DiscordWebhookError::outcomeUnknown());
}

TEST_F(DiscordWebhookSend, RefusedContentOrURLSendsNothing)
{
    struct Case
    {
        QString content;
        bool mention;
        bool accepted;
    };
    const QString emoji = QStringLiteral("😀");
    const Case cases[] = {
        {QString(2000, u'a'), false, true},          {QString(2001, u'a'), false, false},
        {QString(1998, u'a') + emoji, false, true},  {QString(1999, u'a') + emoji, false, false},
        {QString(1990, u'a'), true, true},           {QString(1991, u'a'), true, false},
    };
    server.respond(webhookPath, TestHttpResponse::json(confirmation()));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.content.size() << (c.mention ? " + mention" : ""));
        const int before = server.requestCount();
        const Outcome outcome = send(c.content, c.mention);
        if (c.accepted) {
            EXPECT_TRUE(std::holds_alternative<Delivered>(outcome));
        } else {
            EXPECT_EQ(errorOf(outcome), DiscordWebhookError::invalidContent());
            EXPECT_EQ(server.requestCount(), before);
        }
    }
    const int sent = loopback->requestCount();
    EXPECT_EQ(errorOf(send(QStringLiteral("x"), false, QStringLiteral("https://discord.com:444/api/webhooks/1/t"))),
              DiscordWebhookError::invalidURL());
    EXPECT_EQ(loopback->requestCount(), sent);
}

TEST_F(DiscordWebhookSend, EveryAnswerIsClassified)
{
    struct Case
    {
        const char* name;
        TestHttpResponse response;
        std::optional<DiscordWebhookError> expected;
    };
    TestHttpResponse rateLimited = TestHttpResponse::json(R"({"retry_after":1.2})", 429);
    rateLimited.headers.set("Retry-After", "2.5");
    const auto unknown = DiscordWebhookError::outcomeUnknown();
    const Case cases[] = {
        {"confirmed", TestHttpResponse::json(confirmation()), std::nullopt},
        {"foreignWebhookID", TestHttpResponse::json(confirmation("124")), unknown},
        {"messageIDNotSnowflake", TestHttpResponse::json(R"({"id":"0","channel_id":"4","webhook_id":"123"})"), unknown},
        {"confirmationFieldNotText", TestHttpResponse::json(R"({"id":789,"channel_id":"4","webhook_id":"123"})"), unknown},
        {"bodyNotJSON", TestHttpResponse::text("ok"), unknown},
        {"noContent", TestHttpResponse::text({}, 204), unknown},
        {"redirectRefused", TestHttpResponse::redirect(server.url(QStringLiteral("/elsewhere"))),
         DiscordWebhookError::badHTTPStatus(302)},
        {"notFound", TestHttpResponse::text("gone", 404), DiscordWebhookError::badHTTPStatus(404)},
        {"badRequest", TestHttpResponse::json("{}", 400), DiscordWebhookError::badHTTPStatus(400)},
        {"requestTimeout", TestHttpResponse::text({}, 408), unknown},
        {"rateLimited", rateLimited, DiscordWebhookError::rateLimited(2.5)},
        {"rateLimitCapped", TestHttpResponse::json(R"({"retry_after":86400000})", 429), DiscordWebhookError::rateLimited(3600)},
        {"serverError", TestHttpResponse::text({}, 503), unknown},
        {"droppedMidBody", TestHttpResponse::dropped(TestHttpResponse::Drop::midBody), unknown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.enqueue(webhookPath, c.response);
        EXPECT_EQ(errorOf(send(QStringLiteral("hello"))), c.expected);
    }
    EXPECT_TRUE(server.requests(QStringLiteral("/elsewhere")).isEmpty()) << "redirects must not be followed";
    EXPECT_EQ(DiscordWebhookError::badHTTPStatus(404).message(), "Discord Webhook が HTTP 404 を返しました。");

    // Every attempt is dropped: the network layer may resend a request whose connection closed
    // before any answer, so only a standing drop reaches the caller as a lost connection.
    server.respond(webhookPath, TestHttpResponse::dropped());
    EXPECT_EQ(errorOf(send(QStringLiteral("x"))), unknown);
}

TEST_F(DiscordWebhookSend, UnreachableServerMeansNothingWasSent)
{
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        closedPort = probe.serverPort();
    }
    const QUrl targets[] = {QUrl(QStringLiteral("http://127.0.0.1:") + QString::number(closedPort)),
                            QUrl(QStringLiteral("http://vantorel-test.invalid:8080"))};
    for (const QUrl& target : targets) {
        SCOPED_TRACE(target.toString().toStdString());
        loopback->setTarget(target);
        EXPECT_EQ(errorOf(send(QStringLiteral("x"))), DiscordWebhookError::temporarilyUnavailable());
    }
}

TEST_F(DiscordWebhookSend, CancelledBeforeSendingThrowsCancellationAndSendsNothing)
{
    CancelToken token;
    token.cancel();
    EXPECT_TRUE(std::holds_alternative<CancellationError>(send(QStringLiteral("x"), false, webhookURL, token)));
    EXPECT_EQ(loopback->requestCount(), 0);
}

} // namespace
} // namespace vantorel
