#pragma once

#include "sync/net/PskCallbacks.h"
#include "sync/net/PskConnection.h"
#include "sync/net/PskParameters.h"

#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class QSslSocket;

namespace vantorel {

// The client side of a sync connection over QSslSocket: TLS 1.2 with the single suite
// PSK-AES128-GCM-SHA256, no certificate, offering the identity and key. (Accepted connections are
// OpensslPskConnection's.)
class QtPskConnection final : public PskConnection
{
public:
    // How long a closed connection may take to flush what it queued before it is aborted.
    static constexpr int closeGraceMilliseconds = 10'000;
    // Decrypted bytes held for the reader at most; beyond it the peer waits (TCP back-pressure).
    static constexpr qint64 readBufferBytes = 256 * 1024;

    // An outgoing connection to host:port, not started.
    static std::unique_ptr<QtPskConnection> connecting(const QString& host, quint16 port, PskParameters parameters);

    ~QtPskConnection() override;

    void setStateHandler(StateHandler handler) override;
    void start() override;
    bool isLocalNetworkDenied() const override { return false; }
    void send(const QByteArray& content, SendCompletion completion) override;
    void receive(qsizetype minimumIncompleteLength, qsizetype maximumLength, ReceiveCompletion completion) override;
    void cancel() override;

private:
    explicit QtPskConnection(PskParameters parameters);

    void wire();
    void fail(const NetworkError& error);
    void onEncrypted();
    void onSocketError();
    void onDisconnected();
    void onBytesWritten();
    void deliverReceive();
    void release();

    PskParameters m_parameters;
    QString m_host;
    quint16 m_port = 0;
    // Owned until release(), which lets it finish closing on its own.
    QSslSocket* m_socket = nullptr;
    // Also the receiver of the socket's signals.
    PskCallbacks m_callbacks;
    bool m_started = false;
    bool m_ready = false;
    // A failure before ready.
    std::optional<NetworkError> m_failure;
    // A failure after ready, reported to reads once buffered bytes are out.
    std::optional<NetworkError> m_streamError;
    bool m_endOfStream = false;
};

} // namespace vantorel
