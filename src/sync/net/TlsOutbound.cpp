#include "sync/net/TlsOutbound.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <cerrno>
#include <sys/socket.h>

namespace vantorel {

void TlsOutbound::queue(const QByteArray& plaintext)
{
    if (!plaintext.isEmpty())
        m_plaintext.append(plaintext);
}

TlsOutbound::Result TlsOutbound::flush(SSL* ssl, int descriptor)
{
    BIO* outgoing = SSL_get_wbio(ssl);
    for (;;) {
        if (m_encryptedSent == m_encrypted.size()) {
            m_encryptedSent = 0;
            const qsizetype pending = std::min(qsizetype(BIO_ctrl_pending(outgoing)), pieceBytes);
            if (pending == 0) {
                // Nothing held between sends: most connections send one answer, or only a
                // handshake flight, and then wait.
                m_encrypted = QByteArray();
                if (m_plaintext.isEmpty())
                    return Result::sent;
                if (!encryptNext(ssl)) {
                    drop(ssl);
                    return Result::encryptionFailed;
                }
                continue;
            }
            // Sized by what it takes: what a piece leaves in the BIO is a record's overhead, and
            // the room of a whole piece would outlive it.
            m_encrypted = QByteArray(pending, Qt::Uninitialized);
            m_encrypted.resize(std::max(BIO_read(outgoing, m_encrypted.data(), int(pending)), 0));
        }
        const ssize_t sent = ::send(descriptor, m_encrypted.constData() + m_encryptedSent,
                                    size_t(m_encrypted.size() - m_encryptedSent), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent >= 0) {
            m_encryptedSent += sent;
            continue;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            return Result::wouldBlock;
        m_errorCode = errno;
        drop(ssl);
        return Result::socketFailed;
    }
}

TlsOutbound::Result TlsOutbound::flushAndCloseNotify(SSL* ssl, int descriptor)
{
    Result result = flush(ssl, descriptor);
    if (result == Result::sent && !m_closeNotified) {
        m_closeNotified = true;
        ERR_clear_error();
        SSL_shutdown(ssl);
        ERR_clear_error();
        result = flush(ssl, descriptor);
    }
    return result;
}

bool TlsOutbound::encryptNext(SSL* ssl)
{
    const QByteArray& front = m_plaintext.front();
    const int piece = int(std::min(front.size() - m_plaintextOffset, pieceBytes));
    ERR_clear_error();
    if (SSL_write(ssl, front.constData() + m_plaintextOffset, piece) != piece)
        return false;
    m_plaintextOffset += piece;
    if (m_plaintextOffset == front.size()) {
        m_plaintext.removeFirst();
        m_plaintextOffset = 0;
    }
    return true;
}

void TlsOutbound::drop(SSL* ssl)
{
    m_plaintext.clear();
    m_plaintextOffset = 0;
    m_encrypted.clear();
    m_encryptedSent = 0;
    (void)BIO_reset(SSL_get_wbio(ssl));
}

} // namespace vantorel
