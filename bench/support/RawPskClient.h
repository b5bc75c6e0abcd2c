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

    // Connects to 127.0.0.1:`port`, sends a read request and returns whether a snapshot came back
    // within the companion's time-outs.
    bool readSnapshot(std::uint16_t port) const;

private:
    QByteArray m_identity;
    QByteArray m_key;
    void* m_context = nullptr;
};

} // namespace vantorel::bench
