#include "core/foundation/HttpClient.h"

#include "core/foundation/CancellationError.h"
#include "core/foundation/HttpError.h"
#include "core/foundation/PendingCompletion.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>

namespace vantorel {

namespace {

// URL loading gives up after this many hops as well.
constexpr int maximumRedirects = 16;
// A response head larger than this is no answer we can use. (Qt itself drops every field of a
// head with more than 100 of them, so a count needs no check here.)
constexpr qint64 maximumHeadBytes = 64 * 1024;

// Whether the head's fields, as "name: value" lines with their line breaks, stay within bounds.
bool headWithinBounds(const QList<QNetworkReply::RawHeaderPair>& fields)
{
    qint64 bytes = 0;
    for (const auto& [name, value] : fields)
        bytes += name.size() + value.size() + 4;
    return bytes <= maximumHeadBytes;
}

// Milliseconds for a QTimer or a transfer time-out; 0 (none) for non-positive or NaN seconds.
int milliseconds(double seconds)
{
    if (!(seconds > 0.0))
        return 0;
    const double ms = std::ceil(seconds * 1000.0);
    return ms >= double(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max() : int(ms);
}

// Errors that only restate an HTTP status the server did send; the answer is returned as is.
bool restatesHttpStatus(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::NoError:
    case QNetworkReply::ContentAccessDenied:
    case QNetworkReply::ContentOperationNotPermittedError:
    case QNetworkReply::ContentNotFoundError:
    case QNetworkReply::AuthenticationRequiredError:
    case QNetworkReply::ContentReSendError:
    case QNetworkReply::ContentConflictError:
    case QNetworkReply::ContentGoneError:
    case QNetworkReply::ProtocolInvalidOperationError:
    case QNetworkReply::InternalServerError:
    case QNetworkReply::OperationNotImplementedError:
    case QNetworkReply::ServiceUnavailableError:
    case QNetworkReply::UnknownServerError:
        return true;
    default:
        return false;
    }
}

// Qt also reports a body it cannot decompress as UnknownContentError; only with a 4xx status
// does that error merely restate the status.
bool restatesHttpStatus(QNetworkReply::NetworkError error, int status)
{
    if (error == QNetworkReply::UnknownContentError)
        return status >= 400 && status < 500;
    return restatesHttpStatus(error);
}

HttpError::Kind kindOf(QNetworkReply::NetworkError error)
{
    using Kind = HttpError::Kind;
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
        return Kind::cannotConnectToHost;
    case QNetworkReply::RemoteHostClosedError:
    // A request that may not be repeated lost its connection before any answer.
    case QNetworkReply::ContentReSendError:
        return Kind::networkConnectionLost;
    case QNetworkReply::HostNotFoundError:
        return Kind::cannotFindHost;
    case QNetworkReply::TimeoutError:
    case QNetworkReply::ProxyTimeoutError:
    // Qt reports an expired transfer time-out as a cancellation; our own are told apart earlier.
    case QNetworkReply::OperationCanceledError:
        return Kind::timedOut;
    case QNetworkReply::SslHandshakeFailedError:
        return Kind::secureConnectionFailed;
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::BackgroundRequestNotAllowedError:
        return Kind::notConnectedToInternet;
    default:
        return Kind::other;
    }
}

// A name is an HTTP token; a value holds no control characters but tab. Qt writes both as given,
// so a line break taken from outside data (a stored token, say) would add header lines of its
// own or split the request.
bool isValidHeaderField(const QByteArray& name, const QByteArray& value)
{
    static constexpr std::string_view tokenPunctuation = "!#$%&'*+-.^_`|~";
    if (name.isEmpty())
        return false;
    for (const char c : name) {
        const bool alphanumeric = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alphanumeric && tokenPunctuation.find(c) == std::string_view::npos)
            return false;
    }
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && byte != '\t') || byte == 0x7F)
            return false;
    }
    return true;
}

// Methods a server may see twice without harm; Qt re-sends a request on its own when the
// connection closes before any answer, which must not post a message twice.
bool isIdempotent(const QByteArray& method)
{
    return method == "GET" || method == "HEAD" || method == "PUT" || method == "DELETE" || method == "OPTIONS";
}

// The body of a request that must go out at most once: a device Qt cannot rewind, so an
// automatic re-send fails (ContentReSendError) instead of repeating the request.
class OneShotUpload final : public QIODevice
{
public:
    OneShotUpload(QByteArray data, QObject* parent)
        : QIODevice(parent)
        , m_data(std::move(data))
    {
        open(QIODevice::ReadOnly);
    }

    bool isSequential() const override { return true; }
    bool reset() override { return false; }
    qint64 bytesAvailable() const override { return m_data.size() - m_position + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 count = std::min<qint64>(maxSize, m_data.size() - m_position);
        if (count <= 0)
            return m_position >= m_data.size() ? -1 : 0;
        std::memcpy(data, m_data.constData() + m_position, static_cast<size_t>(count));
        m_position += count;
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_data;
    qint64 m_position = 0;
};

bool sendsBodyEvenWhenEmpty(const QByteArray& method)
{
    return method == "POST" || method == "PUT" || method == "PATCH";
}

// What the signal handlers learn while the coroutine waits; shared because the handlers may
// outlive the coroutine's interest in them.
struct Exchange
{
    PendingCompletion<> done;
    QByteArray body;
    qint64 limit = 0;
    bool tooLarge = false;
    bool resourceTimedOut = false;
    bool headersTimedOut = false;
    bool headTooLarge = false;
    bool replyDestroyed = false;
};

} // namespace

HttpClient::HttpClient()
    : HttpClient(Options{})
{
}

HttpClient::HttpClient(Options options, QNetworkAccessManager* manager)
    : m_options(options)
{
    if (!manager) {
        m_ownedManager = std::make_unique<QNetworkAccessManager>();
        manager = m_ownedManager.get();
    }
    m_manager = manager;
}

HttpClient::~HttpClient() = default;

QCoro::Task<HttpResponse> HttpClient::send(HttpRequest request, CancelToken token)
{
    token.throwIfCancelled();
    // The client may be gone when the reply finishes: nothing below the co_await touches it.
    const Options options = m_options;
    if (!m_manager)
        throw HttpError(HttpError::Kind::cancelled, QStringLiteral("The network access manager is gone"));

    for (const auto& [name, value] : request.headers.fields()) {
        // The value may be a secret: never put it into the error.
        if (!isValidHeaderField(name, value))
            throw HttpError(HttpError::Kind::other, QStringLiteral("The request has a malformed header field"));
    }

    QNetworkRequest networkRequest(request.url);
    for (const auto& [name, value] : request.headers.fields()) {
        const auto values = request.headers.values(name);
        networkRequest.setRawHeader(name, values.size() == 1 ? value : values.join(", "));
    }
    networkRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    networkRequest.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    networkRequest.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    networkRequest.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    networkRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                                options.followRedirects ? QNetworkRequest::NoLessSafeRedirectPolicy
                                                          : QNetworkRequest::ManualRedirectPolicy);
    networkRequest.setMaximumRedirectsAllowed(maximumRedirects);
    networkRequest.setTransferTimeout(milliseconds(options.requestTimeoutSeconds));

    auto exchange = std::make_shared<Exchange>();
    exchange->limit = request.maximumResponseBytes.value_or(options.maximumResponseBytes);

    QNetworkReply* rawReply = nullptr;
    if (request.body.isEmpty() && !sendsBodyEvenWhenEmpty(request.method)) {
        rawReply = m_manager->sendCustomRequest(networkRequest, request.method);
    } else if (isIdempotent(request.method)) {
        rawReply = m_manager->sendCustomRequest(networkRequest, request.method, request.body);
    } else {
        networkRequest.setHeader(QNetworkRequest::ContentLengthHeader, request.body.size());
        networkRequest.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
        auto* upload = new OneShotUpload(request.body, nullptr);
        rawReply = m_manager->sendCustomRequest(networkRequest, request.method, upload);
        upload->setParent(rawReply);
    }
    QPointer<QNetworkReply> reply = rawReply;
    // Qt reads ahead of readyRead into an unbounded buffer; bound it so the cap holds in memory.
    rawReply->setReadBufferSize(exchange->limit + 1);

    const auto overLimit = [exchange, rawReply] {
        exchange->tooLarge = true;
        rawReply->abort();
    };
    // Bytes of an endless header block keep the transfer time-out from firing, and Qt holds the
    // whole block in memory: the head must be complete within the request time-out.
    QTimer headersTimer;
    headersTimer.setSingleShot(true);
    QObject::connect(&headersTimer, &QTimer::timeout, rawReply, [exchange, rawReply] {
        exchange->headersTimedOut = true;
        rawReply->abort();
    });
    if (const int ms = milliseconds(options.requestTimeoutSeconds); ms > 0)
        headersTimer.start(ms);
    QObject::connect(rawReply, &QNetworkReply::metaDataChanged, rawReply,
                     [exchange, rawReply, overLimit, headers = QPointer<QTimer>(&headersTimer)] {
        if (headers)
            headers->stop();
        if (!headWithinBounds(rawReply->rawHeaderPairs())) {
            exchange->headTooLarge = true;
            rawReply->abort();
            return;
        }
        const auto length = rawReply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > exchange->limit)
            overLimit();
    });
    QObject::connect(rawReply, &QIODevice::readyRead, rawReply, [exchange, rawReply, overLimit] {
        exchange->body += rawReply->readAll();
        if (exchange->body.size() > exchange->limit)
            overLimit();
    });
    QObject::connect(rawReply, &QNetworkReply::finished, rawReply, [exchange] { exchange->done.complete(); });
    QObject::connect(rawReply, &QObject::destroyed, [exchange] {
        exchange->replyDestroyed = true;
        exchange->done.complete();
    });

    QTimer resourceTimer;
    resourceTimer.setSingleShot(true);
    resourceTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&resourceTimer, &QTimer::timeout, rawReply, [exchange, rawReply] {
        exchange->resourceTimedOut = true;
        rawReply->abort();
    });
    if (const int ms = milliseconds(options.resourceTimeoutSeconds); ms > 0)
        resourceTimer.start(ms);

    // The token may be cancelled on any thread, where the reply must not be touched (it may be
    // deleted at that very moment): wake this coroutine, which aborts the reply on its own thread.
    auto registration = token.onCancel([exchange] { exchange->done.complete(); });

    co_await exchange->done;

    registration.reset();
    resourceTimer.stop();
    headersTimer.stop();
    if (reply) {
        if (token.isCancelled())
            reply->abort();
        reply->deleteLater();
    }

    if (token.isCancelled())
        throw CancellationError();
    if (exchange->replyDestroyed)
        throw HttpError(HttpError::Kind::cancelled, QStringLiteral("The request was abandoned with its client"));
    if (exchange->tooLarge) {
        throw HttpError(HttpError::Kind::responseTooLarge,
                        QStringLiteral("The response is larger than %1 bytes").arg(exchange->limit));
    }
    if (exchange->headTooLarge) {
        throw HttpError(HttpError::Kind::other,
                        QStringLiteral("The response head is larger than %1 bytes").arg(maximumHeadBytes));
    }
    if (exchange->headersTimedOut) {
        throw HttpError(HttpError::Kind::timedOut, QStringLiteral("The response head did not arrive within %1 s")
                                                       .arg(options.requestTimeoutSeconds));
    }
    if (exchange->resourceTimedOut) {
        throw HttpError(HttpError::Kind::timedOut,
                        QStringLiteral("The request did not finish within %1 s").arg(options.resourceTimeoutSeconds));
    }

    const auto error = reply->error();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid() || !restatesHttpStatus(error, status.toInt()))
        throw HttpError(kindOf(error), reply->errorString());

    exchange->body += reply->readAll();
    if (exchange->body.size() > exchange->limit) {
        throw HttpError(HttpError::Kind::responseTooLarge,
                        QStringLiteral("The response is larger than %1 bytes").arg(exchange->limit));
    }

    HttpResponse response;
    response.statusCode = status.toInt();
    for (const auto& [name, value] : reply->rawHeaderPairs())
        response.headers.add(name, value);
    response.body = std::move(exchange->body);
    response.url = reply->url();
    co_return response;
}

} // namespace vantorel
