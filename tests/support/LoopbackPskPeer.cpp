#include "support/LoopbackPskPeer.h"

#include "support/MemoryPskClient.h"

#include <QByteArray>
#include <QTest>

#include <gtest/gtest.h>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace vantorel::test {

namespace {

bool sendAll(int peer, const QByteArray& bytes)
{
    return bytes.isEmpty() || ::send(peer, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL) == bytes.size();
}

// Feeds what the server sent to `client`; false once the server closed the connection.
bool takeFromServer(int peer, MemoryPskClient& client)
{
    char chunk[16 * 1024];
    const ssize_t got = ::recv(peer, chunk, sizeof chunk, MSG_DONTWAIT);
    if (got > 0)
        client.give(QByteArrayView(chunk, got));
    return got > 0 || (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR));
}

} // namespace

int rawPeer(quint16 port, in_addr_t source)
{
    const int peer = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (source != INADDR_ANY) {
        const sockaddr_in from{AF_INET, 0, {source}, {}};
        EXPECT_EQ(::bind(peer, reinterpret_cast<const sockaddr*>(&from), sizeof from), 0);
    }
    const sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
    EXPECT_EQ(::connect(peer, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    return peer;
}

int helloPeer(quint16 port, MemoryPskClient& client, in_addr_t source)
{
    const int peer = rawPeer(port, source);
    client.handshake();
    EXPECT_TRUE(sendAll(peer, client.takeOutput()));
    return peer;
}

bool finishHandshake(int peer, MemoryPskClient& client, int timeoutMilliseconds)
{
    bool finished = false;
    bool closed = false;
    return QTest::qWaitFor(
        [&] {
            closed = !takeFromServer(peer, client);
            finished = client.handshake();
            EXPECT_TRUE(sendAll(peer, client.takeOutput()));
            return finished || closed;
        },
        timeoutMilliseconds)
        && finished;
}

QByteArray exchange(int peer, MemoryPskClient& client, const QByteArray& plain, int timeoutMilliseconds)
{
    EXPECT_EQ(SSL_write(client.ssl(), plain.constData(), int(plain.size())), plain.size());
    EXPECT_TRUE(sendAll(peer, client.takeOutput()));
    QByteArray answer;
    return QTest::qWaitFor(
        [&] {
            const bool open = takeFromServer(peer, client);
            char chunk[16 * 1024];
            const int got = SSL_read(client.ssl(), chunk, sizeof chunk);
            ERR_clear_error();
            if (got > 0)
                answer = QByteArray(chunk, got);
            return got > 0 || !open;
        },
        timeoutMilliseconds)
        ? answer
        : QByteArray();
}

} // namespace vantorel::test
