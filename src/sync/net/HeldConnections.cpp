#include "sync/net/HeldConnections.h"

#include <algorithm>

namespace vantorel {

namespace {

constexpr qsizetype ipv6GroupBytes = 8;

} // namespace

HeldConnections::HeldConnections(int maximumPerAddress, int maximumHeld)
    : m_maximumPerAddress(maximumPerAddress)
    , m_maximumHeld(maximumHeld)
{
}

QByteArray HeldConnections::addressGroup(const QByteArray& address)
{
    return address.size() > ipv6GroupBytes ? address.first(ipv6GroupBytes) : address;
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
