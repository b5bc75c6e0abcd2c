#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <vector>

#include <sys/socket.h>

namespace vantorel {

// The exact addresses from which a peer proved the key lately, kept in memory only: a listener
// holds their connections apart from a flood, which may share the phone's IPv6 /64 (a home
// network's whole) or even its IPv4 address. Times are milliseconds of a clock that keeps counting
// while the machine sleeps (now()), so a lifetime ends a day after the proof, however long asleep.
class ProvenAddresses
{
public:
    // A paired device has an address or two per network (IPv4, IPv6, link-local); the one proven
    // longest ago gives way beyond these.
    static constexpr int maximumAddresses = 8;
    // About as long as a DHCP lease or a temporary IPv6 address lasts: beyond it the address may
    // well be another host's.
    static constexpr qint64 lifetimeMilliseconds = qint64(24) * 60 * 60 * 1000;

    // Milliseconds since boot, suspended time included.
    static qint64 now();

    // An IPv4 address (also one mapped into IPv6) or a whole IPv6 address; empty for other families.
    static QByteArray addressOf(const sockaddr_storage& address);

    // A peer proved the key from `address` at `now`.
    void remember(const QByteArray& address, qint64 now);
    // Whether a peer proved the key from `address` within the lifetime before `now`.
    bool contains(const QByteArray& address, qint64 now) const;

private:
    struct Proof
    {
        QByteArray address;
        qint64 at = 0;
    };

    std::vector<Proof> m_proofs;
};

} // namespace vantorel
