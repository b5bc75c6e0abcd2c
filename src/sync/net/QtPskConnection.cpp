#include "sync/net/QtPskConnection.h"

#include "sync/net/LingeringSockets.h"

#include <QNetworkProxy>
#include <QSslCipher>
#include <QSslConfiguration>
#include <QSslPreSharedKeyAuthenticator>
#include <QSslSocket>

#include <cerrno>

namespace vantorel {

namespace {

QSslConfiguration makePskConfiguration()
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setProtocol(QSsl::TlsV1_2);
    // A null cipher (not offered by this OpenSSL) leaves the list empty and the handshake fails.
    const QSslCipher cipher(QString::fromLatin1(PskParameters::cipherSuite), QSsl::TlsV1_2);
    configuration.setCiphers(cipher.isNull() ? QList<QSslCipher>{} : QList<QSslCipher>{cipher});
    // There are no certificates with a pre-shared key; the key itself authenticates the peer.
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    configuration.setCaCertificates({});
    // No resumption: every connection proves the key afresh.
    configuration.setSslOption(QSsl::SslOptionDisableSessionTickets, true);
    configuration.setSslOption(QSsl::SslOptionDisableSessionSharing, true);
    configuration.setSslOption(QSsl::SslOptionDisableSessionPersistence, true);
    return configuration;
}

// Made once: looking the suite up walks OpenSSL's cipher list, too much for every connection.
const QSslConfiguration& pskConfiguration()
{
    static const QSslConfiguration configuration = makePskConfiguration();
    return configuration;
}

} // namespace

std::unique_ptr<QtPskConnection> QtPskConnection::connecting(const QString& host, quint16 port,
                                                             PskParameters parameters)
{
    std::unique_ptr<QtPskConnection> connection(new QtPskConnection(std::move(parameters)));
    connection->m_host = host;
    connection->m_port = port;
    return connection;
}

QtPskConnection::QtPskConnection(PskParameters parameters)
    : m_parameters(std::move(parameters))
{
}

QtPskConnection::~QtPskConnection()
{
    release();
}

void QtPskConnection::setStateHandler(StateHandler handler)
{
    m_callbacks.setStateHandler(std::move(handler));
}

void QtPskConnection::start()
{
    if (m_started || m_callbacks.isCancelled())
        return;
    m_started = true;
    m_callbacks.report(State::preparing);
    m_socket = new QSslSocket;
    // Bounded from the first byte: a peer must not fill memory while the handshake runs.
    m_socket->setReadBufferSize(readBufferBytes);
    m_socket->setProxy(QNetworkProxy::NoProxy);
    m_socket->setSslConfiguration(pskConfiguration());
    wire();
    m_socket->connectToHostEncrypted(m_host, m_port);
}

void QtPskConnection::wire()
{
    // The authenticator lives only during the signal: answer it directly, never queued.
    QObject::connect(
        m_socket, &QSslSocket::preSharedKeyAuthenticationRequired, m_callbacks.context(),
        [this](QSslPreSharedKeyAuthenticator* authenticator) {
            authenticator->setIdentity(m_parameters.identity);
            authenticator->setPreSharedKey(m_parameters.key);
        },
        Qt::DirectConnection);
    QObject::connect(m_socket, &QSslSocket::encrypted, m_callbacks.context(), [this] { onEncrypted(); });
    QObject::connect(m_socket, &QAbstractSocket::errorOccurred, m_callbacks.context(), [this] { onSocketError(); });
    QObject::connect(m_socket, &QAbstractSocket::disconnected, m_callbacks.context(), [this] { onDisconnected(); });
    QObject::connect(m_socket, &QIODevice::readyRead, m_callbacks.context(), [this] { deliverReceive(); });
    QObject::connect(m_socket, &QIODevice::bytesWritten, m_callbacks.context(), [this] { onBytesWritten(); });
    QObject::connect(m_socket, &QSslSocket::encryptedBytesWritten, m_callbacks.context(), [this] { onBytesWritten(); });
}

void QtPskConnection::onEncrypted()
{
    if (m_failure)
        return;
    m_ready = true;
    m_callbacks.report(State::ready);
    deliverReceive();
}

void QtPskConnection::fail(const NetworkError& error)
{
    if (m_failure)
        return;
    m_failure = error;
    m_callbacks.report(State::failed, error);
    m_callbacks.failSends(error);
    deliverReceive();
}

void QtPskConnection::onSocketError()
{
    const auto socketError = m_socket->error();
    NetworkError error = NetworkError::fromSocketError(socketError, m_socket->errorString());
    if (!m_ready) {
        fail(error);
        return;
    }
    if (socketError == QAbstractSocket::RemoteHostClosedError)
        m_endOfStream = true;
    else if (!m_streamError)
        m_streamError = error;
    m_callbacks.failSends(error);
    deliverReceive();
}

void QtPskConnection::onDisconnected()
{
    if (!m_ready) {
        fail(NetworkError::posix(ECONNRESET, QStringLiteral("connection closed during the handshake")));
        return;
    }
    m_endOfStream = true;
    if (m_callbacks.hasSends())
        m_callbacks.failSends(NetworkError::posix(EPIPE, QStringLiteral("connection closed before the data went out")));
    deliverReceive();
}

void QtPskConnection::send(const QByteArray& content, SendCompletion completion)
{
    if (m_callbacks.isCancelled())
        return;
    std::optional<NetworkError> refusal = m_failure ? m_failure : m_streamError;
    if (!refusal && (!m_started || !m_socket))
        refusal = NetworkError::posix(ENOTCONN, QStringLiteral("not started"));
    // Qt sockets cannot half-close: once the peer ended its stream nothing more goes out, and a
    // write would wait forever for a completion.
    if (!refusal && m_endOfStream)
        refusal = NetworkError::posix(EPIPE, QStringLiteral("the peer closed the connection"));
    if (refusal) {
        m_callbacks.refuseSend(std::move(completion), *refusal);
        return;
    }
    m_callbacks.addSend(std::move(completion));
    if (m_socket->write(content) != content.size())
        m_callbacks.failSends(NetworkError::fromSocketError(m_socket->error(), m_socket->errorString()));
}

void QtPskConnection::onBytesWritten()
{
    if (!m_callbacks.hasSends() || !m_socket || m_socket->bytesToWrite() > 0 || m_socket->encryptedBytesToWrite() > 0)
        return;
    m_callbacks.completeSends();
}

void QtPskConnection::receive(qsizetype minimumIncompleteLength, qsizetype maximumLength, ReceiveCompletion completion)
{
    Q_UNUSED(minimumIncompleteLength) // a read never returns zero bytes without an end or error
    if (m_callbacks.isCancelled())
        return;
    m_callbacks.awaitReceive(maximumLength, std::move(completion));
    deliverReceive();
}

void QtPskConnection::deliverReceive()
{
    const std::optional<qsizetype> limit = m_callbacks.receiveLimit();
    if (!limit)
        return;
    QByteArray bytes;
    std::optional<NetworkError> error;
    bool isComplete = false;
    if (m_ready && m_socket && m_socket->bytesAvailable() > 0)
        bytes = m_socket->read(*limit);
    else if (m_failure)
        error = m_failure;
    else if (m_streamError)
        error = m_streamError;
    else if (m_endOfStream)
        isComplete = true;
    else
        return;
    m_callbacks.deliver(bytes, isComplete, error);
}

void QtPskConnection::cancel()
{
    if (m_callbacks.isCancelled())
        return;
    m_callbacks.cancel();
    release();
}

void QtPskConnection::release()
{
    if (!m_socket)
        return;
    QSslSocket* socket = std::exchange(m_socket, nullptr);
    QObject::disconnect(socket, nullptr, m_callbacks.context(), nullptr);
    // The socket finishes its close-notify and FIN on its own, so an answer just written is not
    // cut off.
    LingeringSockets::instance().close(socket);
}

} // namespace vantorel
