#include "sync/net/OpensslPskConnection.h"

#include "sync/net/LingeringSockets.h"
#include "sync/net/OpensslPskContext.h"

#include <QSocketNotifier>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vantorel {

namespace {

// What is drained from a closing socket at most: unread input would turn its close into a reset
// that can cost the peer the answer just written.
constexpr int drainChunks = 4;

bool wouldBlock(int code)
{
    return code == EAGAIN || code == EWOULDBLOCK || code == EINTR;
}

void closeDescriptor(int descriptor)
{
    char scratch[4096];
    for (int i = 0; i < drainChunks && ::recv(descriptor, scratch, sizeof scratch, MSG_DONTWAIT) > 0; ++i) {
    }
    ::close(descriptor);
}

// Takes this thread's OpenSSL error queue, which must be left empty: Qt's TLS sockets on this
// thread read it too.
NetworkError tlsError(QAbstractSocket::SocketError kind, const char* fallback)
{
    const unsigned long code = ERR_get_error();
    char text[256] = {};
    if (code != 0)
        ERR_error_string_n(code, text, sizeof text);
    ERR_clear_error();
    return NetworkError::tls(kind, QString::fromLatin1(code != 0 ? text : fallback));
}

NetworkError posixError(int code)
{
    return NetworkError::posix(code, QString::fromLocal8Bit(std::strerror(code)));
}

// The last encrypted bytes of a cancelled connection that the socket could not take at once. They
// go out as the peer makes room, then the descriptor closes; LingeringSockets deletes the object,
// and so aborts, after the grace.
class PendingFlush final : public QObject
{
public:
    PendingFlush(int descriptor, QByteArray rest)
        : m_descriptor(descriptor)
        , m_rest(std::move(rest))
        , m_writable(std::make_unique<QSocketNotifier>(descriptor, QSocketNotifier::Write))
    {
        QObject::connect(m_writable.get(), &QSocketNotifier::activated, this, [this] { flush(); });
    }

    ~PendingFlush() override
    {
        m_writable.reset();
        closeDescriptor(m_descriptor);
    }

private:
    void flush()
    {
        while (m_sent < m_rest.size()) {
            const ssize_t sent = ::send(m_descriptor, m_rest.constData() + m_sent, size_t(m_rest.size() - m_sent),
                                        MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent >= 0) {
                m_sent += sent;
                continue;
            }
            if (wouldBlock(errno))
                return;
            break;
        }
        m_writable->setEnabled(false);
        deleteLater();
    }

    int m_descriptor;
    QByteArray m_rest;
    qsizetype m_sent = 0;
    std::unique_ptr<QSocketNotifier> m_writable;
};

} // namespace

OpensslPskConnection::OpensslPskConnection(qintptr socketDescriptor, std::shared_ptr<const OpensslPskContext> context,
                                           std::function<void()> onHandshake)
    : m_context(std::move(context))
    , m_onHandshake(std::move(onHandshake))
    , m_descriptor(int(socketDescriptor))
{
}

OpensslPskConnection::~OpensslPskConnection()
{
    release();
}

void OpensslPskConnection::setStateHandler(StateHandler handler)
{
    m_callbacks.setStateHandler(std::move(handler));
}

void OpensslPskConnection::start()
{
    if (m_started || m_callbacks.isCancelled())
        return;
    m_started = true;
    m_readable = std::make_unique<QSocketNotifier>(m_descriptor, QSocketNotifier::Read);
    QObject::connect(m_readable.get(), &QSocketNotifier::activated, m_callbacks.context(), [this] { onReadable(); });
    // A peer that has spoken already shows its handshake at once, so it is not taken for an idle one.
    pollfd peer{m_descriptor, POLLIN, 0};
    if (::poll(&peer, 1, 0) > 0)
        onReadable();
}

void OpensslPskConnection::beginHandshake()
{
    m_callbacks.report(State::preparing);
    m_ssl = m_context->context() ? SSL_new(m_context->context()) : nullptr;
    m_incoming = BIO_new(BIO_s_mem());
    m_outgoing = BIO_new(BIO_s_mem());
    if (!m_ssl || !m_incoming || !m_outgoing) {
        SSL_free(std::exchange(m_ssl, nullptr));
        BIO_free(m_incoming);
        BIO_free(m_outgoing);
        m_incoming = m_outgoing = nullptr;
        fail(tlsError(QAbstractSocket::SslInternalError, "the TLS context could not be set up"));
        return;
    }
    SSL_set_bio(m_ssl, m_incoming, m_outgoing);
    SSL_set_accept_state(m_ssl);
}

void OpensslPskConnection::onReadable()
{
    if (!m_ssl && !m_failure)
        beginHandshake();
    if (m_failure) {
        updateReadInterest();
        return;
    }
    char chunk[socketChunkBytes];
    const ssize_t got = ::recv(m_descriptor, chunk, sizeof chunk, MSG_DONTWAIT);
    if (got > 0)
        BIO_write(m_incoming, chunk, int(got));
    else if (got == 0)
        m_peerEnded = true;
    else if (!wouldBlock(errno))
        socketFailed(errno);
    advance();
}

void OpensslPskConnection::advance()
{
    if (!m_ready && !m_failure && m_ssl)
        handshake();
    if (m_ready)
        deliverReceive();
    updateReadInterest();
}

void OpensslPskConnection::handshake()
{
    ERR_clear_error();
    const int result = SSL_do_handshake(m_ssl);
    if (result == 1) {
        m_ready = true;
        m_callbacks.report(State::ready);
        if (m_onHandshake)
            m_onHandshake();
        flushOut();
        return;
    }
    if (SSL_get_error(m_ssl, result) == SSL_ERROR_WANT_READ) {
        ERR_clear_error();
        flushOut();
        if (m_peerEnded && !m_failure)
            fail(NetworkError::posix(ECONNRESET, QStringLiteral("connection closed during the handshake")));
        return;
    }
    fail(tlsError(QAbstractSocket::SslHandshakeFailedError, "the TLS handshake failed"));
    // The alert tells the peer why.
    flushOut();
}

void OpensslPskConnection::deliverReceive()
{
    const std::optional<qsizetype> limit = m_callbacks.receiveLimit();
    if (!limit)
        return;
    QByteArray bytes;
    if (m_ready && !m_endOfStream) {
        ERR_clear_error();
        bytes.resize(std::min(*limit, socketChunkBytes));
        const int got = SSL_read(m_ssl, bytes.data(), int(bytes.size()));
        bytes.resize(std::max(got, 0));
        if (got <= 0) {
            switch (SSL_get_error(m_ssl, got)) {
            case SSL_ERROR_ZERO_RETURN:
                m_endOfStream = true;
                break;
            case SSL_ERROR_WANT_READ:
                m_endOfStream = m_peerEnded;
                break;
            default:
                if (!m_streamError)
                    m_streamError = tlsError(QAbstractSocket::SslInternalError, "the TLS stream failed");
                break;
            }
            ERR_clear_error();
        }
    }
    std::optional<NetworkError> error;
    bool isComplete = false;
    if (bytes.isEmpty()) {
        if (m_failure)
            error = m_failure;
        else if (m_streamError)
            error = m_streamError;
        else if (m_endOfStream)
            isComplete = true;
        else
            return;
    }
    m_callbacks.deliver(bytes, isComplete, error);
}

void OpensslPskConnection::updateReadInterest()
{
    if (!m_readable)
        return;
    // Before the handshake and during it the peer's bytes are needed; afterwards only while a
    // receive waits, so a peer cannot make this side buffer what nobody reads.
    const bool wanted = !m_callbacks.isCancelled() && !m_peerEnded && !m_failure && !m_streamError && !m_endOfStream
        && (!m_ready || m_callbacks.receiveLimit().has_value());
    m_readable->setEnabled(wanted);
}

void OpensslPskConnection::send(const QByteArray& content, SendCompletion completion)
{
    if (m_callbacks.isCancelled())
        return;
    std::optional<NetworkError> refusal = m_failure ? m_failure : m_streamError;
    // Nothing goes out unencrypted, and the handshake's own bytes must not be mixed with data.
    if (!refusal && !m_ready)
        refusal = NetworkError::posix(ENOTCONN, QStringLiteral("the handshake has not finished"));
    if (!refusal && (m_peerEnded || m_endOfStream))
        refusal = NetworkError::posix(EPIPE, QStringLiteral("the peer closed the connection"));
    if (refusal) {
        m_callbacks.refuseSend(std::move(completion), *refusal);
        return;
    }
    // Implicitly shared: a frame sent to many peers is held once.
    if (!content.isEmpty())
        m_plaintext.append(content);
    m_callbacks.addSend(std::move(completion));
    flushOut();
}

bool OpensslPskConnection::encryptNext()
{
    if (m_plaintext.isEmpty())
        return false;
    // A piece at a time, as the socket takes it: the encrypted copy stays small and its buffer is
    // reused, where a whole frame at once would cost fresh pages for every connection.
    const QByteArray& front = m_plaintext.front();
    const int piece = int(std::min<qsizetype>(front.size() - m_plaintextOffset, socketChunkBytes));
    ERR_clear_error();
    if (SSL_write(m_ssl, front.constData() + m_plaintextOffset, piece) != piece) {
        m_plaintext.clear();
        m_plaintextOffset = 0;
        const NetworkError error = tlsError(QAbstractSocket::SslInternalError, "the data could not be encrypted");
        if (!m_streamError)
            m_streamError = error;
        m_callbacks.failSends(error);
        return false;
    }
    m_plaintextOffset += piece;
    if (m_plaintextOffset == front.size()) {
        m_plaintext.removeFirst();
        m_plaintextOffset = 0;
    }
    return true;
}

void OpensslPskConnection::flushOut()
{
    if (m_descriptor < 0 || !m_outgoing)
        return;
    for (;;) {
        if (m_outboundSent == m_outbound.size()) {
            m_outbound.resize(socketChunkBytes);
            const int taken = BIO_read(m_outgoing, m_outbound.data(), int(m_outbound.size()));
            m_outbound.resize(std::max(taken, 0));
            m_outboundSent = 0;
            if (taken <= 0) {
                if (encryptNext())
                    continue;
                break;
            }
        }
        const ssize_t sent = ::send(m_descriptor, m_outbound.constData() + m_outboundSent,
                                    size_t(m_outbound.size() - m_outboundSent), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent >= 0) {
            m_outboundSent += sent;
            continue;
        }
        if (wouldBlock(errno)) {
            // Made only now: most answers fit the socket's buffer at once.
            if (!m_writable) {
                m_writable = std::make_unique<QSocketNotifier>(m_descriptor, QSocketNotifier::Write);
                QObject::connect(m_writable.get(), &QSocketNotifier::activated, m_callbacks.context(),
                                 [this] { flushOut(); });
            }
            m_writable->setEnabled(true);
            return;
        }
        const int code = errno;
        m_outbound.clear();
        m_outboundSent = 0;
        m_plaintext.clear();
        m_plaintextOffset = 0;
        (void)BIO_reset(m_outgoing);
        if (m_writable)
            m_writable->setEnabled(false);
        socketFailed(code);
        return;
    }
    ERR_clear_error();
    if (m_writable)
        m_writable->setEnabled(false);
    m_callbacks.completeSends();
}

void OpensslPskConnection::socketFailed(int code)
{
    const NetworkError error = posixError(code);
    if (!m_ready) {
        fail(error);
        return;
    }
    // A reset reads as the end of the stream, as the peer closing does.
    if (code == ECONNRESET || code == EPIPE)
        m_peerEnded = true;
    else if (!m_streamError)
        m_streamError = error;
    m_callbacks.failSends(error);
    deliverReceive();
    updateReadInterest();
}

void OpensslPskConnection::fail(const NetworkError& error)
{
    if (m_failure)
        return;
    m_failure = error;
    m_callbacks.report(State::failed, error);
    m_callbacks.failSends(error);
    deliverReceive();
    updateReadInterest();
}

void OpensslPskConnection::receive(qsizetype minimumIncompleteLength, qsizetype maximumLength,
                                   ReceiveCompletion completion)
{
    Q_UNUSED(minimumIncompleteLength) // a read never returns zero bytes without an end or error
    if (m_callbacks.isCancelled())
        return;
    m_callbacks.awaitReceive(maximumLength, std::move(completion));
    deliverReceive();
    updateReadInterest();
}

void OpensslPskConnection::cancel()
{
    if (m_callbacks.isCancelled())
        return;
    m_callbacks.cancel();
    release();
}

void OpensslPskConnection::release()
{
    m_readable.reset();
    m_writable.reset();
    if (m_descriptor < 0)
        return;
    const int descriptor = std::exchange(m_descriptor, -1);
    QByteArray rest;
    if (m_ssl) {
        // Close-notify after whatever was queued, so the peer can tell the end from a cut.
        if (m_ready && !m_failure) {
            while (encryptNext()) {
            }
            ERR_clear_error();
            SSL_shutdown(m_ssl);
            ERR_clear_error();
        }
        rest = m_outbound.mid(m_outboundSent);
        char chunk[4096];
        for (int taken; (taken = BIO_read(m_outgoing, chunk, sizeof chunk)) > 0;)
            rest.append(chunk, taken);
        SSL_free(std::exchange(m_ssl, nullptr));
        m_incoming = m_outgoing = nullptr;
        ERR_clear_error();
    }
    qsizetype sent = 0;
    while (sent < rest.size()) {
        const ssize_t written =
            ::send(descriptor, rest.constData() + sent, size_t(rest.size() - sent), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            break;
        sent += written;
    }
    if (sent < rest.size() && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        // The answer just written still goes out, without a timer of its own.
        LingeringSockets::instance().hold(new PendingFlush(descriptor, rest.mid(sent)));
        return;
    }
    closeDescriptor(descriptor);
}

} // namespace vantorel
