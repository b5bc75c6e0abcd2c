#include "support/DrainEvents.h"
#include "support/TestHttpServer.h"
#include "core/foundation/CancellationError.h"
#include "core/foundation/HttpClient.h"
#include "core/foundation/HttpError.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

#include <optional>

using namespace vantorel;

namespace {

// The outcome of one exchange, collected inside the coroutine (ASSERT cannot run there).
struct Outcome
{
    std::optional<HttpResponse> response;
    std::optional<HttpError::Kind> error;
    bool cancelled = false;
};

QCoro::Task<Outcome> exchange(HttpTransport* client, HttpRequest request, CancelToken token)
{
    Outcome outcome;
    try {
        outcome.response = co_await client->send(std::move(request), token);
    } catch (const HttpError& error) {
        outcome.error = error.kind();
    } catch (const CancellationError&) {
        outcome.cancelled = true;
    }
    co_return outcome;
}

Outcome run(HttpTransport& client, HttpRequest request, CancelToken token = {})
{
    return QCoro::waitFor(exchange(&client, std::move(request), token));
}

class HttpClientIntegration : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(server.isListening()); }
    // Replies are released with deleteLater; without a running outer loop they would wait for exit.
    void TearDown() override
    {
        drainEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QUrl url(const char* path) const { return server.url(QString::fromLatin1(path)); }
    HttpRequest get(const char* path) const { return HttpRequest{.url = url(path)}; }

    TestHttpServer server;
    HttpClient client{HttpClient::Options{}, TestHttpServer::networkManager()};
};

} // namespace

TEST_F(HttpClientIntegration, SendsTheRequestReturnsEveryStatusAndKeepsNoCookies)
{
    for (int status : {200, 204, 400, 401, 404, 418, 429, 500, 503}) {
        SCOPED_TRACE(status);
        auto scripted = TestHttpResponse::json(status == 204 ? QByteArray() : R"({"ok":true})", status);
        scripted.headers.add("X-Rate-Limit", "42");
        scripted.headers.add("Set-Cookie", "session=secret; Path=/");
        server.respond(QStringLiteral("/v1/usage"), scripted);

        const HttpRequest request{url("/v1/usage?window=5h"), "POST",
                                  {{"Authorization", "Bearer abc"}, {"Content-Type", "application/json"}}, R"({"q":1})"};
        const Outcome outcome = run(client, request);

        ASSERT_TRUE(outcome.response) << (outcome.error ? rawValue(*outcome.error).toStdString() : "cancelled");
        EXPECT_EQ(outcome.response->statusCode, status);
        EXPECT_EQ(outcome.response->body, scripted.body);
        EXPECT_EQ(outcome.response->headers.value("x-rate-limit"), QByteArray("42"));
        EXPECT_EQ(outcome.response->headers.value("CONTENT-TYPE"), QByteArray("application/json"));

        const auto received = server.requests().last();
        EXPECT_EQ(received.method, "POST");
        EXPECT_EQ(received.path, QStringLiteral("/v1/usage"));
        EXPECT_EQ(received.query, QStringLiteral("window=5h"));
        EXPECT_EQ(received.headers.value("authorization"), QByteArray("Bearer abc"));
        EXPECT_EQ(received.body, R"({"q":1})");
        EXPECT_FALSE(received.headers.contains("Cookie")) << "a cookie from an earlier answer was sent";
    }
}

TEST_F(HttpClientIntegration, APostThatLostItsConnectionIsNeverSentAgain)
{
    // A server that reads the request and hangs up without answering: the post may have been
    // acted on, so it must not be repeated behind the caller's back. A GET may be.
    server.respond(QStringLiteral("/hook"), TestHttpResponse::dropped(TestHttpResponse::Drop::beforeResponse));
    const HttpRequest post{url("/hook"), "POST", {}, R"({"content":"hi"})"};

    const Outcome outcome = run(client, post);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(rawValue(*outcome.error), rawValue(HttpError::Kind::networkConnectionLost));
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(server.requests().first().body, post.body);
}

TEST_F(HttpClientIntegration, FollowsRedirectsUnlessRefused)
{
    server.respond(QStringLiteral("/old"), TestHttpResponse::redirect(url("/new")));
    server.respond(QStringLiteral("/new"), TestHttpResponse::text("arrived"));

    const Outcome followed = run(client, get("/old"));
    ASSERT_TRUE(followed.response);
    EXPECT_EQ(followed.response->statusCode, 200);
    EXPECT_EQ(followed.response->body, "arrived");
    EXPECT_EQ(followed.response->url, url("/new"));
    EXPECT_EQ(server.requests(QStringLiteral("/new")).size(), 1);

    for (int status : {301, 302, 303, 307, 308}) {
        SCOPED_TRACE(status);
        server.respond(QStringLiteral("/old"), TestHttpResponse::redirect(url("/new"), status));
        HttpClient::Options options;
        options.followRedirects = false;
        HttpClient refusing(options, TestHttpServer::networkManager());
        const Outcome refused = run(refusing, get("/old"));
        ASSERT_TRUE(refused.response);
        EXPECT_EQ(refused.response->statusCode, status);
        EXPECT_EQ(refused.response->headers.value("Location"), url("/new").toEncoded());
        EXPECT_EQ(refused.response->url, url("/old"));
    }
    EXPECT_EQ(server.requests(QStringLiteral("/new")).size(), 1) << "a refused redirect was followed";
}

TEST_F(HttpClientIntegration, TransportFailuresMapToUrlLoadingErrors)
{
    QTcpServer closedPort;
    ASSERT_TRUE(closedPort.listen(QHostAddress::LocalHost, 0));
    const quint16 refusedPort = closedPort.serverPort();
    closedPort.close();

    server.respond(QStringLiteral("/drop"), TestHttpResponse::dropped(TestHttpResponse::Drop::beforeResponse));
    server.respond(QStringLiteral("/half"), TestHttpResponse::dropped(TestHttpResponse::Drop::midBody));

    struct Case { const char* name; QUrl url; HttpError::Kind expected; };
    const std::vector<Case> cases = {
        {"refused", QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(refusedPort)), HttpError::Kind::cannotConnectToHost},
        {"closed before answering", url("/drop"), HttpError::Kind::networkConnectionLost},
        {"closed mid-body", url("/half"), HttpError::Kind::networkConnectionLost},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome outcome = run(client, HttpRequest{.url = c.url});
        ASSERT_TRUE(outcome.error) << "got a response or a cancellation";
        EXPECT_EQ(rawValue(*outcome.error), rawValue(c.expected));
    }
}

TEST_F(HttpClientIntegration, CapsTheBodyAtTheCallersLimit)
{
    server.respond(QStringLiteral("/big"), TestHttpResponse::text(QByteArray(1000, 'x')));
    // Without a Content-Length the cap has to be enforced while reading.
    auto unannounced = TestHttpResponse::text(QByteArray(1000, 'y'));
    unannounced.headers.add("Transfer-Encoding", "identity");
    unannounced.headers.add("Content-Length", "1000");
    unannounced.trickleIntervalSeconds = 0.01;
    unannounced.trickleChunks = 4;
    server.respond(QStringLiteral("/trickled"), unannounced);

    struct Case { const char* path; qint64 limit; bool fits; };
    const std::vector<Case> cases = {{"/big", 1000, true}, {"/big", 999, false}, {"/trickled", 1000, true}, {"/trickled", 600, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.path << " limit " << c.limit);
        HttpRequest request = get(c.path);
        request.maximumResponseBytes = c.limit;
        const Outcome outcome = run(client, request);
        if (c.fits) {
            ASSERT_TRUE(outcome.response);
            EXPECT_EQ(outcome.response->body.size(), 1000);
        } else {
            ASSERT_TRUE(outcome.error);
            EXPECT_EQ(*outcome.error, HttpError::Kind::responseTooLarge);
        }
    }
}

TEST_F(HttpClientIntegration, ABodyThatCannotBeDecompressedIsAFailure)
{
    auto broken = TestHttpResponse::text("not gzip at all");
    broken.headers.add("Content-Encoding", "gzip");
    server.respond(QStringLiteral("/broken"), broken);
    const Outcome outcome = run(client, get("/broken"));
    ASSERT_TRUE(outcome.error) << "returned as an answer";
    EXPECT_EQ(*outcome.error, HttpError::Kind::other);
}

// Header lines that never end keep bytes moving, which the transfer time-out alone would allow.
TEST_F(HttpClientIntegration, AnEndlessHeadEndsAtTheRequestTimeOut)
{
    QTcpServer endless;
    ASSERT_TRUE(endless.listen(QHostAddress::LocalHost, 0));
    QObject::connect(&endless, &QTcpServer::newConnection, [&endless] {
        QTcpSocket* peer = endless.nextPendingConnection();
        peer->write("HTTP/1.1 200 OK\r\n");
        auto* drip = new QTimer(peer);
        QObject::connect(drip, &QTimer::timeout, peer, [peer] { peer->write("X-More: 1\r\n"); });
        drip->start(50);
    });
    HttpClient timed({.requestTimeoutSeconds = 0.3, .resourceTimeoutSeconds = 5.0}, TestHttpServer::networkManager());
    QElapsedTimer elapsed;
    elapsed.start();
    const Outcome outcome = run(timed, HttpRequest{.url = QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(endless.serverPort()))});
    EXPECT_EQ(outcome.error, HttpError::Kind::timedOut);
    EXPECT_LT(elapsed.elapsed(), 2500);
}

// A complete head past 64 KiB is refused, however quickly it came.
TEST_F(HttpClientIntegration, AnOversizedHeadIsAnInvalidResponse)
{
    const auto headLines = [](int lines, qsizetype valueBytes) -> QByteArray {
        QByteArray head = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n";
        for (int i = 0; i < lines; ++i)
            head += "X-Field-" + QByteArray::number(i) + ": " + QByteArray(valueBytes, 'v') + "\r\n";
        return head + "\r\nok";
    };
    const struct
    {
        const char* name;
        QByteArray answer;
        bool refused;
    } cases[] = {
        {"one field over 64 KiB", headLines(1, 65 * 1024), true},
        {"many fields over 64 KiB", headLines(90, 800), true},
        {"just under 64 KiB", headLines(60, 1000), false},
    };
    for (const auto& testCase : cases) {
        QTcpServer scripted;
        ASSERT_TRUE(scripted.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&scripted, &QTcpServer::newConnection, [&scripted, &testCase] {
            QTcpSocket* peer = scripted.nextPendingConnection();
            QObject::connect(peer, &QTcpSocket::readyRead, peer, [peer, &testCase] {
                peer->readAll();
                peer->write(testCase.answer);
            });
        });
        const Outcome outcome = run(client, HttpRequest{.url = QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(scripted.serverPort()))});
        if (testCase.refused) {
            EXPECT_EQ(outcome.error, HttpError::Kind::other) << testCase.name;
        } else {
            ASSERT_TRUE(outcome.response) << testCase.name;
            EXPECT_EQ(outcome.response->body, "ok") << testCase.name;
        }
    }
}

TEST_F(HttpClientIntegration, RequestAndResourceTimeOutsEndTheExchange)
{
    auto silent = TestHttpResponse::text("late");
    silent.delaySeconds = 5.0;
    server.respond(QStringLiteral("/silent"), silent);
    // A piece every 0.1 s for 2 s keeps the request time-out (0.3 s) from firing.
    auto trickle = TestHttpResponse::text(QByteArray(20, 'z'));
    trickle.trickleIntervalSeconds = 0.1;
    trickle.trickleChunks = 20;
    server.respond(QStringLiteral("/trickle"), trickle);

    struct Case { const char* path; double resourceTimeoutSeconds; bool timesOut; };
    const std::vector<Case> cases = {{"/silent", 5.0, true}, {"/trickle", 0.5, true}, {"/trickle", 10.0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.path << " resource time-out " << c.resourceTimeoutSeconds);
        HttpClient::Options options;
        options.requestTimeoutSeconds = 0.3;
        options.resourceTimeoutSeconds = c.resourceTimeoutSeconds;
        HttpClient timed(options, TestHttpServer::networkManager());
        QElapsedTimer elapsed;
        elapsed.start();
        const Outcome outcome = run(timed, get(c.path));
        if (c.timesOut) {
            ASSERT_TRUE(outcome.error);
            EXPECT_EQ(*outcome.error, HttpError::Kind::timedOut);
            EXPECT_LT(elapsed.elapsed(), 1800) << "ended by the server, not the time-out";
        } else {
            EXPECT_TRUE(outcome.response);
        }
    }
}

TEST_F(HttpClientIntegration, CancellingAbortsThePendingReplyAtOnce)
{
    auto slow = TestHttpResponse::text("late");
    slow.delaySeconds = 30.0;
    server.respond(QStringLiteral("/slow"), slow);
    CancelToken token;
    QObject::connect(&server, &TestHttpServer::requestReceived, [token] { token.cancel(); });

    QElapsedTimer elapsed;
    elapsed.start();
    const Outcome outcome = run(client, get("/slow"), token);
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_FALSE(outcome.error) << "cancellation must not look like a transport failure";
    EXPECT_LT(elapsed.elapsed(), 5000);

    CancelToken already;
    already.cancel();
    EXPECT_TRUE(run(client, get("/slow"), already).cancelled);
    EXPECT_EQ(server.requestCount(), 1) << "a cancelled token must not start a request";
}

TEST_F(HttpClientIntegration, LosingTheManagerMidFlightFailsTheRequest)
{
    auto slow = TestHttpResponse::text("late");
    slow.delaySeconds = 30.0;
    server.respond(QStringLiteral("/slow"), slow);
    auto* manager = new QNetworkAccessManager;
    manager->setProxy(QNetworkProxy::NoProxy);
    QObject::connect(&server, &TestHttpServer::requestReceived, manager, [manager] { manager->deleteLater(); });

    HttpClient orphaned(HttpClient::Options{}, manager);
    const Outcome outcome = run(orphaned, get("/slow"));
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(*outcome.error, HttpError::Kind::cancelled);
    drainEvents();
}

TEST_F(HttpClientIntegration, RefusesHeaderFieldsThatWouldSplitTheRequest)
{
    server.respond(QStringLiteral("/v1/usage"), TestHttpResponse::text("ok"));
    const std::vector<HttpHeaders::Field> cases = {
        {"Authorization", "Bearer abc\r\nX-Injected: 1"},
        {"Authorization", "Bearer abc\nX-Injected: 1"},
        {"Authorization", "Bearer abc\rX-Injected: 1"},
        {"Authorization", QByteArray("Bearer abc\0X-Injected: 1", 25)},
        {"X-Injected: 1\r\nAuthorization", "Bearer abc"},
        {"Bad Name", "value"},
        {"", "value"},
    };
    for (const auto& field : cases) {
        SCOPED_TRACE(field.first.toStdString() + ": " + field.second.toStdString());
        const Outcome outcome = run(client, HttpRequest{url("/v1/usage"), "GET", {field}});
        ASSERT_TRUE(outcome.error) << "the request was sent";
        EXPECT_EQ(*outcome.error, HttpError::Kind::other);
    }
    EXPECT_EQ(server.requestCount(), 0) << "a malformed header must not leave the machine";
}
