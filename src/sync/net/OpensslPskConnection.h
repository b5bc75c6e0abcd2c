#pragma once

#include "sync/net/ClientHelloRecord.h"
#include "sync/net/PskCallbacks.h"
#include "sync/net/PskConnection.h"
#include "sync/net/TlsOutbound.h"

#include <QList>
#include <QObject>

#include <memory>
#include <optional>

typedef struct ssl_st SSL;
typedef struct bio_st BIO;

namespace vantorel {

class OpensslPskContext;
class SocketWatch;

// The server side of a sync connection on an accepted descriptor, with TLS run by OpenSSL on the
// listener's shared context: a connection costs no TLS set-up of its own. Encrypted bytes pass
// through memory buffers, so every socket call is ours: non-blocking, never raising SIGPIPE, and
// reading only while a handshake or a receive needs bytes (the kernel holds the peer back).
class OpensslPskConnection final : public PskConnection
{
public:
    // Most bytes moved between the socket and TLS in one system call.
    static constexpr qsizetype socketChunkBytes = 64 * 1024;

    // Takes `socketDescriptor` over, not started: the handshake runs only on start(), and not
    // before the peer has sent a whole ClientHello, so a peer that connects and says nothing, or
    // anything else, or sends a hello and stalls before its end, costs no TLS.
    // Dropping an unstarted connection just closes the descriptor. `onHandshake` runs once the
    // peer has proven the key, synchronously: it must not call back into this connection.
    OpensslPskConnection(qintptr socketDescriptor, std::shared_ptr<const OpensslPskContext> context,
                         std::function<void()> onHandshake = {}, Origin origin = {});
    ~OpensslPskConnection() override;

    void setStateHandler(StateHandler handler) override;
    void setTlsSetupHandler(TlsSetupHandler handler) override { m_onTlsSetup = std::move(handler); }
    void start() override;
    bool isLocalNetworkDenied() const override { return false; }
    Origin origin() const override { return m_origin; }
    void send(const QByteArray& content, SendCompletion completion) override;
    void receive(qsizetype minimumIncompleteLength, qsizetype maximumLength, ReceiveCompletion completion) override;
    void cancel() override;

    // Whether TLS is set up, which it is from the peer's whole ClientHello on.
    bool hasTlsSession() const { return m_ssl != nullptr; }
    // Bytes of memory held for a ClientHello still arriving.
    qsizetype heldHelloBytes() const { return m_hello.capacity(); }

private:
    bool beginHandshake();
    bool readClientHello();
    void onReadable();
    void advance();
    void handshake();
    void deliverReceive();
    void flushOut();
    void socketFailed(int code);
    void fail(const NetworkError& error);
    void updateReadInterest();
    void release();

    std::shared_ptr<const OpensslPskContext> m_context;
    std::function<void()> m_onHandshake;
    TlsSetupHandler m_onTlsSetup;
    Origin m_origin;
    int m_descriptor = -1;
    SSL* m_ssl = nullptr;
    // Owned by m_ssl: what the peer sent, not yet decrypted.
    BIO* m_incoming = nullptr;
    // What send() queued and the socket has not taken yet.
    TlsOutbound m_outbound;
    std::unique_ptr<SocketWatch> m_readable;
    std::unique_ptr<SocketWatch> m_writable;
    PskCallbacks m_callbacks;
    // What the peer sent before TLS was set up: TLS sees it only once it is a whole ClientHello
    // of a size a PSK client sends.
    ClientHelloRecord m_hello;
    bool m_started = false;
    bool m_spoke = false;
    bool m_ready = false;
    // The socket reported its end (or a reset): no more bytes will come from it.
    bool m_peerEnded = false;
    // The peer ended its TLS stream (close-notify, or the socket's end once nothing is buffered).
    bool m_endOfStream = false;
    // A failure before ready.
    std::optional<NetworkError> m_failure;
    // A failure after ready, reported to reads once decrypted bytes are out.
    std::optional<NetworkError> m_streamError;
};

} // namespace vantorel
