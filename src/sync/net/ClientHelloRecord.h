#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <vector>

namespace vantorel {

// The first record a TLS client sends, held whole before OpenSSL sees any of it. OpenSSL grows and
// zeroes a handshake buffer as long as the length a ClientHello header declares (up to about
// 128 KiB) before the body arrives, and even a hello of the right size costs a TLS session with
// its buffers, and TLS work for every byte a peer trickles. So the record and handshake headers
// are judged as they arrive, and only a record holding exactly one whole ClientHello of a size a
// PSK client sends goes on to TLS: a peer that stalls or trickles costs the bytes it sent.
class ClientHelloRecord
{
public:
    // Record header (type, version, length) and handshake header (type, 24-bit length).
    static constexpr qsizetype headerBytes = 5 + 4;
    // Longest ClientHello let through. OpenSSL's PSK clients send 103 bytes with the sync suite
    // pinned and up to 423 offering TLS 1.3, Qt's 508; hybrid post-quantum key shares add about
    // 1.2 KiB. Below OpenSSL's initial 16 KiB handshake buffer, so a hello never grows it.
    static constexpr qsizetype maximumClientHelloBytes = 8 * 1024;
    static constexpr qsizetype maximumBytes = headerBytes + maximumClientHelloBytes;

    enum class Verdict {
        // More bytes are needed before anything can be said.
        incomplete,
        // The whole record is here and holds a ClientHello that may go on to TLS.
        accepted,
        // Not a handshake record, not a ClientHello, longer than a PSK client sends, or a record
        // that does not hold exactly one whole hello (a hello cut across records would reach TLS
        // before its end).
        refused,
    };

    // Bytes to read before the next step: the rest of the headers, then the rest of the record.
    // Never more, so nothing beyond the record is taken from the socket here.
    qsizetype missing() const;
    // Takes at most missing() bytes; what is refused is refused as soon as the offending byte is in.
    Verdict append(QByteArrayView bytes);
    Verdict verdict() const { return m_verdict; }
    // What was read, to be handed to TLS unchanged.
    QByteArrayView bytes() const { return QByteArrayView(m_bytes.data(), qsizetype(m_bytes.size())); }
    // Bytes of memory held for them: no more than arrived.
    qsizetype capacity() const { return qsizetype(m_bytes.capacity()); }
    // Frees the bytes once TLS has them; the verdict stands.
    void release() { std::vector<char>().swap(m_bytes); }

private:
    Verdict judge() const;

    std::vector<char> m_bytes;
    Verdict m_verdict = Verdict::incomplete;
};

} // namespace vantorel
