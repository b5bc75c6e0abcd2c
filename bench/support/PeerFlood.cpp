#include "PeerFlood.h"

#include <cerrno>
#include <vector>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vantorel::bench {

namespace {

int openTo(std::uint16_t port)
{
    const int descriptor = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
    ::connect(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    return descriptor;
}

} // namespace

PeerFlood::PeerFlood(std::uint16_t port, int peers)
    : m_thread([this, port, peers] { run(port, peers); })
{
}

PeerFlood::~PeerFlood()
{
    m_stop = true;
    m_thread.join();
}

void PeerFlood::run(std::uint16_t port, int peers)
{
    std::vector<pollfd> sockets;
    for (int i = 0; i < peers; ++i)
        sockets.push_back({openTo(port), POLLIN, 0});
    char scratch[4096];
    while (!m_stop) {
        if (::poll(sockets.data(), sockets.size(), 50) <= 0)
            continue;
        for (pollfd& peer : sockets) {
            if (peer.revents == 0)
                continue;
            // Whatever the server sent is read and ignored; an end or an error means dropped.
            const ssize_t got = ::recv(peer.fd, scratch, sizeof scratch, MSG_DONTWAIT);
            if (got > 0 || (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)))
                continue;
            ::close(peer.fd);
            peer.fd = openTo(port);
            ++m_dropped;
        }
    }
    for (const pollfd& peer : sockets)
        ::close(peer.fd);
}

} // namespace vantorel::bench
