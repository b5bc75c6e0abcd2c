#include "core/foundation/HttpClient.h"

#include "core/foundation/CancellationError.h"
#include "core/foundation/HttpError.h"
#include "core/foundation/HttpResponseReader.h"
#include "core/foundation/PendingCompletion.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QNetworkProxy>
#include <QPointer>
#include <QSslSocket>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <optional>

namespace vantorel {

namespace {

// URL loading gives up after this many hops as well.
constexpr int maximumRedirects = 16;
// Unread input the socket holds at most, so one read is bounded whatever the peer sends.
constexpr qint64 socketReadBufferBytes = 64 * 1024;
// Sent when the caller names none, as the network layer used before always did.
constexpr char defaultUserAgent[] = "Mozilla/5.0";
constexpr char defaultAcceptLanguage[] = "en-US,*";

// Milliseconds for a QTimer; 0 (none) for non-positive or NaN seconds.
int milliseconds(double seconds)
{
    if (!(seconds > 0.0))
        return 0;
    const double ms = std::ceil(seconds * 1000.0);
    return ms >= double(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max() : int(ms);
}

bool sendsBodyEvenWhenEmpty(const QByteArray& method)
{
    return method == "POST" || method == "PUT" || method == "PATCH";
}

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

int defaultPort(const QUrl& url)
{
    return url.scheme() == QLatin1String("https") ? 443 : 80;
}

// Scheme, host and port alike (QUrl keeps scheme and host in lower case).
bool isSameOrigin(const QUrl& a, const QUrl& b)
{
    return a.scheme() == b.scheme() && a.host() == b.host() && a.port(defaultPort(a)) == b.port(defaultPort(b));
}

// Fields that vouch for the caller, or name the host, at the origin the caller chose.
constexpr const char* originBoundFields[] = {"Authorization", "Proxy-Authorization", "Cookie", "Host"};

// The request as it goes on the wire: one field per name (repeated values joined), the body's
// length, and a connection that ends with the answer.
QByteArray requestBytes(const QUrl& url, const QByteArray& method, const HttpHeaders& headers, const QByteArray& body)
{
    QByteArray target = url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    // An empty path, with or without a query, is the root: "GET ?x=1" is no request line.
    if (!target.startsWith('/'))
        target.prepend('/');
    QByteArray bytes = method + ' ' + target + " HTTP/1.1\r\n";
    const auto addField = [&bytes](const QByteArray& name, const QByteArray& value) {
        bytes += name + ": " + value + "\r\n";
    };
    if (!headers.contains("Host")) {
        QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
        if (host.contains(':'))
            host = '[' + host + ']';
        if (url.port() >= 0 && url.port() != defaultPort(url))
            host += ':' + QByteArray::number(url.port());
        addField("Host", host);
    }
    QList<QByteArray> written;
    for (const auto& field : headers.fields()) {
        const QByteArray lower = field.first.toLower();
        if (written.contains(lower))
            continue;
        written.append(lower);
        addField(field.first, headers.values(field.first).join(", "));
    }
    if (!headers.contains("User-Agent"))
        addField("User-Agent", defaultUserAgent);
    if (!headers.contains("Accept-Language"))
        addField("Accept-Language", defaultAcceptLanguage);
    if (!headers.contains("Content-Length") && (!body.isEmpty() || sendsBodyEvenWhenEmpty(method)))
        addField("Content-Length", QByteArray::number(body.size()));
    addField("Connection", "close");
    return bytes + "\r\n" + body;
}

// A proxy of the system configuration that can tunnel the connection, else none. A loopback
// server is never reached through one.
QNetworkProxy proxyFor(const QUrl& url)
{
    if (QHostAddress(url.host()).isLoopback() || url.host() == QLatin1String("localhost"))
        return QNetworkProxy::NoProxy;
    for (const QNetworkProxy& proxy : QNetworkProxyFactory::proxyForQuery(QNetworkProxyQuery(url))) {
        if (proxy.type() == QNetworkProxy::NoProxy)
            break;
        if (proxy.capabilities().testFlag(QNetworkProxy::TunnelingCapability))
            return proxy;
    }
    return QNetworkProxy::NoProxy;
}

HttpError::Kind kindOf(QAbstractSocket::SocketError error, bool answered)
{
    using Kind = HttpError::Kind;
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
    case QAbstractSocket::ProxyConnectionRefusedError:
    case QAbstractSocket::ProxyConnectionClosedError:
    case QAbstractSocket::ProxyNotFoundError:
        return Kind::cannotConnectToHost;
    case QAbstractSocket::HostNotFoundError:
        return Kind::cannotFindHost;
    case QAbstractSocket::SocketTimeoutError:
    case QAbstractSocket::ProxyConnectionTimeoutError:
        return Kind::timedOut;
    case QAbstractSocket::SslHandshakeFailedError:
    case QAbstractSocket::SslInternalError:
    case QAbstractSocket::SslInvalidUserDataError:
        return Kind::secureConnectionFailed;
    case QAbstractSocket::RemoteHostClosedError:
        return Kind::networkConnectionLost;
    case QAbstractSocket::NetworkError:
        return answered ? Kind::networkConnectionLost : Kind::notConnectedToInternet;
    default:
        return Kind::other;
    }
}

// What the socket handlers learn while the coroutine waits; shared because the handlers may
// outlive the coroutine's interest in them.
struct Exchange
{
    Exchange(bool headRequest, qint64 limit)
        : reader(headRequest, limit)
    {
    }

    PendingCompletion<> done;
    HttpResponseReader reader;
    std::optional<QAbstractSocket::SocketError> socketError;
    QString socketErrorText;
    bool idleTimedOut = false;
    bool headersTimedOut = false;
    bool resourceTimedOut = false;
    bool ownerGone = false;
};

// One request on one connection; `owner` parents the socket, and its end fails the exchange.
QCoro::Task<HttpResponse> exchangeOnce(QPointer<QObject> owner, QUrl url, QByteArray method, QByteArray wire,
                                       HttpClient::Options options, qint64 limit, QDeadlineTimer deadline,
                                       CancelToken token)
{
    if (!owner)
        throw HttpError(HttpError::Kind::cancelled, QStringLiteral("The request was abandoned with its client"));
    auto exchange = std::make_shared<Exchange>(method == "HEAD", limit);
    auto* socket = new QSslSocket(owner.data());
    QPointer<QSslSocket> guard(socket);
    socket->setProxy(proxyFor(url));
    socket->setReadBufferSize(socketReadBufferBytes);

    // Receives every handler, so none outlives this frame.
    QObject context;
    QTimer idle;
    idle.setSingleShot(true);
    const int idleMs = milliseconds(options.requestTimeoutSeconds);
    const auto moved = [&idle, idleMs] {
        if (idleMs > 0)
            idle.start(idleMs);
    };
    QObject::connect(&idle, &QTimer::timeout, &context, [exchange] {
        exchange->idleTimedOut = true;
        exchange->done.complete();
    });
    // Bytes of an endless head would keep the idle time-out from firing: the head must also be
    // complete within the request time-out.
    QTimer headers;
    headers.setSingleShot(true);
    QObject::connect(&headers, &QTimer::timeout, &context, [exchange] {
        exchange->headersTimedOut = true;
        exchange->done.complete();
    });
    QTimer resource;
    resource.setSingleShot(true);
    resource.setTimerType(Qt::PreciseTimer);
    QObject::connect(&resource, &QTimer::timeout, &context, [exchange] {
        exchange->resourceTimedOut = true;
        exchange->done.complete();
    });

    const auto read = [exchange, socket, &headers, moved] {
        const QByteArray bytes = socket->readAll();
        if (bytes.isEmpty())
            return;
        moved();
        if (exchange->reader.feed(bytes) != HttpResponseReader::State::reading)
            exchange->done.complete();
        if (exchange->reader.hasHead())
            headers.stop();
    };
    const auto ended = [exchange, read] {
        read();
        exchange->reader.finish();
        exchange->done.complete();
    };
    const auto send = [socket, wire, moved] {
        moved();
        socket->write(wire);
    };
    const bool secure = url.scheme() == QLatin1String("https");
    if (secure)
        QObject::connect(socket, &QSslSocket::encrypted, &context, send);
    else
        QObject::connect(socket, &QAbstractSocket::connected, &context, send);
    QObject::connect(socket, &QIODevice::bytesWritten, &context, moved);
    QObject::connect(socket, &QIODevice::readyRead, &context, read);
    QObject::connect(socket, &QAbstractSocket::disconnected, &context, ended);
    QObject::connect(socket, &QAbstractSocket::errorOccurred, &context,
                     [exchange, socket, ended](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::RemoteHostClosedError) {
            ended();
            return;
        }
        if (!exchange->socketError) {
            exchange->socketError = error;
            exchange->socketErrorText = socket->errorString();
        }
        exchange->done.complete();
    });
    // The owner's children die after this runs: silence the socket first, so no handler runs on a
    // half-destroyed one.
    QObject::connect(owner.data(), &QObject::destroyed, &context, [exchange, socket] {
        exchange->ownerGone = true;
        QObject::disconnect(socket, nullptr, nullptr, nullptr);
        socket->abort();
        exchange->done.complete();
    });

    moved();
    if (idleMs > 0)
        headers.start(idleMs);
    if (!deadline.isForever())
        resource.start(std::chrono::milliseconds(std::max<qint64>(deadline.remainingTime(), 0)));
    const QString host = url.host(QUrl::FullyDecoded);
    const auto port = quint16(url.port(defaultPort(url)));
    if (secure)
        socket->connectToHostEncrypted(host, port);
    else
        socket->connectToHost(host, port);

    // The token may be cancelled on any thread, where the socket must not be touched: wake this
    // coroutine, which drops the socket on its own thread.
    auto registration = token.onCancel([exchange] { exchange->done.complete(); });
    co_await exchange->done;
    registration.reset();

    if (guard) {
        QObject::disconnect(socket, nullptr, &context, nullptr);
        socket->abort();
        socket->deleteLater();
    }

    if (token.isCancelled())
        throw CancellationError();
    if (exchange->ownerGone)
        throw HttpError(HttpError::Kind::cancelled, QStringLiteral("The request was abandoned with its client"));
    HttpResponseReader& reader = exchange->reader;
    using State = HttpResponseReader::State;
    switch (reader.state()) {
    case State::complete: {
        HttpResponse response;
        response.statusCode = reader.statusCode();
        response.headers = reader.headers();
        response.body = reader.takeBody();
        response.url = url;
        co_return response;
    }
    case State::invalid:
        throw HttpError(HttpError::Kind::other, reader.error());
    case State::tooLarge:
        throw HttpError(HttpError::Kind::responseTooLarge, reader.error());
    case State::truncated:
    case State::reading:
        break;
    }
    // A failed handshake or a reset also ends the connection: the cause is the better report.
    if (exchange->socketError)
        throw HttpError(kindOf(*exchange->socketError, reader.hasStarted()), exchange->socketErrorText);
    if (reader.state() == State::truncated)
        throw HttpError(HttpError::Kind::networkConnectionLost, reader.error());
    if (exchange->resourceTimedOut) {
        throw HttpError(HttpError::Kind::timedOut,
                        QStringLiteral("The request did not finish within %1 s").arg(options.resourceTimeoutSeconds));
    }
    if (exchange->headersTimedOut) {
        throw HttpError(HttpError::Kind::timedOut, QStringLiteral("The response head did not arrive within %1 s")
                                                       .arg(options.requestTimeoutSeconds));
    }
    if (exchange->idleTimedOut) {
        throw HttpError(HttpError::Kind::timedOut,
                        QStringLiteral("No bytes moved for %1 s").arg(options.requestTimeoutSeconds));
    }
    throw HttpError(HttpError::Kind::other, QStringLiteral("The exchange ended without an answer"));
}

} // namespace

HttpClient::HttpClient()
    : HttpClient(Options{})
{
}

HttpClient::HttpClient(Options options)
    : m_options(options)
    , m_connections(std::make_unique<QObject>())
{
}

HttpClient::~HttpClient() = default;

QCoro::Task<HttpResponse> HttpClient::send(HttpRequest request, CancelToken token)
{
    token.throwIfCancelled();
    // The client may be gone when an exchange ends: nothing below the first co_await touches it.
    const Options options = m_options;
    const QPointer<QObject> owner(m_connections.get());

    for (const auto& [name, value] : request.headers.fields()) {
        // The value may be a secret: never put it into the error. A line break taken from outside
        // data (a stored token, say) would add header lines of its own or split the request.
        if (!HttpResponseReader::isValidField(name, value))
            throw HttpError(HttpError::Kind::other, QStringLiteral("The request has a malformed header field"));
    }
    const qint64 limit = request.maximumResponseBytes.value_or(options.maximumResponseBytes);
    const int resourceMs = milliseconds(options.resourceTimeoutSeconds);
    const QDeadlineTimer deadline = resourceMs > 0 ? QDeadlineTimer(resourceMs, Qt::PreciseTimer)
                                                   : QDeadlineTimer(QDeadlineTimer::Forever);

    QUrl url = request.url;
    QByteArray method = request.method;
    QByteArray body = request.body;
    HttpHeaders headers = request.headers;
    for (int hop = 0;; ++hop) {
        const QString scheme = url.scheme();
        if ((scheme != QLatin1String("http") && scheme != QLatin1String("https")) || url.host().isEmpty())
            throw HttpError(HttpError::Kind::other, QStringLiteral("The URL is no http or https URL"));
        QByteArray wire = requestBytes(url, method, headers, body);
        HttpResponse response
            = co_await exchangeOnce(owner, url, method, std::move(wire), options, limit, deadline, token);
        const auto location = response.headers.value("Location");
        if (!options.followRedirects || !isRedirect(response.statusCode) || !location)
            co_return response;
        if (hop + 1 > maximumRedirects)
            throw HttpError(HttpError::Kind::other, QStringLiteral("Too many redirects"));
        const QUrl next = url.resolved(QUrl::fromEncoded(*location));
        // Never from https down to http.
        if (scheme == QLatin1String("https") && next.scheme() != QLatin1String("https"))
            throw HttpError(HttpError::Kind::other, QStringLiteral("A redirect leaves https"));
        // As browsers do: 307 and 308 repeat the request, the others fetch the new place.
        if (response.statusCode != 307 && response.statusCode != 308 && method != "HEAD") {
            method = "GET";
            body.clear();
            headers.remove("Content-Type");
            headers.remove("Content-Length");
        }
        // Another origin gets neither the caller's credentials nor a body meant for the first.
        if (!isSameOrigin(url, next)) {
            if (!body.isEmpty())
                throw HttpError(HttpError::Kind::other, QStringLiteral("A redirect would send the body to another origin"));
            for (const char* name : originBoundFields)
                headers.remove(name);
        }
        url = next;
    }
}

} // namespace vantorel
