#pragma once

#include <functional>

namespace vantorel {

// Tells when a socket can be read or written, as QSocketNotifier does, but through one epoll
// descriptor that every watch of the main thread shares: the event loop then polls that one
// descriptor on each turn instead of every socket, which under a flood of held connections cost
// the main thread more than serving them. Level-triggered like QSocketNotifier: `onReady` runs on
// each turn while the socket stays ready and the watch is enabled; a hang-up or error counts as
// ready. Starts enabled. At most one watch of each kind per descriptor. Main thread only.
class SocketWatch
{
public:
    enum class Kind { read, write };

    SocketWatch(int descriptor, Kind kind, std::function<void()> onReady);
    ~SocketWatch();
    SocketWatch(const SocketWatch&) = delete;
    SocketWatch& operator=(const SocketWatch&) = delete;

    void setEnabled(bool enabled);
    bool isEnabled() const { return m_enabled; }

    // The shared epoll descriptor's dispatch calls this.
    void notify() const;

private:
    const int m_descriptor;
    const Kind m_kind;
    const std::function<void()> m_onReady;
    bool m_enabled = true;
};

} // namespace vantorel
