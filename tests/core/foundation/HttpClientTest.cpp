#include "support/DrainEvents.h"
#include "support/TestHttpServer.h"
#include "core/foundation/CancellationError.h"
#include "core/foundation/HttpClient.h"
#include "core/foundation/HttpError.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

#include <optional>

using namespace vantorel;

// Named: GCC rejects, in a unity batch, a coroutine frame or a test deriving from a type of an
// anonymous namespace.
namespace httpClientTestDetail {

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

} // namespace httpClientTestDetail

namespace {

using httpClientTestDetail::exchange;
using httpClientTestDetail::Outcome;

Outcome run(HttpTransport& client, HttpRequest request, CancelToken token = {})
{
    return QCoro::waitFor(exchange(&client, std::move(request), token));
}

} // namespace

namespace httpClientTestDetail {

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
    HttpClient client{HttpClient::Options{}};
};

} // namespace httpClientTestDetail

namespace {
using httpClientTestDetail::HttpClientIntegration;
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
        HttpClient refusing(options);
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
    HttpClient timed({.requestTimeoutSeconds = 0.3, .resourceTimeoutSeconds = 5.0});
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
        HttpClient timed(options);
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

TEST_F(HttpClientIntegration, LosingTheClientMidFlightFailsTheRequest)
{
    auto slow = TestHttpResponse::text("late");
    slow.delaySeconds = 30.0;
    server.respond(QStringLiteral("/slow"), slow);
    auto orphaned = std::make_unique<HttpClient>(HttpClient::Options{});
    QObject::connect(&server, &TestHttpServer::requestReceived, [&orphaned] { orphaned.reset(); });

    auto task = exchange(orphaned.get(), get("/slow"), CancelToken());
    const Outcome outcome = QCoro::waitFor(std::move(task));
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

namespace {

// A loopback peer that answers every connection with `answer` once the request has arrived, then
// keeps writing `more()` (when given) whenever its output has drained, never closing on its own
// unless `closeAfterAnswer`.
class ScriptedPeer
{
public:
    explicit ScriptedPeer(QByteArray answer, std::function<QByteArray()> more = {}, bool closeAfterAnswer = false)
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this, answer, more, closeAfterAnswer] {
            QTcpSocket* peer = m_server.nextPendingConnection();
            QObject::connect(peer, &QTcpSocket::readyRead, peer, [peer, answer, more, closeAfterAnswer] {
                takeRequest(peer);
                peer->write(answer);
                if (closeAfterAnswer)
                    peer->disconnectFromHost();
                else if (more)
                    QObject::connect(peer, &QTcpSocket::bytesWritten, peer, [peer, more] {
                        if (peer->bytesToWrite() == 0)
                            peer->write(more());
                    });
            });
        });
    }

    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(m_server.serverPort())); }

private:
    // Reads the request away and answers only once per connection.
    static void takeRequest(QTcpSocket* peer)
    {
        peer->readAll();
        QObject::disconnect(peer, &QTcpSocket::readyRead, nullptr, nullptr);
    }

    QTcpServer m_server;
};

} // namespace

// A head that never ends fails as soon as it passes a bound, not when a time-out expires, and the
// client holds no more of it than the bound.
TEST_F(HttpClientIntegration, AnEndlessHeadFailsAtItsBoundAtOnce)
{
    int line = 0;
    const struct
    {
        const char* name;
        std::function<QByteArray()> more;
    } cases[] = {
        {"endless fields", [&line]() -> QByteArray { return "X-Field-" + QByteArray::number(++line) + ": 1\r\n"; }},
        {"one endless field", []() -> QByteArray { return QByteArray(4096, 'v'); }},
    };
    for (const auto& testCase : cases) {
        ScriptedPeer endless("HTTP/1.1 200 OK\r\nX-Start: ", testCase.more);
        HttpClient patient({.requestTimeoutSeconds = 30.0, .resourceTimeoutSeconds = 60.0});
        QElapsedTimer elapsed;
        elapsed.start();
        const Outcome outcome = run(patient, HttpRequest{.url = endless.url()});
        EXPECT_EQ(outcome.error, HttpError::Kind::other) << testCase.name;
        EXPECT_LT(elapsed.elapsed(), 5000) << testCase.name;
    }
}

TEST_F(HttpClientIntegration, AHeadOfMoreThanAHundredFieldsIsAnInvalidResponse)
{
    for (const int fields : {100, 101}) {
        QByteArray answer = "HTTP/1.1 200 OK\r\n";
        for (int i = 1; i < fields; ++i)
            answer += "X-Field-" + QByteArray::number(i) + ": 1\r\n";
        answer += "Content-Length: 2\r\n\r\nok";
        ScriptedPeer peer(answer);
        const Outcome outcome = run(client, HttpRequest{.url = peer.url()});
        if (fields <= 100) {
            ASSERT_TRUE(outcome.response) << fields;
            EXPECT_EQ(outcome.response->headers.values("x-field-99").size(), 1);
            EXPECT_EQ(outcome.response->body, "ok");
        } else {
            EXPECT_EQ(outcome.error, HttpError::Kind::other) << fields;
        }
    }
}

TEST_F(HttpClientIntegration, ReadsChunkedAndCloseDelimitedBodiesWithinTheCap)
{
    const QByteArray chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                               "5;ext=1\r\nhello\r\n6\r\n world\r\n0\r\nX-Trailer: t\r\n\r\n";
    const QByteArray closing = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\nhello world";
    const struct
    {
        const char* name;
        QByteArray answer;
        bool close;
        qint64 limit;
        std::optional<HttpError::Kind> error;
    } cases[] = {
        {"chunked", chunked, false, 100, std::nullopt},
        {"chunked over the cap", chunked, false, 10, HttpError::Kind::responseTooLarge},
        {"until close", closing, true, 100, std::nullopt},
        {"until close over the cap", closing, true, 10, HttpError::Kind::responseTooLarge},
        {"interim answer first", "HTTP/1.1 100 Continue\r\n\r\n" + closing, true, 100, std::nullopt},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        ScriptedPeer peer(testCase.answer, {}, testCase.close);
        HttpRequest request{.url = peer.url()};
        request.maximumResponseBytes = testCase.limit;
        const Outcome outcome = run(client, request);
        if (testCase.error) {
            EXPECT_EQ(outcome.error, testCase.error);
        } else {
            ASSERT_TRUE(outcome.response);
            EXPECT_EQ(outcome.response->statusCode, 200);
            EXPECT_EQ(outcome.response->body, "hello world");
        }
    }
}

TEST_F(HttpClientIntegration, SendsOneRequestThatClosesItsConnection)
{
    server.respond(QStringLiteral("/hook"), TestHttpResponse::text("ok"));
    const HttpRequest post{url("/hook?wait=true"), "POST", {{"Content-Type", "application/json"}, {"X-Multi", "a"}, {"x-multi", "b"}}, "{}"};
    ASSERT_TRUE(run(client, post).response);
    const auto received = server.requests().last();
    EXPECT_EQ(received.query, QStringLiteral("wait=true"));
    EXPECT_EQ(received.headers.value("Host"), "127.0.0.1:" + QByteArray::number(server.port()));
    EXPECT_EQ(received.headers.value("Content-Length"), QByteArray("2"));
    EXPECT_EQ(received.headers.value("Connection"), QByteArray("close"));
    EXPECT_EQ(received.headers.values("X-Multi"), QList<QByteArray>{"a, b"});
    EXPECT_FALSE(received.headers.contains("Accept-Encoding")) << "no coding this client cannot read is offered";

    const HttpRequest emptyPost{url("/hook"), "POST", {}, {}};
    ASSERT_TRUE(run(client, emptyPost).response);
    EXPECT_EQ(server.requests().last().headers.value("Content-Length"), QByteArray("0"));
    ASSERT_TRUE(run(client, get("/hook")).response);
    EXPECT_FALSE(server.requests().last().headers.contains("Content-Length"));

    // A URL with a query but no path asks for the root.
    ASSERT_TRUE(run(client, HttpRequest{.url = server.url(QStringLiteral("?x=1"))}).response);
    EXPECT_EQ(server.requests().last().path, QStringLiteral("/"));
    EXPECT_EQ(server.requests().last().query, QStringLiteral("x=1"));
}

namespace {

// A TLS server on 127.0.0.1 with a certificate for "localhost" made for the test, answering every
// request with "secure" (or what answer() sets). Not trusted until trust() adds it to the default
// configuration.
class LocalTlsServer
{
public:
    LocalTlsServer()
    {
        const QString key = m_dir.filePath(QStringLiteral("key.pem"));
        const QString certificate = m_dir.filePath(QStringLiteral("certificate.pem"));
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-subj",
                       "/CN=localhost", "-addext", "subjectAltName=DNS:localhost", "-days", "2", "-keyout", key,
                       "-out", certificate});
        if (!openssl.waitForFinished(30'000) || openssl.exitCode() != 0)
            return;
        QFile keyFile(key);
        QFile certificateFile(certificate);
        if (!keyFile.open(QIODevice::ReadOnly) || !certificateFile.open(QIODevice::ReadOnly))
            return;
        m_certificate = QSslCertificate(certificateFile.readAll());
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setLocalCertificate(m_certificate);
        configuration.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Ec));
        configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
        m_server.setSslConfiguration(configuration);
        QObject::connect(&m_server, &QSslServer::pendingConnectionAvailable, [this] {
            QTcpSocket* peer = m_server.nextPendingConnection();
            QObject::connect(peer, &QTcpSocket::readyRead, peer, [this, peer] {
                if (!peer->readAll().contains("\r\n\r\n"))
                    return;
                peer->write(m_answer);
                peer->disconnectFromHost();
            });
        });
        m_server.listen(QHostAddress::LocalHost, 0);
    }

    ~LocalTlsServer() { QSslConfiguration::setDefaultConfiguration(m_original); }

    bool isListening() const { return !m_certificate.isNull() && m_server.isListening(); }
    QUrl url(const QString& host) const { return QUrl(QStringLiteral("https://%1:%2/").arg(host).arg(m_server.serverPort())); }

    void answer(QByteArray response) { m_answer = std::move(response); }

    void trust()
    {
        QSslConfiguration configuration = m_original;
        configuration.addCaCertificate(m_certificate);
        QSslConfiguration::setDefaultConfiguration(configuration);
    }

private:
    QTemporaryDir m_dir;
    QSslCertificate m_certificate;
    QSslServer m_server;
    QByteArray m_answer = "HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nsecure";
    const QSslConfiguration m_original = QSslConfiguration::defaultConfiguration();
};

} // namespace

TEST_F(HttpClientIntegration, RedirectsNeverLeaveHttpsAndEndAfterSixteenHops)
{
    int hops = 0;
    server.setHandler([this, &hops](const RecordedHttpRequest&) {
        ++hops;
        return TestHttpResponse::redirect(url("/again"));
    });
    const Outcome loop = run(client, get("/again"));
    EXPECT_EQ(loop.error, HttpError::Kind::other);
    EXPECT_EQ(hops, 17);

    // A 303 turns a post into a get without its body.
    server.respond(QStringLiteral("/posted"), TestHttpResponse::redirect(url("/result"), 303));
    server.respond(QStringLiteral("/result"), TestHttpResponse::text("done"));
    const Outcome seeOther = run(client, HttpRequest{url("/posted"), "POST", {{"Content-Type", "application/json"}}, "{}"});
    ASSERT_TRUE(seeOther.response);
    EXPECT_EQ(seeOther.response->body, "done");
    EXPECT_EQ(server.requests(QStringLiteral("/result")).last().method, "GET");
    EXPECT_TRUE(server.requests(QStringLiteral("/result")).last().body.isEmpty());

    // From https down to plain http: refused before anything reaches the plain server.
    LocalTlsServer tls;
    ASSERT_TRUE(tls.isListening());
    tls.trust();
    tls.answer("HTTP/1.1 302 Found\r\nLocation: " + url("/plain").toEncoded() + "\r\nContent-Length: 0\r\n\r\n");
    const int before = server.connectionCount();
    const Outcome downgrade = run(client, HttpRequest{.url = tls.url(QStringLiteral("localhost"))});
    EXPECT_EQ(downgrade.error, HttpError::Kind::other);
    EXPECT_EQ(server.connectionCount(), before) << "the redirect reached the plain server";
}

TEST_F(HttpClientIntegration, ARedirectToAnotherOriginCarriesNoCredentialsAndNoBody)
{
    TestHttpServer other;
    ASSERT_TRUE(other.isListening());
    server.respond(QStringLiteral("/here"), TestHttpResponse::text("here"));
    other.respond(QStringLiteral("/there"), TestHttpResponse::text("there"));
    const HttpHeaders credentials{{"Authorization", "Bearer secret"}, {"Proxy-Authorization", "Basic c2VjcmV0"},
                                  {"Cookie", "session=secret"}, {"Host", "api.example"}, {"X-Request", "kept"}};

    // Within one origin everything is kept.
    server.respond(QStringLiteral("/same"), TestHttpResponse::redirect(url("/here"), 307));
    ASSERT_TRUE(run(client, HttpRequest{url("/same"), "POST", credentials, "{}"}).response);
    EXPECT_EQ(server.requests(QStringLiteral("/here")).last().headers, server.requests(QStringLiteral("/same")).last().headers);
    EXPECT_EQ(server.requests(QStringLiteral("/here")).last().body, "{}");

    // Another port is another origin.
    for (int status : {301, 302, 303, 307, 308}) {
        SCOPED_TRACE(status);
        server.respond(QStringLiteral("/away"), TestHttpResponse::redirect(other.url(QStringLiteral("/there")), status));
        const Outcome outcome = run(client, HttpRequest{url("/away"), "GET", credentials, {}});
        ASSERT_TRUE(outcome.response);
        EXPECT_EQ(outcome.response->body, "there");
        const HttpHeaders received = other.requests().last().headers;
        for (const char* name : {"Authorization", "Proxy-Authorization", "Cookie"})
            EXPECT_FALSE(received.contains(name)) << name;
        EXPECT_EQ(received.value("Host"), "127.0.0.1:" + QByteArray::number(other.port()));
        EXPECT_EQ(received.value("X-Request"), QByteArray("kept"));
    }

    // A body is never resent to another origin; a 303 fetches the new place without it.
    for (int status : {307, 308}) {
        SCOPED_TRACE(status);
        server.respond(QStringLiteral("/away"), TestHttpResponse::redirect(other.url(QStringLiteral("/there")), status));
        const int before = other.requestCount();
        EXPECT_EQ(run(client, HttpRequest{url("/away"), "POST", credentials, R"({"secret":1})"}).error,
                  HttpError::Kind::other);
        EXPECT_EQ(other.requestCount(), before) << "the body went to another origin";
    }
    server.respond(QStringLiteral("/away"), TestHttpResponse::redirect(other.url(QStringLiteral("/there")), 303));
    ASSERT_TRUE(run(client, HttpRequest{url("/away"), "POST", credentials, R"({"secret":1})"}).response);
    EXPECT_EQ(other.requests().last().method, "GET");
    EXPECT_FALSE(other.requests().last().headers.contains("Authorization"));
}

TEST_F(HttpClientIntegration, HttpsVerifiesThePeerAndItsName)
{
    LocalTlsServer tls;
    ASSERT_TRUE(tls.isListening());
    EXPECT_EQ(run(client, HttpRequest{.url = tls.url(QStringLiteral("localhost"))}).error,
              HttpError::Kind::secureConnectionFailed)
        << "an unknown authority was accepted";

    tls.trust();
    const Outcome trusted = run(client, HttpRequest{.url = tls.url(QStringLiteral("localhost"))});
    ASSERT_TRUE(trusted.response) << (trusted.error ? rawValue(*trusted.error).toStdString() : "cancelled");
    EXPECT_EQ(trusted.response->body, "secure");
    EXPECT_EQ(run(client, HttpRequest{.url = tls.url(QStringLiteral("127.0.0.1"))}).error,
              HttpError::Kind::secureConnectionFailed)
        << "a certificate for another name was accepted";
}
