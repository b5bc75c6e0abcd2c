#include "sync/net/OpensslPskConnection.h"

#include "sync/net/LingeringSockets.h"
#include "sync/net/OpensslPskContext.h"
#include "sync/net/SocketWatch.h"
#include "sync/net/TlsOutbound.h"

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

// What a cancelled connection still owes its peer when the socket cannot take it at once: it goes
// out as the peer makes room, encrypted a piece at a time as the live connection would, then the
// descriptor closes. LingeringSockets deletes the object, and so aborts, after the grace.
class PendingFlush final : public QObject
{
public:
    PendingFlush(int descriptor, SSL* ssl, TlsOutbound outbound, bool closeNotify)
        : m_descriptor(descriptor)
        , m_ssl(ssl)
        , m_outbound(std::move(outbound))
        , m_closeNotify(closeNotify)
        , m_writable(std::make_unique<SocketWatch>(descriptor, SocketWatch::Kind::write, [this] {
            if (flush(m_ssl, m_descriptor, m_outbound, m_closeNotify) == TlsOutbound::Result::wouldBlock)
                return;
            m_writable->setEnabled(false);
            deleteLater();
        }))
    {
    }

    ~PendingFlush() override
    {
        m_writable.reset();
        SSL_free(m_ssl);
        ERR_clear_error();
        closeDescriptor(m_descriptor);
    }

    // Sends what `outbound` holds, with the close-notify after it when `closeNotify`.
    static TlsOutbound::Result flush(SSL* ssl, int descriptor, TlsOutbound& outbound, bool closeNotify)
    {
        const TlsOutbound::Result result
            = closeNotify ? outbound.flushAndCloseNotify(ssl, descriptor) : outbound.flush(ssl, descriptor);
        ERR_clear_error();
        return result;
    }

private:
    int m_descriptor;
    SSL* m_ssl;
    TlsOutbound m_outbound;
    bool m_closeNotify;
    std::unique_ptr<SocketWatch> m_writable;
};

} // namespace

OpensslPskConnection::OpensslPskConnection(qintptr socketDescriptor, std::shared_ptr<const OpensslPskContext> context,
                                           std::function<void()> onHandshake, Origin origin)
    : m_context(std::move(context))
    , m_onHandshake(std::move(onHandshake))
    , m_origin(std::move(origin))
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
    m_readable = std::make_unique<SocketWatch>(m_descriptor, SocketWatch::Kind::read, [this] { onReadable(); });
    // A peer that has spoken already shows its handshake at once, so it is not taken for an idle one.
    pollfd peer{m_descriptor, POLLIN, 0};
    if (::poll(&peer, 1, 0) > 0)
        onReadable();
}

bool OpensslPskConnection::beginHandshake()
{
    m_ssl = m_context->context() ? SSL_new(m_context->context()) : nullptr;
    m_incoming = BIO_new(BIO_s_mem());
    BIO* outgoing = BIO_new(BIO_s_mem());
    if (!m_ssl || !m_incoming || !outgoing) {
        SSL_free(std::exchange(m_ssl, nullptr));
        BIO_free(std::exchange(m_incoming, nullptr));
        BIO_free(outgoing);
        fail(tlsError(QAbstractSocket::SslInternalError, "the TLS context could not be set up"));
        return false;
    }
    SSL_set_bio(m_ssl, m_incoming, outgoing);
    SSL_set_accept_state(m_ssl);
    const QByteArrayView hello = m_hello.bytes();
    BIO_write(m_incoming, hello.data(), int(hello.size()));
    m_hello.release();
    return true;
}

bool OpensslPskConnection::readClientHello()
{
    if (!m_spoke) {
        m_spoke = true;
        m_callbacks.report(State::preparing);
    }
    // The headers first, then the rest of the record as it declares, so nothing beyond the hello
    // is taken before TLS is set up.
    for (;;) {
        char chunk[ClientHelloRecord::maximumBytes];
        const qsizetype wanted = m_hello.missing();
        const ssize_t got = ::recv(m_descriptor, chunk, size_t(wanted), MSG_DONTWAIT);
        if (got == 0) {
            m_peerEnded = true;
            fail(NetworkError::posix(ECONNRESET, QStringLiteral("connection closed during the handshake")));
            return false;
        }
        if (got < 0) {
            if (!wouldBlock(errno))
                socketFailed(errno);
            return false;
        }
        switch (m_hello.append(QByteArrayView(chunk, got))) {
        case ClientHelloRecord::Verdict::incomplete:
            if (got < wanted)
                return false;
            continue;
        case ClientHelloRecord::Verdict::refused:
            m_hello.release();
            fail(NetworkError::tls(QAbstractSocket::SslHandshakeFailedError,
                                   QStringLiteral("the peer sent no ClientHello of a size a PSK client sends")));
            return false;
        case ClientHelloRecord::Verdict::accepted:
            if (m_onTlsSetup && !m_onTlsSetup()) {
                m_hello.release();
                fail(NetworkError::posix(ECONNABORTED, QStringLiteral("no room for another handshake")));
                return false;
            }
            return beginHandshake();
        }
    }
}

void OpensslPskConnection::onReadable()
{
    if (!m_failure && !m_ssl && !readClientHello()) {
        updateReadInterest();
        return;
    }
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
        // Read on the stack and copied at their size: the caller keeps what it gets, and an array
        // sized for the most that could come would carry that capacity with a few bytes.
        char chunk[socketChunkBytes];
        const int got = SSL_read(m_ssl, chunk, int(std::min(*limit, socketChunkBytes)));
        if (got > 0) {
            bytes = QByteArray(chunk, got);
        } else {
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
    m_outbound.queue(content);
    m_callbacks.addSend(std::move(completion));
    flushOut();
}

void OpensslPskConnection::flushOut()
{
    if (m_descriptor < 0 || !m_ssl)
        return;
    const TlsOutbound::Result result = m_outbound.flush(m_ssl, m_descriptor);
    if (result == TlsOutbound::Result::wouldBlock) {
        // Made only now: most answers fit the socket's buffer at once.
        if (!m_writable)
            m_writable = std::make_unique<SocketWatch>(m_descriptor, SocketWatch::Kind::write, [this] { flushOut(); });
        m_writable->setEnabled(true);
        return;
    }
    if (m_writable)
        m_writable->setEnabled(false);
    switch (result) {
    case TlsOutbound::Result::sent:
        ERR_clear_error();
        m_callbacks.completeSends();
        break;
    case TlsOutbound::Result::encryptionFailed: {
        const NetworkError error = tlsError(QAbstractSocket::SslInternalError, "the data could not be encrypted");
        if (!m_streamError)
            m_streamError = error;
        m_callbacks.failSends(error);
        break;
    }
    case TlsOutbound::Result::socketFailed:
        socketFailed(m_outbound.errorCode());
        break;
    case TlsOutbound::Result::wouldBlock:
        break;
    }
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
    SSL* ssl = std::exchange(m_ssl, nullptr);
    m_incoming = nullptr;
    if (!ssl) {
        closeDescriptor(descriptor);
        return;
    }
    // What was queued, then the close-notify; a failed handshake sends only its alert.
    const bool closeNotify = m_ready && !m_failure;
    if (PendingFlush::flush(ssl, descriptor, m_outbound, closeNotify) == TlsOutbound::Result::wouldBlock) {
        // The answer just written still goes out, without a timer of its own.
        LingeringSockets::instance().hold(new PendingFlush(descriptor, ssl, std::move(m_outbound), closeNotify));
        return;
    }
    SSL_free(ssl);
    ERR_clear_error();
    closeDescriptor(descriptor);
}

} // namespace vantorel
