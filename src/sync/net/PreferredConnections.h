#pragma once

#include <QByteArray>

#include <deque>
#include <functional>
#include <vector>

namespace vantorel {

// Accepted connections from an address a paired device proved the key from lately, held apart from
// the others: the listener starts them before the round-robin turn, and they are never given up for
// a connection from another address. A flood may come from that very address (hosts behind one
// shared IPv4 address), so once every place here is taken they give way by how far their peer got,
// which a peek at the socket tells without taking anything off it: a peer that left or sent what
// no PSK client sends first, then one that said nothing, then one that sent part of a hello; the
// oldest first among equals. A paired device sends its hello as soon as it has connected. Peers
// sending whole hellos too cannot be told from it before the handshake, and giving the oldest of
// them up would make the device's connection a lottery it mostly loses: once every place holds a
// whole hello, a newcomer with one waits beyond the places, in arrival order, so the listener goes
// on taking other addresses' connections meanwhile; only beyond the waiting places is a newcomer
// turned away. A newcomer seen silent or part way waits as one too: it may be the device's,
// accepted before its hello had all come. Starts alternate between addresses, so a flood from one
// remembered address does not hold back the device on another. Holds bare descriptors and costs
// no timer.
class PreferredConnections
{
public:
    // How far a peer got before its handshake started, least first.
    enum class Opening { hopeless, silent, partial, wholeHello };
    using Peek = std::function<Opening(int descriptor)>;

    // Few: they are only a paired device's, unless its address floods, and the peek on the one
    // given way reads a socket.
    static constexpr int defaultMaximumHeld = 64;

    // What `descriptor`'s peer has sent so far, left on the socket for the handshake; a peer that
    // has closed its end is hopeless whatever it sent before.
    static Opening peek(int descriptor);

    // `peek` looks again at the connection about to be given up, whose peer may have spoken or left
    // since. Up to `maximumWaiting` whole hellos wait beyond the `maximumHeld` places.
    explicit PreferredConnections(Peek peek = &PreferredConnections::peek, int maximumHeld = defaultMaximumHeld,
                                  int maximumWaiting = 0);

    // Holds `descriptor`, whose peer at `address` sent `opening`. Returns the descriptor given up
    // to make room, or this one when its peer got least far of all (unless only whole hellos are
    // held and it is not hopeless) or every waiting place is taken, or -1.
    int hold(int descriptor, Opening opening, const QByteArray& address = {});
    // The oldest connection of those whose peer got furthest, another address's than the last one
    // taken if any; -1 when none is held.
    int next();
    // Every descriptor held, which are then no longer held.
    std::vector<int> takeAll();

    int size() const { return int(m_held.size()); }
    bool isEmpty() const { return m_held.empty(); }

private:
    struct Held
    {
        int descriptor = -1;
        Opening opening = Opening::hopeless;
        // The peer's address, as a hash: only told apart from the last one started.
        size_t address = 0;
    };

    const Peek m_peek;
    const int m_maximumHeld;
    const int m_maximumWaiting;
    // Oldest first.
    std::deque<Held> m_held;
    size_t m_lastAddress = 0;
};

} // namespace vantorel
