#include "sync/net/PreferredConnections.h"

#include "sync/net/ClientHelloRecord.h"

#include <algorithm>
#include <cerrno>

#include <sys/socket.h>

namespace vantorel {

PreferredConnections::Opening PreferredConnections::peek(int descriptor)
{
    char bytes[ClientHelloRecord::maximumBytes];
    const ssize_t got = ::recv(descriptor, bytes, sizeof bytes, MSG_PEEK | MSG_DONTWAIT);
    if (got < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? Opening::silent : Opening::hopeless;
    if (got == 0)
        return Opening::hopeless;
    ClientHelloRecord record;
    // The record takes its headers first, then the length they declare.
    for (qsizetype offset = 0; offset < got && record.verdict() == ClientHelloRecord::Verdict::incomplete;) {
        const qsizetype taken = std::min<qsizetype>(record.missing(), got - offset);
        record.append(QByteArrayView(bytes + offset, taken));
        offset += taken;
    }
    switch (record.verdict()) {
    case ClientHelloRecord::Verdict::accepted:
        return Opening::wholeHello;
    case ClientHelloRecord::Verdict::refused:
        return Opening::hopeless;
    case ClientHelloRecord::Verdict::incomplete:
        break;
    }
    return Opening::partial;
}

PreferredConnections::PreferredConnections(Peek peek, int maximumHeld)
    : m_peek(std::move(peek))
    , m_maximumHeld(maximumHeld)
{
}

int PreferredConnections::hold(int descriptor, Opening opening)
{
    if (int(m_held.size()) < m_maximumHeld) {
        m_held.push_back({descriptor, opening});
        return -1;
    }
    const auto leastFirst = [](const Held& a, const Held& b) { return a.opening < b.opening; };
    auto victim = std::min_element(m_held.begin(), m_held.end(), leastFirst);
    // Looked at again before it goes: a peer seen silent at its accept may have spoken since. Each
    // look either confirms the one to give up or moves a connection up, which happens a few times
    // at most to each.
    while (victim->opening < Opening::wholeHello && opening >= victim->opening) {
        const Opening now = m_peek(victim->descriptor);
        if (now <= victim->opening) {
            victim->opening = now;
            break;
        }
        victim->opening = now;
        victim = std::min_element(m_held.begin(), m_held.end(), leastFirst);
    }
    if (opening < victim->opening)
        return descriptor;
    if (victim->opening == Opening::wholeHello) {
        m_held.push_back({descriptor, opening});
        return -1;
    }
    const int givenUp = victim->descriptor;
    m_held.erase(victim);
    m_held.push_back({descriptor, opening});
    return givenUp;
}

int PreferredConnections::next()
{
    if (m_held.empty())
        return -1;
    // The first of the furthest is the oldest of them.
    const auto chosen = std::max_element(m_held.begin(), m_held.end(),
                                         [](const Held& a, const Held& b) { return a.opening < b.opening; });
    const int descriptor = chosen->descriptor;
    m_held.erase(chosen);
    return descriptor;
}

std::vector<int> PreferredConnections::takeAll()
{
    std::vector<int> descriptors;
    descriptors.reserve(m_held.size());
    for (const Held& held : m_held)
        descriptors.push_back(held.descriptor);
    m_held.clear();
    return descriptors;
}

} // namespace vantorel
