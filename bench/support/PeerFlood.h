#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

namespace vantorel::bench {

// Plain TCP peers without a key on a thread of their own: each holds one connection to
// 127.0.0.1:`port`, says nothing, and opens a new one as soon as the server drops it.
class PeerFlood
{
public:
    PeerFlood(std::uint16_t port, int peers);
    ~PeerFlood();
    PeerFlood(const PeerFlood&) = delete;
    PeerFlood& operator=(const PeerFlood&) = delete;

    // Connections the server dropped so far.
    std::uint64_t dropped() const { return m_dropped.load(); }

private:
    void run(std::uint16_t port, int peers);

    std::atomic<bool> m_stop = false;
    std::atomic<std::uint64_t> m_dropped = 0;
    std::thread m_thread;
};

} // namespace vantorel::bench
