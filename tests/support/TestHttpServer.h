#pragma once

#include "core/foundation/HttpHeaders.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QQueue>
#include <QString>
#include <QUrl>

#include <functional>

class QTcpServer;
class QTcpSocket;

namespace vantorel {

// One scripted answer of TestHttpServer.
struct TestHttpResponse
{
    enum class Drop {
        none,
        // Close the connection without sending anything.
        beforeResponse,
        // Send the head (with the full Content-Length) and half the body, then close.
        midBody,
    };

    int status = 200;
    HttpHeaders headers;
    QByteArray body;
    // Wait this long before sending anything.
    double delaySeconds = 0.0;
    // When positive, the body goes out in `trickleChunks` pieces this far apart (after the head).
    double trickleIntervalSeconds = 0.0;
    int trickleChunks = 1;
    Drop drop = Drop::none;

    static TestHttpResponse text(QByteArray body, int status = 200);
    static TestHttpResponse json(QByteArray body, int status = 200);
    static TestHttpResponse redirect(const QUrl& location, int status = 302);
    static TestHttpResponse dropped(Drop drop = Drop::beforeResponse);
};

// A request as the server received it.
struct RecordedHttpRequest
{
    QByteArray method;
    // Path without the query ("/v1/usage").
    QString path;
    // Query text without "?" (empty when none).
    QString query;
    HttpHeaders headers;
    QByteArray body;
};

// A loopback HTTP/1.1 server on 127.0.0.1 and a random port for integration tests. Answers are
// scripted per path: queued one-shot answers are used first, then the standing answer, then a
// handler, else 404. Keep-alive, Content-Length bodies; every request is recorded. Delays use
// real timers, so keep them short.
class TestHttpServer : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<TestHttpResponse(const RecordedHttpRequest&)>;

    // Starts listening at once; isListening() tells whether that worked.
    explicit TestHttpServer(QObject* parent = nullptr);
    ~TestHttpServer() override;

    bool isListening() const;
    quint16 port() const;
    // "http://127.0.0.1:<port>" + path (path may carry a query).
    QUrl url(const QString& path = QStringLiteral("/")) const;

    // Answers every request to `path` (query ignored) with `response`.
    void respond(const QString& path, TestHttpResponse response);
    // Answers the next request to `path` with `response`; several queue in order.
    void enqueue(const QString& path, TestHttpResponse response);
    // Fallback for paths with nothing scripted.
    void setHandler(Handler handler);

    QList<RecordedHttpRequest> requests() const { return m_requests; }
    QList<RecordedHttpRequest> requests(const QString& path) const;
    int requestCount() const { return int(m_requests.size()); }
    // Connections accepted so far.
    int connectionCount() const { return m_connectionCount; }

    // Stops accepting connections and closes the open ones.
    void close();

signals:
    void requestReceived(const vantorel::RecordedHttpRequest& request);

private:
    struct Connection;

    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const RecordedHttpRequest& request);
    TestHttpResponse scripted(const RecordedHttpRequest& request);

    QTcpServer* m_server = nullptr;
    QHash<QString, TestHttpResponse> m_standing;
    QHash<QString, QQueue<TestHttpResponse>> m_queued;
    Handler m_handler;
    QList<RecordedHttpRequest> m_requests;
    QHash<QTcpSocket*, Connection*> m_connections;
    int m_connectionCount = 0;
};

} // namespace vantorel
