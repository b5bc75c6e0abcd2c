#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <array>

namespace vantorel {

// The first nine bytes a TLS client sends, the record header and the ClientHello's handshake
// header, read before OpenSSL sees any of them: OpenSSL grows and zeroes a handshake buffer as
// long as the length the header declares (up to about 128 KiB) before the body arrives, so a
// peer without the key could make every pooled connection that expensive with nine bytes. Only a
// handshake record holding a ClientHello of a size a PSK client sends gets through.
class ClientHelloHeader
{
public:
    // Record header (type, version, length) and handshake header (type, 24-bit length).
    static constexpr qsizetype size = 5 + 4;
    // Longest ClientHello let through. OpenSSL's PSK clients send 103 bytes with the sync suite
    // pinned and up to 423 offering TLS 1.3, Qt's 508; hybrid post-quantum key shares add about
    // 1.2 KiB. Below OpenSSL's initial 16 KiB handshake buffer, so a hello never grows it.
    static constexpr qsizetype maximumClientHelloBytes = 8 * 1024;

    enum class Verdict {
        // More bytes are needed before anything can be said.
        incomplete,
        // Every byte is here and declares a ClientHello that may go on to TLS.
        accepted,
        // Not a handshake record, not a ClientHello, or longer than a PSK client sends.
        refused,
    };

    // Bytes still to read before the verdict; never read more, so nothing beyond the header is
    // taken from the socket here.
    qsizetype missing() const { return size - m_length; }
    // Takes at most missing() bytes; what is refused is refused as soon as the offending byte is in.
    Verdict append(QByteArrayView bytes);
    Verdict verdict() const { return m_verdict; }
    // What was read, to be handed to TLS unchanged.
    QByteArrayView bytes() const { return QByteArrayView(m_bytes.data(), m_length); }

private:
    Verdict judge() const;

    std::array<char, size> m_bytes{};
    qsizetype m_length = 0;
    Verdict m_verdict = Verdict::incomplete;
};

} // namespace vantorel
