#include "support/TestHttpServer.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <cmath>

namespace vantorel {

namespace {

// Requests larger than this are a broken test, not something to buffer.
constexpr qsizetype maximumRequestBytes = 16 * 1024 * 1024;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 201: return "Created";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 429: return "Too Many Requests";
    case 500: return "Internal Server Error";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

int milliseconds(double seconds)
{
    return seconds > 0.0 ? int(std::ceil(seconds * 1000.0)) : 0;
}

QByteArray head(const TestHttpResponse& response)
{
    QByteArray text = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reasonPhrase(response.status) + "\r\n";
    for (const auto& [name, value] : response.headers.fields())
        text += name + ": " + value + "\r\n";
    if (!response.headers.contains("Content-Length"))
        text += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    return text + "\r\n";
}

TestHttpResponse withBody(const QByteArray& contentType, QByteArray body, int status)
{
    TestHttpResponse response;
    response.status = status;
    response.headers.add("Content-Type", contentType);
    response.body = std::move(body);
    return response;
}

} // namespace

TestHttpResponse TestHttpResponse::text(QByteArray body, int status)
{
    return withBody("text/plain; charset=utf-8", std::move(body), status);
}

TestHttpResponse TestHttpResponse::json(QByteArray body, int status)
{
    return withBody("application/json", std::move(body), status);
}

TestHttpResponse TestHttpResponse::redirect(const QUrl& location, int status)
{
    TestHttpResponse response;
    response.status = status;
    response.headers.add("Location", location.toEncoded());
    response.body = "moved";
    return response;
}

TestHttpResponse TestHttpResponse::dropped(Drop drop)
{
    TestHttpResponse response;
    response.drop = drop;
    response.body = "this body is never delivered whole";
    return response;
}

struct TestHttpServer::Connection
{
    QByteArray buffer;
    bool answering = false;
};

TestHttpServer::TestHttpServer(QObject* parent)
    : QObject(parent)
    , m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &TestHttpServer::onNewConnection);
    m_server->listen(QHostAddress::LocalHost, 0);
}

TestHttpServer::~TestHttpServer()
{
    close();
}

bool TestHttpServer::isListening() const
{
    return m_server->isListening();
}

quint16 TestHttpServer::port() const
{
    return m_server->serverPort();
}

QUrl TestHttpServer::url(const QString& path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path));
}

void TestHttpServer::respond(const QString& path, TestHttpResponse response)
{
    m_standing.insert(path, std::move(response));
}

void TestHttpServer::enqueue(const QString& path, TestHttpResponse response)
{
    m_queued[path].enqueue(std::move(response));
}

void TestHttpServer::setHandler(Handler handler)
{
    m_handler = std::move(handler);
}

QList<RecordedHttpRequest> TestHttpServer::requests(const QString& path) const
{
    QList<RecordedHttpRequest> matching;
    for (const auto& request : m_requests) {
        if (request.path == path)
            matching.append(request);
    }
    return matching;
}

void TestHttpServer::close()
{
    m_server->close();
    const auto sockets = m_connections.keys();
    for (auto* socket : sockets) {
        delete m_connections.take(socket);
        socket->disconnect(this);
        // Deleted now, not later: its pending script timers must not outlive this server.
        socket->abort();
        delete socket;
    }
}

void TestHttpServer::onNewConnection()
{
    while (auto* socket = m_server->nextPendingConnection()) {
        ++m_connectionCount;
        m_connections.insert(socket, new Connection);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            delete m_connections.take(socket);
            socket->deleteLater();
        });
    }
}

void TestHttpServer::onReadyRead(QTcpSocket* socket)
{
    auto* connection = m_connections.value(socket);
    if (!connection)
        return;
    connection->buffer += socket->readAll();
    if (connection->answering)
        return;

    const auto headEnd = connection->buffer.indexOf("\r\n\r\n");
    if (headEnd < 0) {
        if (connection->buffer.size() > maximumRequestBytes)
            socket->abort();
        return;
    }
    const QList<QByteArray> lines = connection->buffer.left(headEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    RecordedHttpRequest request;
    request.method = requestLine.value(0);
    const QByteArray target = requestLine.value(1);
    const auto queryStart = target.indexOf('?');
    request.path = QString::fromUtf8(queryStart < 0 ? target : target.left(queryStart));
    request.query = queryStart < 0 ? QString() : QString::fromUtf8(target.mid(queryStart + 1));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const auto colon = line.indexOf(':');
        if (colon > 0)
            request.headers.add(line.left(colon).trimmed(), line.mid(colon + 1).trimmed());
    }
    const qsizetype bodyLength = request.headers.value("Content-Length").value_or("0").toLongLong();
    if (bodyLength < 0 || bodyLength > maximumRequestBytes) {
        socket->abort();
        return;
    }
    if (connection->buffer.size() < headEnd + 4 + bodyLength)
        return;
    request.body = connection->buffer.mid(headEnd + 4, bodyLength);
    connection->buffer.remove(0, headEnd + 4 + bodyLength);

    m_requests.append(request);
    connection->answering = true;
    emit requestReceived(request);
    answer(socket, request);
}

TestHttpResponse TestHttpServer::scripted(const RecordedHttpRequest& request)
{
    if (auto queue = m_queued.find(request.path); queue != m_queued.end() && !queue->isEmpty())
        return queue->dequeue();
    if (auto standing = m_standing.constFind(request.path); standing != m_standing.constEnd())
        return *standing;
    if (m_handler)
        return m_handler(request);
    return TestHttpResponse::text("not found", 404);
}

void TestHttpServer::answer(QTcpSocket* socket, const RecordedHttpRequest& request)
{
    const TestHttpResponse response = scripted(request);
    const bool closeAfter = request.headers.value("Connection").value_or("").toLower() == "close";

    // Each step runs with the socket as context, so a connection closed meanwhile ends the script.
    const auto finish = [this, socket, closeAfter] {
        if (closeAfter) {
            socket->disconnectFromHost();
            return;
        }
        if (auto* connection = m_connections.value(socket)) {
            connection->answering = false;
            if (!connection->buffer.isEmpty())
                onReadyRead(socket);
        }
    };

    const auto send = [socket, response, finish] {
        if (response.drop == TestHttpResponse::Drop::beforeResponse) {
            socket->disconnectFromHost();
            return;
        }
        socket->write(head(response));
        if (response.drop == TestHttpResponse::Drop::midBody) {
            socket->write(response.body.left(response.body.size() / 2));
            socket->disconnectFromHost();
            return;
        }
        const int chunks = std::max(1, response.trickleChunks);
        if (response.trickleIntervalSeconds <= 0.0 || chunks == 1) {
            socket->write(response.body);
            finish();
            return;
        }
        // Trickle: one piece now, the rest on a repeating timer owned by the socket.
        const qsizetype pieceSize = (response.body.size() + chunks - 1) / chunks;
        auto* timer = new QTimer(socket);
        auto offset = std::make_shared<qsizetype>(0);
        const auto sendPiece = [socket, response, pieceSize, offset, timer, finish] {
            socket->write(response.body.mid(*offset, pieceSize));
            *offset += pieceSize;
            if (*offset >= response.body.size()) {
                timer->deleteLater();
                timer->stop();
                finish();
            }
        };
        QObject::connect(timer, &QTimer::timeout, socket, sendPiece);
        sendPiece();
        if (*offset < response.body.size())
            timer->start(milliseconds(response.trickleIntervalSeconds));
    };

    if (response.delaySeconds > 0.0)
        QTimer::singleShot(milliseconds(response.delaySeconds), socket, send);
    else
        send();
}

} // namespace vantorel
