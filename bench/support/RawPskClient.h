#pragma once

#include <QByteArray>

#include <cstdint>

namespace vantorel::bench {

// A paired device's read done with OpenSSL on blocking sockets, so it can run on a thread of its
// own and leave the event loop of the server being measured alone.
class RawPskClient
{
public:
    RawPskClient(QByteArray identity, QByteArray key);
    ~RawPskClient();
    RawPskClient(const RawPskClient&) = delete;
    RawPskClient& operator=(const RawPskClient&) = delete;

    // Where the reads go and, when not empty, the address they come from: numeric IPv4 or IPv6.
    void setRoute(QByteArray host, QByteArray source);

    // Connects to the route's host (127.0.0.1 unless set) at `port`, sends a read request and
    // returns whether a snapshot came back within the companion's time-outs.
    bool readSnapshot(std::uint16_t port) const;

    // A new device's pairing request over the same kind of connection, keyed by an invitation's
    // credential: returns whether the handshake completed and the request went out, then waits as
    // long as a read would for the answer (the user's decision), whatever it is.
    bool requestPairing(std::uint16_t port, const QByteArray& deviceName) const;

private:
    struct Exchange
    {
        // The handshake completed and the request went out.
        bool sent = false;
        // An answer starting with the expected prefix came back.
        bool answered = false;
    };

    // One request over a connection of its own, and its answer.
    Exchange exchange(std::uint16_t port, const QByteArray& request, const QByteArray& answerPrefix) const;

    QByteArray m_identity;
    QByteArray m_key;
    QByteArray m_host = "127.0.0.1";
    QByteArray m_source;
    void* m_context = nullptr;
};

} // namespace vantorel::bench
