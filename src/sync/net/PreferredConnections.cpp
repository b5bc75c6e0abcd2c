#include "sync/net/PreferredConnections.h"

#include "sync/net/ClientHelloRecord.h"

#include <QHashFunctions>

#include <algorithm>
#include <cerrno>

#include <poll.h>
#include <sys/socket.h>

namespace vantorel {

PreferredConnections::Opening PreferredConnections::peek(int descriptor)
{
    // What a peer sent before it left stays readable: only the poll tells that it has gone.
    pollfd state{descriptor, POLLRDHUP, 0};
    if (::poll(&state, 1, 0) > 0 && (state.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0)
        return Opening::hopeless;
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

PreferredConnections::PreferredConnections(Peek peek, int maximumHeld, int maximumWaiting)
    : m_peek(std::move(peek))
    , m_maximumHeld(maximumHeld)
    , m_maximumWaiting(maximumWaiting)
{
}

int PreferredConnections::hold(int descriptor, Opening opening, const QByteArray& address)
{
    const size_t addressKey = qHash(address);
    if (int(m_held.size()) < m_maximumHeld) {
        m_held.push_back({descriptor, opening, addressKey});
        return -1;
    }
    // Every place holds a whole hello: the newcomer waits beyond them, counted as `counted`, or
    // goes itself once the waiting places are all taken.
    const auto waitBeyondThePlaces = [&](Opening counted) {
        if (int(m_held.size()) >= m_maximumHeld + m_maximumWaiting)
            return descriptor;
        m_held.push_back({descriptor, counted, addressKey});
        return -1;
    };
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
    if (opening < victim->opening) {
        // A newcomer seen silent or part way among whole hellos may be the device's, accepted
        // before its hello had all come: it waits its turn as one, and goes only if it still has
        // not sent it when it is the oldest and looked at again.
        if (victim->opening < Opening::wholeHello || opening == Opening::hopeless)
            return descriptor;
        return waitBeyondThePlaces(Opening::wholeHello);
    }
    if (victim->opening == Opening::wholeHello) {
        // The oldest, first to start, may have left since.
        victim->opening = m_peek(victim->descriptor);
        if (victim->opening == Opening::wholeHello)
            return waitBeyondThePlaces(opening);
    }
    const int givenUp = victim->descriptor;
    m_held.erase(victim);
    m_held.push_back({descriptor, opening, addressKey});
    return givenUp;
}

int PreferredConnections::next()
{
    // One pass: a flood from one address may keep a thousand waiting.
    auto chosen = m_held.end();
    auto another = m_held.end();
    for (auto held = m_held.begin(); held != m_held.end(); ++held) {
        if (chosen == m_held.end() || held->opening > chosen->opening) {
            chosen = held;
            another = m_held.end();
        } else if (held->opening < chosen->opening) {
            continue;
        }
        if (another == m_held.end() && held->address != m_lastAddress)
            another = held;
    }
    if (another != m_held.end())
        chosen = another;
    if (chosen == m_held.end())
        return -1;
    const int descriptor = chosen->descriptor;
    m_lastAddress = chosen->address;
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
