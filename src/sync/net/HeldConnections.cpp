#include "sync/net/HeldConnections.h"

#include <algorithm>

#include <netinet/in.h>

namespace vantorel {

namespace {

constexpr qsizetype ipv6GroupBytes = 8;

} // namespace

HeldConnections::HeldConnections(int maximumPerAddress, int maximumHeld)
    : m_maximumPerAddress(maximumPerAddress)
    , m_maximumHeld(maximumHeld)
{
}

QByteArray HeldConnections::addressGroup(const sockaddr_storage& address)
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
        return QByteArray(bytes, ipv6GroupBytes);
    }
    return {};
}

int HeldConnections::hold(const QByteArray& group, int descriptor)
{
    int givenUp = -1;
    auto found = m_groups.find(group);
    if (found != m_groups.end() && int(found->size()) >= m_maximumPerAddress) {
        givenUp = giveUpOldestOf(group);
    } else if (m_size >= m_maximumHeld) {
        // A copy: erasing the group it names may move another group into its slot.
        const QByteArray largest = std::max_element(m_groups.cbegin(), m_groups.cend(), [](const auto& a, const auto& b) {
                                       return a.size() < b.size();
                                   }).key();
        givenUp = giveUpOldestOf(largest);
    }
    found = m_groups.find(group);
    if (found == m_groups.end()) {
        found = m_groups.insert(group, {});
        m_turns.push_back(group);
    }
    found->push_back(descriptor);
    ++m_size;
    return givenUp;
}

int HeldConnections::giveUpOldestOf(const QByteArray& group)
{
    const auto found = m_groups.find(group);
    const int descriptor = found->front();
    found->pop_front();
    --m_size;
    if (found->empty()) {
        m_groups.erase(found);
        m_turns.erase(std::find(m_turns.begin(), m_turns.end(), group));
    }
    return descriptor;
}

int HeldConnections::next()
{
    if (m_turns.empty())
        return -1;
    const QByteArray group = m_turns.front();
    m_turns.pop_front();
    const auto found = m_groups.find(group);
    const int descriptor = found->front();
    found->pop_front();
    --m_size;
    if (found->empty())
        m_groups.erase(found);
    else
        m_turns.push_back(group);
    return descriptor;
}

std::vector<int> HeldConnections::takeAll()
{
    std::vector<int> descriptors;
    descriptors.reserve(size_t(m_size));
    for (const std::deque<int>& group : std::as_const(m_groups))
        descriptors.insert(descriptors.end(), group.cbegin(), group.cend());
    m_groups.clear();
    m_turns.clear();
    m_size = 0;
    return descriptors;
}

} // namespace vantorel
