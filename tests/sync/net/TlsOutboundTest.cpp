#include "sync/net/OpensslPskContext.h"
#include "sync/net/TlsOutbound.h"
#include "support/MemoryPskClient.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <memory>

#include <sys/socket.h>
#include <unistd.h>

using namespace vantorel;
using namespace vantorel::test;

namespace {

const PskParameters pskParameters{"0F6C1D58-6E33-4A7B-9B52-3C5D2E1F0A99", QByteArray(PskParameters::keyBytes, 'k')};

using SslPointer = std::unique_ptr<SSL, decltype(&SSL_free)>;

// A server SSL on the listener's context whose output goes through a TlsOutbound to one end of a
// socket pair, and a client reading the other end.
struct Pair
{
    Pair()
    {
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, sockets), 0);
        SSL_set_bio(server.get(), BIO_new(BIO_s_mem()), BIO_new(BIO_s_mem()));
        SSL_set_accept_state(server.get());
    }

    ~Pair()
    {
        ::close(sockets[0]);
        ::close(sockets[1]);
        ERR_clear_error();
    }

    // Runs the handshake, the server's flights going out through `outbound`.
    bool handshake()
    {
        for (int flight = 0; flight < 8; ++flight) {
            client.handshake();
            const QByteArray bytes = client.takeOutput();
            BIO_write(SSL_get_rbio(server.get()), bytes.constData(), int(bytes.size()));
            const int result = SSL_do_handshake(server.get());
            EXPECT_EQ(outbound.flush(server.get(), sockets[0]), TlsOutbound::Result::sent);
            EXPECT_EQ(outbound.encryptedCapacity(), 0) << "a handshake flight stays held after it went out";
            toClient();
            if (result == 1 && client.handshake())
                return true;
        }
        return false;
    }

    // What reached the client's end of the socket, into the client.
    void toClient()
    {
        char chunk[16'384];
        for (ssize_t got; (got = ::recv(sockets[1], chunk, sizeof chunk, 0)) > 0;)
            client.give(QByteArrayView(chunk, got));
    }

    QByteArray clientReads()
    {
        toClient();
        QByteArray plaintext;
        char chunk[16'384];
        for (int got; (got = SSL_read(client.ssl(), chunk, sizeof chunk)) > 0;)
            plaintext.append(chunk, got);
        return plaintext;
    }

    std::shared_ptr<const OpensslPskContext> context = OpensslPskContext::make(pskParameters);
    MemoryPskClient client{pskParameters};
    SslPointer server{SSL_new(context->context()), SSL_free};
    int sockets[2] = {-1, -1};
    TlsOutbound outbound;
};

} // namespace

TEST(TlsOutboundTest, HoldsNoBufferOnceEverythingWentOut)
{
    Pair pair;
    ASSERT_TRUE(pair.handshake());
    pair.outbound.queue("small answer");
    EXPECT_EQ(pair.outbound.flush(pair.server.get(), pair.sockets[0]), TlsOutbound::Result::sent);
    EXPECT_EQ(pair.outbound.encryptedCapacity(), 0);
    EXPECT_EQ(pair.clientReads(), QByteArray("small answer"));
}

TEST(TlsOutboundTest, WhatWaitsForTheSocketHoldsNoMoreThanItsPiece)
{
    Pair pair;
    ASSERT_TRUE(pair.handshake());
    // The peer reads nothing for now: the socket fills.
    const QByteArray filler(16 * 1024, 'f');
    qsizetype filled = 0;
    for (ssize_t sent; (sent = ::send(pair.sockets[0], filler.constData(), size_t(filler.size()), MSG_DONTWAIT)) > 0;)
        filled += sent;
    pair.outbound.queue("small answer");
    EXPECT_EQ(pair.outbound.flush(pair.server.get(), pair.sockets[0]), TlsOutbound::Result::wouldBlock);
    // One record: a 5-byte header, an 8-byte nonce, the twelve bytes and a 16-byte tag.
    EXPECT_EQ(pair.outbound.encryptedCapacity(), 5 + 8 + 12 + 16);

    // A frame longer than a piece waits a piece at a time, in a buffer no larger than the piece.
    QByteArray frame(3 * TlsOutbound::pieceBytes + 5, Qt::Uninitialized);
    for (qsizetype i = 0; i < frame.size(); ++i)
        frame[i] = char(i % 253);
    pair.outbound.queue(frame);
    char chunk[16'384];
    while (filled > 0) {
        const ssize_t got = ::recv(pair.sockets[1], chunk, size_t(std::min<qsizetype>(filled, sizeof chunk)), 0);
        ASSERT_GT(got, 0);
        filled -= got;
    }
    QByteArray received;
    TlsOutbound::Result result = TlsOutbound::Result::wouldBlock;
    for (int round = 0; round < 10'000 && result == TlsOutbound::Result::wouldBlock; ++round) {
        result = pair.outbound.flush(pair.server.get(), pair.sockets[0]);
        EXPECT_LE(pair.outbound.encryptedCapacity(), TlsOutbound::pieceBytes);
        received += pair.clientReads();
    }
    ASSERT_EQ(result, TlsOutbound::Result::sent);
    EXPECT_EQ(pair.outbound.encryptedCapacity(), 0);
    received += pair.clientReads();
    EXPECT_TRUE(received == "small answer" + frame) << received.size();
}
