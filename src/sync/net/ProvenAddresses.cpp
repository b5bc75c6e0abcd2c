#include "sync/net/ProvenAddresses.h"

#include <algorithm>

#include <ctime>

#include <netinet/in.h>

namespace vantorel {

qint64 ProvenAddresses::now()
{
    timespec time{};
    ::clock_gettime(CLOCK_BOOTTIME, &time);
    return qint64(time.tv_sec) * 1000 + time.tv_nsec / 1'000'000;
}

QByteArray ProvenAddresses::addressOf(const sockaddr_storage& address)
{
    if (address.ss_family == AF_INET) {
        const auto& ipv4 = reinterpret_cast<const sockaddr_in&>(address);
        return QByteArray(reinterpret_cast<const char*>(&ipv4.sin_addr), sizeof ipv4.sin_addr);
    }
    if (address.ss_family == AF_INET6) {
        const auto& ipv6 = reinterpret_cast<const sockaddr_in6&>(address);
        const auto* bytes = reinterpret_cast<const char*>(&ipv6.sin6_addr);
        // A dual-stack listener sees IPv4 peers as ::ffff:a.b.c.d: the same peer as over IPv4.
        if (IN6_IS_ADDR_V4MAPPED(&ipv6.sin6_addr))
            return QByteArray(bytes + 12, 4);
        return QByteArray(bytes, sizeof ipv6.sin6_addr);
    }
    return {};
}

void ProvenAddresses::remember(const QByteArray& address, qint64 now)
{
    if (address.isEmpty())
        return;
    const auto known = std::find_if(m_proofs.begin(), m_proofs.end(), [&](const Proof& p) { return p.address == address; });
    if (known != m_proofs.end()) {
        known->at = now;
        return;
    }
    if (int(m_proofs.size()) < maximumAddresses) {
        m_proofs.push_back({address, now});
        return;
    }
    *std::min_element(m_proofs.begin(), m_proofs.end(), [](const Proof& a, const Proof& b) { return a.at < b.at; })
        = {address, now};
}

bool ProvenAddresses::contains(const QByteArray& address, qint64 now) const
{
    return !address.isEmpty() && std::any_of(m_proofs.cbegin(), m_proofs.cend(), [&](const Proof& p) {
        return p.address == address && now - p.at <= lifetimeMilliseconds;
    });
}

} // namespace vantorel
