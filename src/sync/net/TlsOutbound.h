#pragma once

#include <QByteArray>
#include <QList>

typedef struct ssl_st SSL;

namespace vantorel {

// What one TLS connection still owes its peer: plaintext, encrypted a piece at a time as the
// socket takes it, and the encrypted bytes the socket has not taken yet. However long a frame, the
// encrypted copy stays one piece, where a whole frame at once would cost fresh pages for every
// connection; its buffer is as large as the piece it holds, and gone once everything went out, so
// a connection that waits holds none. The SSL object must write into a
// memory BIO.
class TlsOutbound
{
public:
    // Most bytes encrypted, or moved to the socket, in one step.
    static constexpr qsizetype pieceBytes = 64 * 1024;

    enum class Result {
        // Everything queued, and everything TLS itself had to send, went out.
        sent,
        // The socket is full: flush again once it is writable.
        wouldBlock,
        // The socket failed (errorCode() says why); what was queued is dropped.
        socketFailed,
        // TLS could not encrypt, its reason left on this thread's error queue; what was queued
        // is dropped.
        encryptionFailed,
    };

    // Implicitly shared: a frame sent to many peers is held once.
    void queue(const QByteArray& plaintext);
    // Sends without blocking until everything is out or the socket is full.
    Result flush(SSL* ssl, int descriptor);
    // As flush(), then, once everything queued is out, the close-notify (sent once), so the peer
    // can tell the end from a cut.
    Result flushAndCloseNotify(SSL* ssl, int descriptor);
    // The errno of the last socketFailed.
    int errorCode() const { return m_errorCode; }
    // Bytes of memory held for encrypted output.
    qsizetype encryptedCapacity() const { return m_encrypted.capacity(); }

private:
    bool encryptNext(SSL* ssl);
    void drop(SSL* ssl);

    QList<QByteArray> m_plaintext;
    // How much of the first plaintext is encrypted already.
    qsizetype m_plaintextOffset = 0;
    QByteArray m_encrypted;
    // How much of m_encrypted the socket has taken.
    qsizetype m_encryptedSent = 0;
    int m_errorCode = 0;
    bool m_closeNotified = false;
};

} // namespace vantorel
