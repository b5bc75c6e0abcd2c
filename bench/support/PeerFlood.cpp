#include "PeerFlood.h"

#include <openssl/ssl.h>

#include <cerrno>
#include <vector>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vantorel::bench {

namespace {

// A connection on its way; the opening goes out once it is writable (connected).
pollfd openTo(std::uint16_t port, const QByteArray& opening)
{
    const int descriptor = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
    ::connect(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    return {descriptor, short(opening.isEmpty() ? POLLIN : POLLOUT), 0};
}

unsigned int offerNoKey(SSL*, const char*, char*, unsigned int, unsigned char*, unsigned int)
{
    return 0;
}

// The ClientHello OpenSSL sends for the sync suite; no key is needed to make it, only a key
// callback, without which OpenSSL offers no PSK suite (and sends an alert instead).
QByteArray clientHello()
{
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_max_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_cipher_list(context, "PSK-AES128-GCM-SHA256");
    SSL_CTX_set_psk_client_callback(context, offerNoKey);
    SSL* ssl = SSL_new(context);
    BIO* incoming = BIO_new(BIO_s_mem());
    BIO* outgoing = BIO_new(BIO_s_mem());
    SSL_set_bio(ssl, incoming, outgoing);
    SSL_set_connect_state(ssl);
    SSL_do_handshake(ssl);
    QByteArray hello(int(BIO_ctrl_pending(outgoing)), Qt::Uninitialized);
    BIO_read(outgoing, hello.data(), int(hello.size()));
    SSL_free(ssl);
    SSL_CTX_free(context);
    return hello;
}

QByteArray openingBytes(PeerFlood::Opening opening)
{
    switch (opening) {
    case PeerFlood::Opening::silent:
        return {};
    case PeerFlood::Opening::clientHello:
        return clientHello();
    case PeerFlood::Opening::recordHeader:
        return clientHello().first(8);
    }
    return {};
}

} // namespace

PeerFlood::PeerFlood(std::uint16_t port, int peers, Opening opening)
    : m_opening(openingBytes(opening))
    , m_thread([this, port, peers] { run(port, peers); })
{
}

PeerFlood::~PeerFlood()
{
    m_stop = true;
    m_thread.join();
}

const char* PeerFlood::name(Opening opening)
{
    switch (opening) {
    case Opening::silent:
        return "silent";
    case Opening::clientHello:
        return "hello";
    case Opening::recordHeader:
        return "header";
    }
    return "";
}

void PeerFlood::run(std::uint16_t port, int peers)
{
    std::vector<pollfd> sockets;
    for (int i = 0; i < peers; ++i)
        sockets.push_back(openTo(port, m_opening));
    char scratch[4096];
    while (!m_stop) {
        if (::poll(sockets.data(), sockets.size(), 50) <= 0)
            continue;
        for (pollfd& peer : sockets) {
            if (peer.revents == 0)
                continue;
            if (peer.events == POLLOUT && !(peer.revents & (POLLERR | POLLHUP))) {
                ::send(peer.fd, m_opening.constData(), size_t(m_opening.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
                peer.events = POLLIN;
                continue;
            }
            // Whatever the server sent is read and ignored; an end or an error means dropped.
            const ssize_t got = ::recv(peer.fd, scratch, sizeof scratch, MSG_DONTWAIT);
            if (got > 0 || (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)))
                continue;
            ::close(peer.fd);
            peer = openTo(port, m_opening);
            ++m_dropped;
        }
    }
    for (const pollfd& peer : sockets)
        ::close(peer.fd);
}

} // namespace vantorel::bench
