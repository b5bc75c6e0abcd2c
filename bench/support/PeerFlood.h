#pragma once

#include <QByteArray>

#include <atomic>
#include <cstdint>
#include <thread>

namespace vantorel::bench {

// TCP peers without a key on a thread of their own: each holds one connection to
// 127.0.0.1:`port`, sends its opening (or nothing), then stalls, and opens a new one as soon as
// the server drops it.
class PeerFlood
{
public:
    enum class Opening {
        // Says nothing at all.
        silent,
        // A whole TLS 1.2 ClientHello offering the sync suite: the server answers and waits for a
        // key exchange that never comes.
        clientHello,
        // The first 8 bytes of that ClientHello (a record header and the start of the handshake
        // header): the server waits for the rest of the record.
        recordHeader,
    };

    PeerFlood(std::uint16_t port, int peers, Opening opening = Opening::silent);
    ~PeerFlood();
    PeerFlood(const PeerFlood&) = delete;
    PeerFlood& operator=(const PeerFlood&) = delete;

    // Connections the server dropped so far.
    std::uint64_t dropped() const { return m_dropped.load(); }

    static const char* name(Opening opening);

private:
    void run(std::uint16_t port, int peers);

    QByteArray m_opening;
    std::atomic<bool> m_stop = false;
    std::atomic<std::uint64_t> m_dropped = 0;
    std::thread m_thread;
};

} // namespace vantorel::bench
