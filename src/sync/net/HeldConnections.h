#pragma once

#include <QByteArray>
#include <QHash>

#include <deque>
#include <vector>

namespace vantorel {

// Accepted connections whose handshake has not started, held by the peer's address and handed
// out round-robin over the addresses: a peer flooding from one address delays a peer on another
// by at most one connection per turn, however many it queued. IPv6 peers are grouped by their
// /64, which one host may hold whole, but one group may as well be a whole network: a home network
// gives every host the same /64, and every link-local address is in fe80::/64 (as hosts behind one
// shared IPv4 address are one group). So the turns protect a peer only from floods on another
// group; a paired device's own connections are held apart (PreferredConnections). Holds bare
// descriptors and costs no timer; those it gives up are returned for the caller to close.
class HeldConnections
{
public:
    // Connections of one address held at most, and of all addresses together: few enough for
    // the descriptor limit beside the server's pool of connections whose handshake runs.
    static constexpr int defaultMaximumPerAddress = 128;
    static constexpr int defaultMaximumHeld = 256;

    explicit HeldConnections(int maximumPerAddress = defaultMaximumPerAddress,
                             int maximumHeld = defaultMaximumHeld);

    // Which group the peer at `address` (as ProvenAddresses::addressOf gives it) holds its
    // connections in: an IPv4 address alone, an IPv6 address by its first 64 bits.
    static QByteArray addressGroup(const QByteArray& address);

    // Holds `descriptor` of `group`, its newest. Returns the descriptor given up to make room, or
    // -1: the oldest of the same group once that group has its share, else, once every place is
    // taken, the oldest of the group holding most, so a flood never pushes out another address.
    int hold(const QByteArray& group, int descriptor);
    // The oldest connection of the next group in turn, or -1 when none is held.
    int next();
    // Every descriptor held, which are then no longer held.
    std::vector<int> takeAll();

    int size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }

private:
    int giveUpOldestOf(const QByteArray& group);

    const int m_maximumPerAddress;
    const int m_maximumHeld;
    QHash<QByteArray, std::deque<int>> m_groups;
    // The groups holding connections, the one whose turn is next first.
    std::deque<QByteArray> m_turns;
    int m_size = 0;
};

} // namespace vantorel
